#include "RuntimeMaker.h"

#include <cstdlib>
#include <set>

#include "ClassFile.h"
#include "JavaRuntime.h"
#include "JdkPackages.h"
#include "PackError.h"
#include "Packager.h"
#include "ToolRun.h"

namespace fs = std::filesystem;

namespace {

// The JDK whose jlink runs: given, JAVA_HOME, or the one of the jlink on PATH.
fs::path findJdk(const fs::path& given) {
    if (!given.empty()) {
        return given;
    }
    const char* home = std::getenv("JAVA_HOME");
    if (home && *home) {
        return fs::u8path(home);
    }
    const fs::path jlink = findProgram("jlink");
    if (jlink.empty()) {
        throw PackError("no jlink on PATH: name a JDK with --jdk DIR");
    }
    std::error_code ec;
    return fs::canonical(jlink, ec).parent_path().parent_path();
}

fs::path jlinkOf(const fs::path& jdk) {
    for (const char* name : {"jlink", "jlink.exe"}) {
        std::error_code ec;
        if (fs::is_regular_file(jdk / "bin" / name, ec)) {
            return jdk / "bin" / name;
        }
    }
    throw PackError("the JDK " + shown(jdk) + " has no bin/jlink: give a JDK (not a runtime) with --jdk");
}

// jlink links only the jmods of its own feature release.
unsigned targetRelease(const RuntimeRequest& r, const fs::path& jdk) {
    const unsigned own = runtimeRelease(jdk);
    if (own == 0) {
        throw PackError("the JDK " + shown(jdk) + " has no release file that tells its Java version");
    }
    if (r.jmods.empty()) {
        return own;
    }
    const fs::path targetJdk = fs::absolute(r.jmods).lexically_normal().parent_path();
    const unsigned target = runtimeRelease(targetJdk);
    if (target == 0) {
        throw PackError("cannot tell the Java version of the jmods " + shown(r.jmods) + ": its JDK's release "
                        "file (" + shown(targetJdk / "release") + ") is missing");
    }
    if (target != own) {
        throw PackError("the jlink of Java " + std::to_string(own) + " cannot link the jmods of Java "
                        + std::to_string(target) + ": jlink requires the same feature release; give --jdk a "
                        "JDK " + std::to_string(target) + " for this machine");
    }
    return target;
}

uint64_t treeSize(const fs::path& dir) {
    uint64_t bytes = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && !it->is_symlink(ec)) {
            bytes += it->file_size(ec);
        }
    }
    return bytes;
}

} // namespace

bool isModuleName(const std::string& name) {
    return isQualifiedName(name);
}

RuntimeResult makeRuntime(const RuntimeRequest& r) {
    const fs::path jdk = findJdk(r.jdk);
    const fs::path jlink = jlinkOf(jdk);
    RuntimeResult result;
    result.release = targetRelease(r, jdk);
    if (!jdkReleaseKnown(result.release)) {
        throw PackError("Java " + std::to_string(result.release) + " is an unknown release for the module "
                        "check, which cannot tell which of its modules hold which packages");
    }
    std::set<std::string> modules;
    for (const std::string& m : applicationModules(r.application, result.release, r.withWarned)) {
        modules.insert(m);
    }
    modules.insert(r.addModules.begin(), r.addModules.end());
    result.modules.assign(modules.begin(), modules.end());
    std::error_code ec;
    const fs::path output = fs::absolute(r.output);
    if (fs::exists(output, ec)) {
        if (!r.replace) {
            throw PackError(shown(output) + " exists: give --replace to replace it");
        }
        fs::remove_all(output, ec);
    }
    std::string list;
    for (const std::string& m : result.modules) {
        list += (list.empty() ? "" : ",") + m;
    }
    std::vector<std::string> args = {"--add-modules", list, "--strip-debug", "--no-header-files",
                                     "--no-man-pages", "--output", output.u8string()};
    if (!r.jmods.empty()) {
        args.insert(args.begin(), {"--module-path", fs::absolute(r.jmods).u8string()});
    }
    std::string said;
    if (!runProgram(jlink, args, fs::current_path(), said)) {
        fs::remove_all(output, ec);
        throw PackError("jlink failed:\n" + said);
    }
    result.bytes = treeSize(output);
    return result;
}
