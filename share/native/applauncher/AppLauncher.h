// From the installed image's layout to a ready runtime launcher object.
#ifndef APPLAUNCHER_H
#define APPLAUNCHER_H

#include "tstrings.h"

class CfgFileObserver;
class Jvm;

// What the configuration says about the launch beyond the runtime's
// command line.
struct LauncherSettings {
    // Whether a double-clicked application that fails gets a box with what
    // it printed; "app.failurebox=false" turns it off, for applications
    // that print and exit non-zero on purpose.
    bool failureBox = true;
};

class AppLauncher {
public:
    AppLauncher();

    AppLauncher& setAppDir(const tstring& v) { appDir = v; return *this; }
    AppLauncher& setRootDir(const tstring& v) { rootDir = v; return *this; }
    AppLauncher& setFallbackRuntimeDir(const tstring& v) { fallbackRuntimeDir = v; return *this; }
    AppLauncher& setLibraryPathVariable(const tstring& v) { libraryPathVariable = v; return *this; }
    AppLauncher& addJvmLibCandidate(const tstring& v) { jvmLibCandidates.push_back(v); return *this; }

    const tstring& getAppDir() const { return appDir; }
    const tstring& getExecutablePath() const { return executablePath; }
    const tstring_array& getCommandLineArgs() const { return commandLineArgs; }
    AppLauncher& setCommandLineArgs(const tstring_array& v) { commandLineArgs = v; return *this; }
    // For tools that look at another launcher than the running process.
    AppLauncher& setExecutablePath(const tstring& v) { executablePath = v; return *this; }

    bool libraryPathHasAppDir() const;

    // The configuration file this launcher reads: app dir + exe name + ".cfg".
    tstring cfgFilePath() const;

    // The new Jvm is the caller's; PATH gets the app dir when it lacks it.
    // An observer hears what the configuration parser drops; `settings`,
    // when given, receives the rest of what the configuration says.
    Jvm* createJvmLauncher(CfgFileObserver* observer = nullptr,
                           LauncherSettings* settings = nullptr) const;

private:
    tstring_array commandLineArgs;
    tstring executablePath;
    tstring fallbackRuntimeDir;
    tstring appDir;
    tstring libraryPathVariable;
    tstring rootDir;
    tstring_array jvmLibCandidates;
};

// The platform's layout of an application image around its launcher
// (WinImageLayout, LinuxImageLayout).
AppLauncher& configureForImage(AppLauncher& launcher, const tstring& launcherPath);

class CfgFile;
// The variable that turns the failure box off for one run: "false", as
// app.failurebox=false does for every run.
extern const wchar_t* const failureBoxVariable;

LauncherSettings launcherSettingsOf(const CfgFile& cfg);
tstring findJvmLib(const CfgFile& cfg, const tstring& fallbackRuntimeDir,
                   const tstring_array& candidates);

#endif // APPLAUNCHER_H
