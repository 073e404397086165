// A Linux image:
//   ROOT/bin/NAME           the launcher ($BINDIR)
//   ROOT/lib/app/NAME.cfg   the configuration, beside the application's files ($APPDIR)
//   ROOT/lib/runtime/       the Java runtime, lib/libjli.so inside ($ROOTDIR is ROOT)
// No library path variable: the runtime needs none.
#include "AppLauncher.h"

#include "FileUtils.h"

AppLauncher& configureForImage(AppLauncher& launcher, const tstring& launcherPath) {
    const tstring rootDir = FileUtils::dirname(FileUtils::dirname(launcherPath));
    const tstring libDir = FileUtils::joinPath(rootDir, L"lib");
    return launcher.setRootDir(rootDir)
            .addJvmLibCandidate(L"lib/libjli.so")
            .setAppDir(FileUtils::joinPath(libDir, L"app"))
            .setLibraryPathVariable(tstring())
            .setFallbackRuntimeDir(FileUtils::joinPath(libDir, L"runtime"));
}
