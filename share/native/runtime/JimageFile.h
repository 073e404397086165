// The package table of a runtime's lib/modules, the container every Java
// runtime of release 9 and later keeps its classes in. docs/jimage.md
// describes what is read and how each part is bounded.
#ifndef JIMAGEFILE_H
#define JIMAGEFILE_H

#include <filesystem>
#include <map>
#include <string>

// Each package (with dots) that holds classes, and the module that holds
// it. Throws PackError when the file is not such a container, or is cut
// short or inconsistent anywhere the table is read from.
std::map<std::string, std::string> jimagePackages(const std::filesystem::path& modulesFile);

// The same of a container in memory (for tests and the fuzz target).
std::map<std::string, std::string> jimagePackagesOf(const std::string& bytes, const std::string& what);

#endif // JIMAGEFILE_H
