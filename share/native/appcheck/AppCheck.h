// What the Java runtime would refuse when it starts an application: read
// from the application's jars and class folders, its Java options and the
// runtime's release file, before the user's machine finds out. Shared by
// loftwick-pack (before it writes an image) and loftwick-inspect (on one).
#ifndef APPCHECK_H
#define APPCHECK_H

#include <filesystem>
#include <string>
#include <vector>

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
};

// Each reason the runtime would not start the application, as a sentence
// that says what to do; empty when it would start. `mainClass`, when given,
// receives the class the runtime would start, as given or as the main jar's
// manifest or the main module's descriptor names it ("" when none does).
std::vector<std::string> checkApplication(const AppCheckRequest& request,
                                          std::string* mainClass = nullptr);

// The Java option problem the runtime would stop at, or "".
std::string javaOptionProblem(const std::string& option);

// The feature release of the runtime (17), from its release file; 0 when
// it does not say.
unsigned runtimeRelease(const std::filesystem::path& runtime);

#endif // APPCHECK_H
