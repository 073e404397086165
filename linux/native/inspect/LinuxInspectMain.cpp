// loftwick-inspect for Linux images: shows what a packaged application will launch.
#include "InspectCommand.h"

int main(int argc, char** argv) {
    tstring_array args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(tstrings::decodeAnsi(argv[i]));
    }
    return inspectCommand(args,
        "usage: loftwick-inspect [--json] [--absent-module MODULE]... PATH/TO/bin/myapp [args...]\n"
        "Reads the application image around the launcher as it would when started\n"
        "with those arguments, and reports what it would hand the runtime.\n"
        "--absent-module names a JDK module the runtime lacks on purpose.\n"
        "Exit code: 0 it would start, 1 a launch would fail, 2 it would start but\n"
        "something was dropped or the application would fail.\n");
}
