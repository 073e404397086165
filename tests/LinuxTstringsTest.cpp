// Linux strings are bytes: what the system hands the launcher comes back
// byte for byte, and text stays strict UTF-8.
#include <gtest/gtest.h>

#include "tstrings.h"

namespace {

TEST(LinuxTstringsTest, SystemBytesComeBackAsTheyWere) {
    std::string every;
    for (int b = 1; b < 256; ++b) {
        every += static_cast<char>(b);
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(tstrings::encodeAnsi(tstrings::decodeAnsi(one)), one) << b;
    }
    EXPECT_EQ(tstrings::encodeAnsi(tstrings::decodeAnsi(every)), every);
    for (const char* bytes : {"lat\xE9n", "caf\xC3\xA9", "\xC3", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC0\xAF",
                              "\xF0\x9F\x98\x80 \xF0\x9F\x98", ""}) {
        EXPECT_EQ(tstrings::encodeAnsi(tstrings::decodeAnsi(bytes)), bytes) << bytes;
    }
    // Valid UTF-8 is read as text; a byte that is not is never taken for a letter.
    EXPECT_EQ(tstrings::decodeAnsi("caf\xC3\xA9"), L"caf\u00E9");
    EXPECT_NE(tstrings::decodeAnsi("caf\xE9"), L"caf\u00E9");
}

TEST(LinuxTstringsTest, TextIsStrictUtf8) {
    EXPECT_EQ(tstrings::decodeUtf8("caf\xC3\xA9 \xF0\x9F\x98\x80"), L"caf\u00E9 \U0001F600");
    for (const char* invalid : {"\xE9", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                "\xF8\x88\x80\x80\x80", "ok\x80"}) {
        EXPECT_EQ(tstrings::decodeUtf8(invalid), L"") << invalid;
    }
    // A kept byte shown as text is U+FFFD: messages stay valid UTF-8.
    EXPECT_EQ(tstrings::encodeUtf8(tstrings::decodeAnsi("lat\xE9n")), "lat\xEF\xBF\xBDn");
    EXPECT_EQ(tstrings::encodeUtf8(L"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
}

} // namespace
