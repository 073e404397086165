// loftwick-inspect: shows what a packaged application will launch.
#include <cstdio>
#include <fcntl.h>
#include <io.h>

#include "ErrorHandling.h"
#include "FileUtils.h"
#include "Inspection.h"
#include "Log.h"

namespace {

const char* const usage =
    "usage: loftwick-inspect [--json] PATH\\TO\\MyApp.exe [args...]\n"
    "Reads the application image around MyApp.exe as the launcher would when\n"
    "started with those arguments, and reports what it would hand the runtime.\n"
    "Exit code: 0 nothing wrong, 1 a launch would fail, 2 it would start but\n"
    "something was dropped or is missing.\n";

} // namespace

int wmain(int argc, wchar_t** argv) {
    NopLogAppender quiet;
    Logger::instance().installAppender(&quiet);
    // UTF-8 out, byte for byte.
    _setmode(_fileno(stdout), _O_BINARY);

    bool json = false;
    int first = 1;
    if (first < argc && tstring(argv[first]) == L"--json") {
        json = true;
        ++first;
    }
    if (first >= argc || tstring(argv[first]) == L"--help") {
        std::fputs(usage, first >= argc ? stderr : stdout);
        return first >= argc ? 1 : 0;
    }
    try {
        const tstring launcher = FileUtils::toAbsolutePath(argv[first]);
        const tstring_array args(argv + first + 1, argv + argc);
        const Inspection report = inspectImage(launcher, args);
        const std::string out = json ? report.json() : report.text();
        std::fwrite(out.data(), 1, out.size(), stdout);
        return report.exitCode();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "loftwick-inspect: %s\n", e.what());
        return 1;
    }
}
