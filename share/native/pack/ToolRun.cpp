// On POSIX build machines: std::system runs /bin/sh, so every word is
// single-quoted and the output goes to a file read back afterwards.
#include "ToolRun.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "ScratchDirectory.h"
#include "SearchPath.h"

namespace fs = std::filesystem;

namespace {

std::string quoted(const std::string& word) {
    std::string out = "'";
    for (const char c : word) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

} // namespace

fs::path findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    return searchPath(std::string(path ? path : ""), ':', fs::u8path(name));
}

bool runProgram(const fs::path& program, const std::vector<std::string>& args,
                const fs::path& workingDirectory, std::string& output) {
    const ScratchDirectory scratch(fs::temp_directory_path() / "loftwick-run");
    const fs::path log = scratch.path / "output.txt";
    std::string command = "cd " + quoted(workingDirectory.u8string()) + " && " + quoted(program.u8string());
    for (const std::string& arg : args) {
        command += " " + quoted(arg);
    }
    command += " </dev/null >" + quoted(log.u8string()) + " 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream in(log, std::ios::binary);
    output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return status == 0;
}
