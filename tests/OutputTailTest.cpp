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
    // A window that starts at a report's head needs nothing added.
    EXPECT_EQ(tailOf("old\nError: one\n\tdetail\n\tmore\n", 3), L"Error: one\n\tdetail\n\tmore");
}

} // namespace
