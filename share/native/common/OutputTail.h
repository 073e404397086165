// The most recent lines a process printed, kept in bounded memory.
#ifndef OUTPUTTAIL_H
#define OUTPUTTAIL_H

#include <cstddef>
#include <deque>
#include <string>

#include "tstrings.h"

// Takes raw output in pieces of any size, as a pipe delivers it, and keeps
// only the newest lines (each cut to a bounded length), so a process that
// prints without end costs nothing more than one that prints a page.
class OutputTail {
public:
    static const size_t maxKeptLines = 64;
    static const size_t maxLineBytes = 512;

    void append(const char* data, size_t size);

    // Whether anything but white space was printed.
    bool printedSomething() const { return visible; }

    // The newest lines, at most `maxLines`, joined with "\n". When the lines
    // shown begin inside a report (a stack trace's indented frames), its
    // head line comes first, followed by "\t...", so the reader still sees
    // what was thrown. Each line is read as UTF-8, or in the ANSI code page
    // where it is not valid UTF-8.
    tstring text(size_t maxLines) const;

private:
    struct Line {
        std::string bytes;
        bool cut;
    };
    void endLine();

    std::deque<Line> lines;
    Line partial{std::string(), false};
    // The newest line that starts a report, and how many lines came before it.
    Line head{std::string(), false};
    size_t headNumber = 0;
    bool haveHead = false;
    size_t lineCount = 0;  // complete lines seen
    bool visible = false;
};

#endif // OUTPUTTAIL_H
