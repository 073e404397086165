// loftwick-inspect for Linux images: shows what a packaged application will launch.
#include <cstdio>

#include "FileUtils.h"
#include "Inspection.h"
#include "Log.h"

namespace {

const char* const usage =
    "usage: loftwick-inspect [--json] PATH/TO/bin/myapp [args...]\n"
    "Reads the application image around the launcher as it would when started\n"
    "with those arguments, and reports what it would hand the runtime.\n"
    "Exit code: 0 it would start, 1 a launch would fail, 2 it would start but\n"
    "something was dropped or the application would fail.\n";

} // namespace

int main(int argc, char** argv) {
    NopLogAppender quiet;
    Logger::instance().installAppender(&quiet);
    bool json = false;
    int first = 1;
    if (first < argc && std::string(argv[first]) == "--json") {
        json = true;
        ++first;
    }
    if (first >= argc || std::string(argv[first]) == "--help") {
        std::fputs(usage, first >= argc ? stderr : stdout);
        return first >= argc ? 1 : 0;
    }
    try {
        const tstring launcher = FileUtils::toAbsolutePath(tstrings::decodeAnsi(argv[first]));
        tstring_array args;
        for (int i = first + 1; i < argc; ++i) {
            args.push_back(tstrings::decodeAnsi(argv[i]));
        }
        const Inspection report = inspectImage(launcher, args);
        const std::string out = json ? report.json() : report.text();
        std::fwrite(out.data(), 1, out.size(), stdout);
        return report.exitCode();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "loftwick-inspect: %s\n", e.what());
        return 1;
    }
}
