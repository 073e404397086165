// The command line of loftwick-pack, the same on every build machine.
#ifndef PACKCOMMAND_H
#define PACKCOMMAND_H

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

// `args` are UTF-8 without the program name; `self` is the tool's own path,
// beside which (or in the build tree's bin) the launchers are looked for.
// Returns the exit code: 0 packed, 1 packing failed, 2 bad command line.
int packCommand(const std::vector<std::string>& args, const std::filesystem::path& self,
                std::ostream& out, std::ostream& err);

#endif // PACKCOMMAND_H
