#include "InspectCommand.h"

#include <cstdio>

#include "FileUtils.h"
#include "Inspection.h"
#include "Log.h"

int inspectCommand(const tstring_array& args, const char* usage) {
    NopLogAppender quiet;
    Logger::instance().installAppender(&quiet);
    bool json = false;
    std::vector<std::string> absentModules;
    size_t first = 0;
    while (first < args.size()) {
        if (args[first] == L"--json") {
            json = true;
        } else if (args[first] == L"--absent-module" && first + 1 < args.size()) {
            absentModules.push_back(tstrings::encodeUtf8(args[++first]));
        } else {
            break;
        }
        ++first;
    }
    if (first >= args.size() || args[first] == L"--help") {
        std::fputs(usage, first >= args.size() ? stderr : stdout);
        return first >= args.size() ? 1 : 0;
    }
    try {
        const tstring launcher = FileUtils::toAbsolutePath(args[first]);
        const Inspection report = inspectImage(launcher, tstring_array(args.begin() + first + 1, args.end()),
                                                 absentModules);
        const std::string out = json ? report.json() : report.text();
        std::fwrite(out.data(), 1, out.size(), stdout);
        return report.exitCode();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "loftwick-inspect: %s\n", e.what());
        return 1;
    }
}
