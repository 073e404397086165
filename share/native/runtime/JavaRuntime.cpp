#include "JavaRuntime.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "JimageFile.h"
#include "PackError.h"

namespace fs = std::filesystem;

namespace {

// A release file and a jvm.cfg are a few short lines.
const uint64_t maxSmallFile = 1u << 20;

std::string smallFile(const fs::path& file) {
    std::error_code ec;
    if (!fs::is_regular_file(file, ec) || fs::file_size(file, ec) > maxSmallFile || ec) {
        return std::string();
    }
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// KEY="value" of the release file; `found` tells an empty value from none.
std::string releaseValue(const std::string& text, const std::string& key, bool* found = nullptr) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind(key + "=", 0) == 0) {
            std::string v = line.substr(key.size() + 1);
            v.erase(std::remove(v.begin(), v.end(), '"'), v.end());
            if (found) {
                *found = true;
            }
            return v;
        }
    }
    return std::string();
}

unsigned featureRelease(std::string version) {
    if (version.rfind("1.", 0) == 0) {
        version = version.substr(2);  // 1.8.0_402 is Java 8
    }
    return static_cast<unsigned>(std::atoi(version.c_str()));
}

// The virtual machine the runtime library starts when none is asked for:
// the first entry of jvm.cfg ("-server KNOWN"), through an alias
// ("-hotspot ALIASED_TO -server").
std::string defaultVm(const std::string& cfg) {
    std::map<std::string, std::string> aliases;
    std::string first;
    std::istringstream lines(cfg);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string name, flag, target;
        if (!(words >> name) || name[0] != '-') {
            continue;  // a comment, a blank line
        }
        words >> flag >> target;
        if (flag == "ALIASED_TO" && target.size() > 1 && target[0] == '-') {
            aliases.emplace(name.substr(1), target.substr(1));
        }
        if (first.empty()) {
            first = name.substr(1);
        }
    }
    for (int hops = 0; hops < 8 && aliases.count(first); ++hops) {
        first = aliases.at(first);
    }
    return first;
}

} // namespace

unsigned runtimeRelease(const fs::path& runtime) {
    return featureRelease(releaseValue(smallFile(runtime / "release"), "JAVA_VERSION"));
}

RuntimeContents readRuntimeContents(const fs::path& runtime) {
    RuntimeContents c;
    const std::string release = smallFile(runtime / "release");
    c.release = featureRelease(releaseValue(release, "JAVA_VERSION"));
    std::istringstream modules(releaseValue(release, "MODULES", &c.hasModuleList));
    std::string module;
    while (modules >> module) {
        c.modules.insert(module);
    }
    std::error_code ec;
    const fs::path container = runtime / "lib" / "modules";
    if (fs::is_regular_file(container, ec)) {
        try {
            c.packages = jimagePackages(container);
            c.hasPackages = true;
        } catch (const PackError& e) {
            c.packagesProblem = e.what();
        }
    }
    return c;
}

std::string virtualMachineProblem(const fs::path& runtime) {
    std::error_code ec;
    const bool windows = fs::is_regular_file(runtime / "bin" / "jli.dll", ec);
    if (!windows && !fs::is_regular_file(runtime / "lib" / "libjli.so", ec)) {
        return std::string();
    }
    const std::string cfgName = windows ? "lib\\jvm.cfg" : "lib/jvm.cfg";
    const std::string vm = defaultVm(smallFile(runtime / "lib" / "jvm.cfg"));
    if (vm.empty()) {
        return "the Java runtime has no virtual machine: its " + cfgName + " is missing or names none, and "
               "the runtime would stop with \"Error: could not open `" + cfgName + "'\"; give a complete "
               "runtime (jlink makes one)";
    }
    const fs::path library = windows ? runtime / "bin" / fs::u8path(vm) / "jvm.dll"
                                     : runtime / "lib" / fs::u8path(vm) / "libjvm.so";
    if (fs::is_regular_file(library, ec)) {
        return std::string();
    }
    const std::string shownLibrary = windows ? "bin\\" + vm + "\\jvm.dll" : "lib/" + vm + "/libjvm.so";
    return "the Java runtime has no virtual machine: its " + cfgName + " names \"" + vm + "\", but "
           + shownLibrary + " is missing, and the runtime would stop with \"Error: missing `" + vm
           + "' JVM\"; give a complete runtime (jlink makes one)";
}
