// What the Java runtime would refuse when it starts an application: read
// from the application's jars and class folders, its Java options and the
// runtime's release file, before the user's machine finds out. Shared by
// loftwick-pack (before it writes an image) and loftwick-inspect (on one).
#ifndef APPCHECK_H
#define APPCHECK_H

#include <filesystem>
#include <string>
#include <vector>

#include "JavaRuntime.h"

struct AppPathEntry {
    std::string given;           // as the user or the configuration wrote it
    std::filesystem::path path;  // where it is here; empty when it cannot be checked here
};

struct AppCheckRequest {
    std::vector<AppPathEntry> classPath;   // an entry may end in "*": every jar of its folder
    std::vector<AppPathEntry> modulePath;
    AppPathEntry mainJar;                  // `given` empty: none
    std::string mainClass;                 // binary name with dots
    std::string mainModule;                // "module" or "module/class"
    std::vector<std::string> javaOptions;
    std::filesystem::path runtime;         // its "release" file tells its Java version
    std::filesystem::path appDir;          // the application's folder: Class-Path stays inside it
    std::vector<std::string> absentModules;  // JDK modules accepted as knowingly absent
};

// Each reason the runtime would not start the application, or would stop
// it for a module it lacks, as a sentence that says what to do; empty when
// it would start. `mainClass`, when given, receives the class the runtime
// would start, as given or as the main jar's manifest or the main module's
// descriptor names it ("" when none does). `warnings`, when given, receives
// what may fail later: modules that classes load by name, or that only
// classes the main class never reaches refer to.
std::vector<std::string> checkApplication(const AppCheckRequest& request,
                                          std::string* mainClass = nullptr,
                                          std::vector<std::string>* warnings = nullptr);

// The JDK modules the application refers to (java.base at least), for a
// runtime of `release` made to measure; `withWarned` adds those only
// warned about. Throws PackError when the application cannot be read.
std::vector<std::string> applicationModules(const AppCheckRequest& request, unsigned release,
                                            bool withWarned);

// The Java option problem the runtime would stop at, or "".
std::string javaOptionProblem(const std::string& option);

#endif // APPCHECK_H
