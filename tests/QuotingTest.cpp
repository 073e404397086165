// Each syntax's quoting function: its special characters alone and in
// runs, line breaks, the empty string, and text that is not UTF-8.
#include <gtest/gtest.h>

#include "PackError.h"
#include "Quoting.h"

namespace {

struct Row {
    const char* in;
    const char* out;  // nullptr: refused
};

template <class F>
void expectRows(F quote, std::initializer_list<Row> rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(row.in);
        if (row.out) {
            EXPECT_EQ(quote(row.in), row.out);
        } else {
            EXPECT_THROW(quote(row.in), PackError);
        }
    }
}

TEST(QuotingTest, ShellWord) {
    expectRows(shellWord, {
        {"", "''"},
        {"plain", "'plain'"},
        {"it's", "'it'\\''s'"},
        {"''", "''\\'''\\'''"},
        {"$(id) `id` \"q\" \\ *", "'$(id) `id` \"q\" \\ *'"},
        {"a\nb", "'a\nb'"},
    });
}

TEST(QuotingTest, RpmMacroText) {
    expectRows([](const char* v) { return rpmMacroText(v, "the field"); }, {
        {"", ""},
        {"%", "%%"},
        {"%%", "%%%%"},
        {"%(touch x)", "%%(touch x)"},
        {"%{?x}%prep", "%%{?x}%%prep"},
        {"tab\tkept", "tab\tkept"},
        {"\xE9t\xE9", "\xE9t\xE9"},
        {"a\n%post", nullptr},
        {"cr\r", nullptr},
    });
    EXPECT_THROW(rpmMacroText(std::string("a\0b", 3), "the field"), PackError);
}

TEST(QuotingTest, RpmFilePathTakesOnlyCharactersWithoutMeaning) {
    expectRows([](const char* v) { return rpmFilePath(v, "the file"); }, {
        {"/opt/notes-2.0+x/lib_a.so", "/opt/notes-2.0+x/lib_a.so"},
        {"/opt/a%b", nullptr},
        {"/opt/a b", nullptr},
        {"/opt/*", nullptr},
        {"/opt/a[b]", nullptr},
        {"/opt/{a,b}", nullptr},
        {"/opt/\"q\"", nullptr},
        {"/opt/a\nb", nullptr},
    });
    try {
        rpmFilePath("/opt/a%b", "the file");
        FAIL();
    } catch (const PackError& e) {
        EXPECT_EQ(std::string(e.what()), "the file \"/opt/a%b\" holds '%', which rpmbuild's file list reads as a "
                                         "macro, a pattern or a separator");
    }
}

TEST(QuotingTest, ControlFields) {
    expectRows([](const char* v) { return controlFieldValue(v, "the field"); }, {
        {"Name <a@b.c>", "Name <a@b.c>"},
        {"%(x) $y: z", "%(x) $y: z"},
        {"", nullptr},
        {" lead", nullptr},
        {"trail ", nullptr},
        {"a\nPre-Depends: x", nullptr},
        {"a\tb", nullptr},
    });
    expectRows([](const char* v) { return controlContinuation(v, "the text"); }, {
        {"one", " one\n"},
        {"one\n\ntwo", " one\n .\n two\n"},
        {"one\n  \n", " one\n .\n .\n"},
        {"a\x01", nullptr},
    });
}

TEST(QuotingTest, DesktopEntryStrings) {
    expectRows([](const char* v) { return desktopEntryString(v, "the name"); }, {
        {"", ""},
        {" lead", "\\slead"},
        {"in side", "in side"},
        {"back\\slash\\\\", "back\\\\slash\\\\\\\\"},
        {"a\nb\tc\rd", "a\\nb\\tc\\rd"},
        {"semi;colon=equal[x]", "semi;colon=equal[x]"},
        {"bell\x07", nullptr},
    });
    expectRows([](const char* v) { return desktopEntryListItem(v, "the item"); }, {
        {"a;b", "a\\;b"},
        {"\\;", "\\\\\\;"},
    });
}

TEST(QuotingTest, XmlRoffAndRegex) {
    expectRows([](const char* v) { return xmlText(v, "the text"); }, {
        {"<a href=\"x\">&'</a>", "&lt;a href=&quot;x&quot;&gt;&amp;&apos;&lt;/a&gt;"},
        {"&amp;", "&amp;amp;"},
        {"tab\tline\n", "tab\tline\n"},
        {"esc\x1b", nullptr},
    });
    EXPECT_EQ(roffText(".TH x"), "\\&.TH x");
    EXPECT_EQ(roffText("'br"), "\\&'br");
    EXPECT_EQ(roffText("a-b \\ \"q\"\n.SH"), "a\\-b \\e \\(dqq\\(dq .SH");
    EXPECT_EQ(regexLiteral("a.b+c*(d)[e]{f}|^$\\"), "a\\.b\\+c\\*\\(d\\)\\[e\\]\\{f\\}\\|\\^\\$\\\\");
}

TEST(QuotingTest, ShownValueCannotForgeLines) {
    EXPECT_EQ(shownValue("plain \xC3\xA9"), "\"plain \xC3\xA9\"");
    EXPECT_EQ(shownValue("a\nb\x7f"), "\"a\\x0Ab\\x7F\"");
    EXPECT_EQ(shownValue("\xE9t\xC3"), "\"\\xE9t\\xC3\"");
    EXPECT_EQ(shownValue("\xED\xA0\x80"), "\"\\xED\\xA0\\x80\"");  // a surrogate
    EXPECT_EQ(shownValue("\xF0\x9F\x98\x80"), "\"\xF0\x9F\x98\x80\"");
}

} // namespace
