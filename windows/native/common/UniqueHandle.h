// Closes a Windows handle when its owner goes.
#ifndef UNIQUEHANDLE_H
#define UNIQUEHANDLE_H

#include "WinSysHeaders.h"

class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE h = nullptr) : handle(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    HANDLE get() const { return handle; }
    void reset(HANDLE h = nullptr) {
        if (handle && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
        handle = h;
    }

private:
    HANDLE handle;
};

#endif // UNIQUEHANDLE_H
