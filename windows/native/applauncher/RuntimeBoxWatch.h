// Notices whether a loaded runtime library showed a message box itself.
#ifndef RUNTIMEBOXWATCH_H
#define RUNTIMEBOXWATCH_H

#include "WinSysHeaders.h"

// A windowed runtime shows most of its errors in a box of its own, but not
// all: an exception left pending after main ends the launch with no word.
// For its lifetime, the message box functions the module imports go
// through this watch, so the launcher knows whether the user was told.
class RuntimeBoxWatch {
public:
    explicit RuntimeBoxWatch(HMODULE module);
    ~RuntimeBoxWatch();
    RuntimeBoxWatch(const RuntimeBoxWatch&) = delete;
    RuntimeBoxWatch& operator=(const RuntimeBoxWatch&) = delete;

    // Whether the module showed a box since the watch began.
    static bool boxShown();

private:
    struct Patch {
        void** slot;
        void* original;
    };
    Patch patches[2] = {};
};

#endif // RUNTIMEBOXWATCH_H
