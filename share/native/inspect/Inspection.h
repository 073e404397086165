// What a launcher would do with an application image, found without
// launching it: the report of loftwick-inspect.
#ifndef INSPECTION_H
#define INSPECTION_H

#include <string>
#include <vector>

#include "tstrings.h"

struct Inspection {
    struct Finding {
        int line;          // 0 when the finding has no line
        std::string what;  // UTF-8 text
    };

    tstring cfgFile;
    std::vector<Finding> dropped;
    std::vector<Finding> replaced;
    tstring runtimeDir;
    tstring runtimeLibrary;
    std::string error;  // the launcher's own message when a launch would fail
    tstring_array arguments;
    std::vector<std::string> problems;
    std::vector<std::string> warnings;  // what may fail later; no change to the exit code
    std::string road;

    // Each program and library of the image, and its Authenticode signature.
    struct Signature {
        std::string file;    // inside the image
        bool present = false;
        bool valid = false;
        bool timestamped = false;
        std::string signer;
        std::string state;   // what the check said, in words
    };
    // Listed (text and JSON) once any file is signed: an image before
    // signing reads as it always has.
    std::vector<Signature> signatures;
    bool anySigned() const;

    // 0: nothing wrong, 1: a launch would fail, 2: it starts, but something
    // was dropped or is missing.
    int exitCode() const;
    std::string text() const;
    std::string json() const;
};

// The platform's part (WinInspection, LinuxInspection): the road a launch
// takes, and a runtime home the runtime would find otherwise than meant.
class AppLauncher;
std::string launchRoad(const AppLauncher& launcher, bool pathHasAppDir);
void checkRuntimeHome(Inspection& report, const tstring& launcherPath);
// The signatures of the image's programs and libraries (Windows); a file
// changed after it was signed is a problem.
void checkSignatures(Inspection& report, const tstring& launcherPath);

// Reads the image of the launcher at `launcherPath` as that launcher would
// when started with `args`; `absentModules` are JDK modules its runtime
// lacks on purpose.
Inspection inspectImage(const tstring& launcherPath, const tstring_array& args,
                        const std::vector<std::string>& absentModules = {});

#endif // INSPECTION_H
