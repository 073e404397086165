// Another program a step cannot do without: found, run, and its failure
// turned into the step's error.
#ifndef REQUIREDTOOL_H
#define REQUIREDTOOL_H

#include <filesystem>
#include <string>
#include <vector>

// The program `name` on PATH; throws PackError saying that `who` needs it
// and which Debian package brings it.
std::filesystem::path requiredProgram(const std::string& name, const std::string& package,
                                      const std::string& who);

// Runs it; returns what it printed, or throws PackError: "`what` failed:"
// and what it printed.
std::string runRequired(const std::filesystem::path& program, const std::vector<std::string>& args,
                        const std::filesystem::path& dir, const std::string& what);

#endif // REQUIREDTOOL_H
