// Reads what a child process prints while it runs.
#ifndef CHILDOUTPUT_H
#define CHILDOUTPUT_H

#include "UniqueHandle.h"

class OutputTail;

// One pipe for the child's standard output and error, so their lines keep
// the order in which they were written. The reading end is overlapped: the
// reader can stop when the child ends although a grandchild may still hold
// the writing end.
class ChildOutput {
public:
    ChildOutput();
    ChildOutput(const ChildOutput&) = delete;
    ChildOutput& operator=(const ChildOutput&) = delete;

    // Inheritable: hand it to the child as its standard output and error.
    HANDLE writeEnd() const { return writer.get(); }
    // Once the child has its own copy.
    void closeWriteEnd() { writer.reset(); }

    // Reads into `tail` until `process` has ended and all it wrote is read.
    // The child never waits for this reader for longer than a read takes.
    void collect(HANDLE process, OutputTail& tail);

private:
    void drain(char* buffer, DWORD size, OutputTail& tail);

    UniqueHandle reader;
    UniqueHandle writer;
    UniqueHandle readDone;
    OVERLAPPED overlapped = {};
};

#endif // CHILDOUTPUT_H
