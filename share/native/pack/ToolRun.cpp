// On POSIX build machines: std::system runs /bin/sh, so every word is
// single-quoted and the output goes to a file read back afterwards.
#include "ToolRun.h"

#include <cstdlib>

#include "Packager.h"
#include "Quoting.h"
#include "ScratchDirectory.h"
#include "SearchPath.h"

namespace fs = std::filesystem;

fs::path findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    return searchPath(std::string(path ? path : ""), ':', fs::u8path(name));
}

bool runProgram(const fs::path& program, const std::vector<std::string>& args,
                const fs::path& workingDirectory, std::string& output) {
    const ScratchDirectory scratch(fs::temp_directory_path() / "loftwick-run");
    const fs::path log = scratch.path / "output.txt";
    std::string command = "cd " + shellWord(workingDirectory.u8string()) + " && " + shellWord(program.u8string());
    for (const std::string& arg : args) {
        command += " " + shellWord(arg);
    }
    command += " </dev/null >" + shellWord(log.u8string()) + " 2>&1";
    const int status = std::system(command.c_str());
    output = fileTail(log, toolOutputLimit);
    return status == 0;
}
