#include <gtest/gtest.h>

#include <stdexcept>

#include "tstrings.h"

namespace {

TEST(TstringsTest, Utf8ConversionsRoundTripAndRejectInvalidInput) {
    EXPECT_EQ(tstrings::decodeUtf8(""), L"");
    EXPECT_EQ(tstrings::encodeUtf8(L""), "");
    EXPECT_EQ(tstrings::decodeUtf8("a\xC3\xA4z"), L"a\u00E4z");
    // Invalid anywhere in the text makes the whole text empty.
    EXPECT_EQ(tstrings::decodeUtf8("abc\xFF"), L"");
    EXPECT_EQ(tstrings::decodeUtf8("\xC3"), L"");
    EXPECT_EQ(tstrings::decodeUtf8("ok\xED\xA0\x80ok"), L"");  // encoded surrogate

    const tstring pair = L"x\xD83D\xDE00y";  // U+1F600 as a surrogate pair
    EXPECT_EQ(tstrings::encodeUtf8(pair), "x\xF0\x9F\x98\x80y");
    EXPECT_EQ(tstrings::decodeUtf8(tstrings::encodeUtf8(pair)), pair);
    // Embedded NUL bytes are text like any other.
    EXPECT_EQ(tstrings::decodeUtf8(std::string("a\0b", 3)), tstring(L"a\0b", 3));
}

TEST(TstringsTest, AnsiEncodingReplacesWhatTheCodePageLacks) {
    // The tests run under code page 1252.
    EXPECT_EQ(tstrings::encodeAnsi(L"plain ASCII"), "plain ASCII");
    EXPECT_EQ(tstrings::encodeAnsi(L"caf\u00E9 \u20AC"), "caf\xE9 \x80");
    EXPECT_EQ(tstrings::encodeAnsi(L"\x4E2D"), "?");
}

TEST(TstringsTest, TextBuilderInsertions) {
    tstrings::TextBuilder tb;
    tb << "c-string " << std::string("utf8 \xC3\xA4 ") << L"wide " << tstring(L"t ")
       << 42 << " " << -7 << " " << 4294967295UL << " " << 18446744073709551615ULL;
    EXPECT_EQ(tb.wide(), L"c-string utf8 \u00E4 wide t 42 -7 4294967295 18446744073709551615");

    // A narrow C string is widened byte by byte, not decoded.
    tstrings::TextBuilder bytes;
    bytes << "\xC3\xA4";
    EXPECT_EQ(bytes.wide(), tstring(L"\u00C3\u00A4"));

    tstrings::TextBuilder nested(std::string("\xC3\xA4-"));
    nested << bytes.wide().size() << tstrings::TextBuilder();
    tstrings::TextBuilder outer;
    outer << nested;
    EXPECT_EQ(outer.utf8(), "\xC3\xA4-2");

    std::ostringstream os;
    os << outer;
    EXPECT_EQ(os.str(), "\xC3\xA4-2");
}

TEST(TstringsTest, FormatPrintf) {
    EXPECT_EQ(tstrings::formatPrintf(L"%04u/%s|%d", 7u, L"wide", -3), L"0007/wide|-3");
    EXPECT_EQ(tstrings::formatPrintf(L""), L"");

    const tstring longText(1000, L'x');
    EXPECT_EQ(tstrings::formatPrintf(L"[%s]", longText.c_str()), L"[" + longText + L"]");
    // The buffer grows in steps of 256 code units, one of them the NUL.
    for (size_t length : {255, 256, 511, 512}) {
        const tstring text(length, L'y');
        EXPECT_EQ(tstrings::formatPrintf(L"%s", text.c_str()), text) << length;
    }

    EXPECT_THROW(tstrings::formatPrintf(nullptr), std::invalid_argument);
}

// Regression: a format the bounded printf rejects made the buffer grow forever.
TEST(TstringsTest, FormatPrintfFailsOnABadFormatInsteadOfGrowing) {
    EXPECT_THROW(tstrings::formatPrintf(L"%"), std::runtime_error);
}

TEST(TstringsTest, CaseAndAffixes) {
    EXPECT_EQ(tstrings::asciiLower(L"ABC\u00C4xYZ"), L"abc\u00C4xyz");
    EXPECT_TRUE(tstrings::hasPrefix(L"-splash:x", L"-splash:"));
    EXPECT_FALSE(tstrings::hasPrefix(L"-SPLASH:x", L"-splash:"));
    EXPECT_TRUE(tstrings::hasPrefix(L"abc", L""));
    EXPECT_TRUE(tstrings::hasSuffix(L"abc", L""));
    EXPECT_FALSE(tstrings::hasSuffix(L"a", L"ba"));
    EXPECT_TRUE(tstrings::hasSuffix(L"C:\\a\\.", L"\\."));
}

TEST(TstringsTest, SplitOnTable) {
    struct Row { tstring text; tstring delim; tstring_array expected; };
    const Row rows[] = {
        {L"", L";", {}},
        {L"abc", L"", {}},
        {L"abc", L";", {L"abc"}},
        {L";", L";", {L"", L""}},
        {L"a;;b", L";", {L"a", L"", L"b"}},
        {L"a;b;", L";", {L"a", L"b", L""}},
        {L"a::b", L"::", {L"a", L"b"}},
        {L":::", L"::", {L"", L":"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(tstrings::encodeUtf8(row.text + L" / " + row.delim));
        EXPECT_EQ(tstrings::splitOn(row.text, row.delim), row.expected);
    }
}

TEST(TstringsTest, ReplaceEveryTable) {
    struct Row { tstring text, pattern, replacement, expected; };
    const Row rows[] = {
        {L"abc", L"", L"x", L"abc"},
        {L"aXbXc", L"X", L"--", L"a--b--c"},
        {L"aa", L"a", L"aa", L"aaaa"},  // inserted text is not searched again
        {L"$APPDIR\\x;$APPDIR", L"$APPDIR", L"C:\\A", L"C:\\A\\x;C:\\A"},
        {L"none", L"z", L"y", L"none"},
        {L"xxx", L"xx", L"", L"x"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(tstrings::encodeUtf8(row.text));
        EXPECT_EQ(tstrings::replaceEvery(row.text, row.pattern, row.replacement), row.expected);
    }
}

TEST(TstringsTest, JoinWith) {
    const tstring_array none;
    const tstring_array one = {L"a.jar"};
    const tstring_array three = {L"a.jar", L"", L"b.jar"};
    EXPECT_EQ(tstrings::joinWith(none, L";"), L"");
    EXPECT_EQ(tstrings::joinWith(one, L";"), L"a.jar");
    EXPECT_EQ(tstrings::joinWith(three, L";"), L"a.jar;;b.jar");
}

} // namespace
