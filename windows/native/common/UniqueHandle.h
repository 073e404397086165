// Closes a Windows handle when its owner goes.
#ifndef UNIQUEHANDLE_H
#define UNIQUEHANDLE_H

#include "WinSysHeaders.h"

class UniqueHandle {
public:
    explicit UniqueHandle(HANDLE h = nullptr) : handle(h) {}
    ~UniqueHandle() {
        if (handle && handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    HANDLE get() const { return handle; }

private:
    HANDLE handle;
};

#endif // UNIQUEHANDLE_H
