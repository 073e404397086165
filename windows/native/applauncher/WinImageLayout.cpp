// A Windows image: MyApp.exe, app\\MyApp.cfg and runtime\\ beside each other;
// the runtime is found on PATH's terms.
#include "AppLauncher.h"

#include "FileUtils.h"

AppLauncher& configureForImage(AppLauncher& launcher, const tstring& launcherPath) {
    const tstring rootDir = FileUtils::dirname(launcherPath);
    return launcher.setRootDir(rootDir)
            .addJvmLibCandidate(L"bin\\jli.dll")
            .setAppDir(FileUtils::joinPath(rootDir, L"app"))
            .setLibraryPathVariable(L"PATH")
            .setFallbackRuntimeDir(FileUtils::joinPath(rootDir, L"runtime"));
}
