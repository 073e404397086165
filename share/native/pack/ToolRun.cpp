// On POSIX build machines: std::system runs /bin/sh, so every word is
// single-quoted and the output goes to a file read back afterwards.
#include "ToolRun.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

#include "Packager.h"
#include "Quoting.h"
#include "ScratchDirectory.h"
#include "SearchPath.h"

namespace fs = std::filesystem;

fs::path findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    return searchPath(std::string(path ? path : ""), ':', fs::u8path(name));
}

namespace {

std::string commandText(const fs::path& program, const std::vector<std::string>& args,
                        const fs::path& workingDirectory, const fs::path& log, bool withInput,
                        const fs::path& stdoutFile = fs::path()) {
    std::string command = "cd " + shellWord(workingDirectory.u8string()) + " && " + shellWord(program.u8string());
    for (const std::string& arg : args) {
        command += " " + shellWord(arg);
    }
    const std::string out = stdoutFile.empty() ? " >" + shellWord(log.u8string()) + " 2>&1"
                                               : " >" + shellWord(stdoutFile.u8string()) + " 2>" + shellWord(log.u8string());
    return command + (withInput ? "" : " </dev/null") + out;
}

} // namespace

bool runProgram(const fs::path& program, const std::vector<std::string>& args,
                const fs::path& workingDirectory, std::string& output) {
    const ScratchDirectory scratch(fs::temp_directory_path() / "loftwick-run");
    const fs::path log = scratch.path / "output.txt";
    const int status = std::system(commandText(program, args, workingDirectory, log, false).c_str());
    output = fileTail(log, toolOutputLimit);
    return status == 0;
}

bool runProgramWithInput(const fs::path& program, const std::vector<std::string>& args,
                         const fs::path& workingDirectory, const std::string& input,
                         std::string& output) {
    const ScratchDirectory scratch(fs::temp_directory_path() / "loftwick-run");
    const fs::path log = scratch.path / "output.txt";
    FILE* pipe = popen(commandText(program, args, workingDirectory, log, true).c_str(), "w");
    if (!pipe) {
        output = "cannot start " + program.u8string();
        return false;
    }
    // A tool that exits without reading must not end this process.
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    std::fwrite(input.data(), 1, input.size(), pipe);
    const int status = pclose(pipe);
    std::signal(SIGPIPE, previous);
    output = fileTail(log, toolOutputLimit);
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool runProgramToFile(const fs::path& program, const std::vector<std::string>& args,
                      const fs::path& workingDirectory, const fs::path& stdoutFile, std::string& output) {
    const ScratchDirectory scratch(fs::temp_directory_path() / "loftwick-run");
    const fs::path log = scratch.path / "output.txt";
    const int status = std::system(
            commandText(program, args, workingDirectory, log, false, fs::absolute(stdoutFile)).c_str());
    output = fileTail(log, toolOutputLimit);
    return status == 0;
}

const char* standardInputFile() {
    return "/dev/stdin";
}
