// What inspecting a Windows image adds: the two roads, and the folder
// above the image that the runtime's jli.dll looks at first.
#include "Inspection.h"

#include "AppLauncher.h"
#include "FileUtils.h"

std::string launchRoad(const AppLauncher& launcher, bool pathHasAppDir) {
    // A ';' in the app directory keeps PATH from ever listing it: the
    // launcher then starts in its own process instead of relaunching.
    if (pathHasAppDir) {
        return "in-process (PATH lists the app directory)";
    }
    if (launcher.getAppDir().find(L';') == tstring::npos) {
        return "relaunch (PATH lacks the app directory)";
    }
    return "in-process (PATH cannot list the app directory)";
}

// A runtime folder just above the image is taken as the runtime's home
// before the image's own.
void checkRuntimeHome(Inspection& report, const tstring& launcherPath) {
    const tstring above = FileUtils::dirname(FileUtils::dirname(launcherPath));
    if (!above.empty() && FileUtils::isFileExists(FileUtils::joinPath(above, L"bin\\java.dll"))
        && tstrings::asciiLower(above) != tstrings::asciiLower(report.runtimeDir)) {
        report.problems.push_back("the folder above the image, \"" + tstrings::encodeUtf8(above)
            + "\", holds bin\\java.dll: the runtime would take it as its home instead of \""
            + tstrings::encodeUtf8(report.runtimeDir) + "\"");
    }
}
