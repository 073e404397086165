#include "RequiredTool.h"

#include "PackError.h"
#include "ToolRun.h"

namespace fs = std::filesystem;

fs::path requiredProgram(const std::string& name, const std::string& package, const std::string& who) {
    const fs::path program = findProgram(name);
    if (program.empty()) {
        throw PackError(who + " needs " + name + " on PATH (sudo apt install " + package + ")");
    }
    return program;
}

std::string runRequired(const fs::path& program, const std::vector<std::string>& args, const fs::path& dir,
                        const std::string& what) {
    std::string output;
    if (!runProgram(program, args, dir, output)) {
        throw PackError(what + " failed:\n" + output);
    }
    return output;
}
