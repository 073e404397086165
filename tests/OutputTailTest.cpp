#include <gtest/gtest.h>

#include <string>

#include "OutputTail.h"

namespace {

tstring tailOf(const std::string& output, size_t maxLines = 20) {
    OutputTail tail;
    tail.append(output.data(), output.size());
    return tail.text(maxLines);
}

TEST(OutputTailTest, LinesAsAPipeDeliversThem) {
    // Line ends of both kinds, a last line without one, trailing blank lines.
    EXPECT_EQ(tailOf("one\r\ntwo\nthree"), L"one\ntwo\nthree");
    EXPECT_EQ(tailOf("one\n\n  \n"), L"one");
    EXPECT_EQ(tailOf(""), L"");

    // Pieces split anywhere, even inside a line end or a character.
    OutputTail split;
    for (const std::string piece : {"fi", "rst\r", "\nsec\xC3", "\xA4nd\n", "th"}) {
        split.append(piece.data(), piece.size());
    }
    EXPECT_EQ(split.text(20), L"first\nsec\u00E4nd\nth");

    // The newest lines are kept, at line boundaries.
    std::string many;
    for (int i = 0; i < 1000; ++i) {
        many += "line " + std::to_string(i) + "\n";
    }
    EXPECT_EQ(tailOf(many, 3), L"line 997\nline 998\nline 999");

    OutputTail blank;
    blank.append(" \t\r\n\n", 5);
    EXPECT_FALSE(blank.printedSomething());
    blank.append("x", 1);
    EXPECT_TRUE(blank.printedSomething());
}

TEST(OutputTailTest, EachLineInUtf8OrTheAnsiCodePage) {
    // The tests run under code page 1252: E9 alone is not UTF-8 but is é there.
    EXPECT_EQ(tailOf("caf\xC3\xA9\ncaf\xE9\n"), L"caf\u00E9\ncaf\u00E9");
    // A line longer than the bound is cut, never inside a character.
    const std::string longLine = std::string(OutputTail::maxLineBytes - 1, 'a') + "\xC3\xA9tail\n";
    EXPECT_EQ(tailOf(longLine),
              tstring(OutputTail::maxLineBytes - 1, L'a') + L"\u2026");
}

// A cut may fall inside a character of any length: the whole characters
// before it stay, and none is read as another code page's.
TEST(OutputTailTest, CutsInsideFourByteCharacters) {
    const std::string face = "\xF0\x9F\x98\x80";  // U+1F600
    for (size_t kept = 1; kept <= 3; ++kept) {
        const std::string line = std::string(OutputTail::maxLineBytes - kept, 'a') + face + "tail\n";
        EXPECT_EQ(tailOf(line), tstring(OutputTail::maxLineBytes - kept, L'a') + L"\u2026") << kept;
    }
    const std::string fits = std::string(OutputTail::maxLineBytes - 4, 'a') + face + "\n";
    EXPECT_EQ(tailOf(fits), tstring(OutputTail::maxLineBytes - 4, L'a') + tstrings::decodeUtf8(face));
}

// What follows a NUL or another control character is shown, not lost.
TEST(OutputTailTest, ControlCharactersDoNotEndTheText) {
    EXPECT_EQ(tailOf(std::string("before\0after\nnext\n", 18)), L"before\uFFFDafter\nnext");
    EXPECT_EQ(tailOf("\x1b[31mred\x1b[0m\tbell\x07 del\x7f\n"), L"\uFFFD[31mred\uFFFD[0m\tbell\uFFFD del\uFFFD");
    EXPECT_EQ(tailOf("form\ffeed\vtab\n"), L"form\uFFFDfeed\uFFFDtab");
}

TEST(OutputTailTest, TheHeadOfAStackTraceAlwaysShows) {
    std::string trace = "log line\nException in thread \"main\" java.lang.StackOverflowError\n";
    for (int i = 0; i < 1024; ++i) {
        trace += "\tat Deep.recurse(Deep.java:" + std::to_string(i) + ")\n";
    }
    trace += "Caused by: java.lang.IllegalStateException: inner\n\t... 1024 more\n";
    EXPECT_EQ(tailOf(trace, 5),
              L"Exception in thread \"main\" java.lang.StackOverflowError\n\t...\n"
              L"\tat Deep.recurse(Deep.java:1023)\n"
              L"Caused by: java.lang.IllegalStateException: inner\n\t... 1024 more");
    // Frames indented with spaces, as some loggers print them.
    std::string spaced = "Exception in thread \"main\" java.lang.Error: spaced\n";
    for (int i = 0; i < 100; ++i) {
        spaced += "    at Deep.recurse(Deep.java:" + std::to_string(i) + ")\n";
    }
    EXPECT_EQ(tailOf(spaced, 4), L"Exception in thread \"main\" java.lang.Error: spaced\n\t...\n"
                                 L"    at Deep.recurse(Deep.java:98)\n    at Deep.recurse(Deep.java:99)");
    // A window that starts at a report's head needs nothing added.
    EXPECT_EQ(tailOf("old\nError: one\n\tdetail\n\tmore\n", 3), L"Error: one\n\tdetail\n\tmore");
}

} // namespace
