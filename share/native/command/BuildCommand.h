// loftwick-pack build: every artefact a project file describes.
#ifndef BUILDCOMMAND_H
#define BUILDCOMMAND_H

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

// `args` after "build"; `self` is this tool, as for packing. Returns the
// exit code.
int buildCommand(const std::vector<std::string>& args, const std::filesystem::path& self, std::ostream& out,
                 std::ostream& err);

#endif // BUILDCOMMAND_H
