// A pipe the child writes its output to, read while the child runs.
#include "ChildOutput.h"

#include <algorithm>
#include <vector>

#include "ErrorHandling.h"
#include "OutputTail.h"

namespace {

// Enough that a burst of output rarely waits for the reader at all.
const DWORD pipeBufferSize = 64 * 1024;

tstring uniquePipeName() {
    static LONG counter = 0;
    return tstrings::formatPrintf(L"\\\\.\\pipe\\loftwick-%lu-%ld",
                                  static_cast<unsigned long>(GetCurrentProcessId()),
                                  static_cast<long>(InterlockedIncrement(&counter)));
}

} // namespace

ChildOutput::ChildOutput() {
    const tstring name = uniquePipeName();
    const HANDLE pipe = CreateNamedPipeW(
            name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
            pipeBufferSize, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "CreateNamedPipeW(" << name << ") failed",
                            reinterpret_cast<const void*>(CreateNamedPipeW), err));
    }
    reader.reset(pipe);

    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING,
                                    0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "CreateFileW(" << name << ") failed",
                            reinterpret_cast<const void*>(CreateFileW), err));
    }
    writer.reset(file);

    readDone.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!readDone.get()) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "CreateEventW() failed",
                            reinterpret_cast<const void*>(CreateEventW), err));
    }
    overlapped.hEvent = readDone.get();
}

void ChildOutput::collect(HANDLE process, OutputTail& tail) {
    std::vector<char> buffer(pipeBufferSize);
    const DWORD size = static_cast<DWORD>(buffer.size());
    for (;;) {
        if (!ReadFile(reader.get(), buffer.data(), size, nullptr, &overlapped)
            && GetLastError() != ERROR_IO_PENDING) {
            break;  // every writer has gone
        }
        const HANDLE events[] = {readDone.get(), process};
        DWORD got = 0;
        if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
            if (!GetOverlappedResult(reader.get(), &overlapped, &got, FALSE)) {
                break;
            }
            tail.append(buffer.data(), got);
            continue;
        }
        // The child has ended. What it wrote is in the read under way or
        // still in the pipe; a grandchild may keep the pipe open for ever.
        CancelIoEx(reader.get(), &overlapped);
        if (GetOverlappedResult(reader.get(), &overlapped, &got, TRUE)) {
            tail.append(buffer.data(), got);
        }
        drain(buffer.data(), size, tail);
        return;
    }
    WaitForSingleObject(process, INFINITE);
}

void ChildOutput::drain(char* buffer, DWORD size, OutputTail& tail) {
    DWORD available = 0;
    while (PeekNamedPipe(reader.get(), nullptr, 0, nullptr, &available, nullptr) && available) {
        DWORD got = 0;
        if ((!ReadFile(reader.get(), buffer, std::min(size, available), nullptr, &overlapped)
             && GetLastError() != ERROR_IO_PENDING)
            || !GetOverlappedResult(reader.get(), &overlapped, &got, TRUE)) {
            return;
        }
        tail.append(buffer, got);
    }
}
