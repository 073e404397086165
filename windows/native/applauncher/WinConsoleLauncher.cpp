// The console launcher: for command-line Java applications, started from a
// terminal, that return their exit code and share the terminal's handles.
#include "WinLauncher.h"

int wmain() {
    return launchConsole();
}
