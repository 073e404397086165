// What a Java runtime image holds, as far as starting an application goes:
// its release, its virtual machine, its modules and their packages.
#ifndef JAVARUNTIME_H
#define JAVARUNTIME_H

#include <filesystem>
#include <map>
#include <set>
#include <string>

struct RuntimeContents {
    unsigned release = 0;                         // feature release; 0 when not told
    bool hasModuleList = false;                   // the release file has MODULES
    std::set<std::string> modules;
    bool hasPackages = false;                     // read from lib/modules
    std::map<std::string, std::string> packages;  // package (with dots) -> module
    std::string packagesProblem;                  // why lib/modules could not be read
};

// Reads the release file and lib/modules; a runtime without them yields
// what it has (a lib/modules that cannot be read is told in
// packagesProblem, not thrown).
RuntimeContents readRuntimeContents(const std::filesystem::path& runtime);

// The feature release of the runtime (17), from its release file; 0 when
// it does not say.
unsigned runtimeRelease(const std::filesystem::path& runtime);

// Why the runtime library would find no virtual machine: no lib/jvm.cfg,
// or none of the library that its first entry names (lib/server/libjvm.so,
// bin\server\jvm.dll). "" when it is there, or the folder is no runtime of
// either system.
std::string virtualMachineProblem(const std::filesystem::path& runtime);

#endif // JAVARUNTIME_H
