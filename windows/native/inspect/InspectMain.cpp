// loftwick-inspect: shows what a packaged application will launch.
#include <fcntl.h>
#include <io.h>
#include <cstdio>

#include "InspectCommand.h"

int wmain(int argc, wchar_t** argv) {
    // UTF-8 out, byte for byte.
    _setmode(_fileno(stdout), _O_BINARY);
    return inspectCommand(tstring_array(argv + 1, argv + argc),
        "usage: loftwick-inspect [--json] [--absent-module MODULE]... PATH\\TO\\MyApp.exe [args...]\n"
        "Reads the application image around MyApp.exe as the launcher would when\n"
        "started with those arguments, and reports what it would hand the runtime.\n"
        "--absent-module names a JDK module the runtime lacks on purpose.\n"
        "Exit code: 0 nothing wrong, 1 a launch would fail, 2 it would start but\n"
        "something was dropped or is missing.\n");
}
