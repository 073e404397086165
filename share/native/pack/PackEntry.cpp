// loftwick-pack on a build machine: arguments are UTF-8 bytes already.
#include <algorithm>
#include <cstdlib>
#include <iostream>

#include "PackCommand.h"

namespace fs = std::filesystem;

namespace {

// argv[0] names the program by a path, or by a name found on PATH.
fs::path selfPath(const char* argv0) {
    const fs::path given = argv0 ? argv0 : "";
    if (given.has_parent_path()) {
        return fs::absolute(given);
    }
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    for (size_t start = 0; start <= dirs.size();) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        std::error_code ec;
        const fs::path candidate = fs::path(dirs.substr(start, end - start)) / given;
        if (fs::is_regular_file(candidate, ec)) {
            return fs::absolute(candidate);
        }
        start = end + 1;
    }
    return fs::absolute(given);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return packCommand(args, selfPath(argv[0]), std::cout, std::cerr);
}
