// loftwick-pack on a build machine: arguments are UTF-8 bytes already.
#include <cstdlib>
#include <iostream>

#include "PackCommand.h"
#include "SearchPath.h"

namespace fs = std::filesystem;

namespace {

// argv[0] names the program by a path, or by a name found on PATH.
fs::path selfPath(const char* argv0) {
    const fs::path given = argv0 ? argv0 : "";
    if (given.has_parent_path()) {
        return fs::absolute(given);
    }
    const char* path = std::getenv("PATH");
    const fs::path found = searchPath(std::string(path ? path : ""), ':', given);
    return fs::absolute(found.empty() ? given : found);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return packCommand(args, selfPath(argv[0]), std::cout, std::cerr);
}
