#include "JdkPackages.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <unordered_map>

namespace {

struct JdkReleaseTable {
    unsigned release;
    const char* modules;   // a line per module: its name, then its packages
    const char* charsets;  // names and aliases, lower case
};

#include "JdkPackageTable.inc"

struct Release {
    std::unordered_map<std::string, std::string> packages;
    std::vector<std::string> modules;
    std::map<std::string, std::vector<std::string>> byModule;
    std::set<std::string> charsets;
};

const std::map<unsigned, Release>& releases() {
    static const std::map<unsigned, Release> all = [] {
        std::map<unsigned, Release> made;
        for (const JdkReleaseTable& t : jdkReleaseTables) {
            Release& r = made[t.release];
            std::istringstream lines(t.modules);
            std::string line;
            while (std::getline(lines, line)) {
                std::istringstream words(line);
                std::string module, package;
                words >> module;
                r.modules.push_back(module);
                while (words >> package) {
                    r.packages.emplace(package, module);
                    r.byModule[module].push_back(package);
                }
            }
            std::istringstream names(t.charsets);
            std::string name;
            while (names >> name) {
                r.charsets.insert(name);
            }
        }
        return made;
    }();
    return all;
}

const Release* find(unsigned release) {
    const auto it = releases().find(release);
    return it == releases().end() ? nullptr : &it->second;
}

} // namespace

std::vector<unsigned> jdkReleasesKnown() {
    std::vector<unsigned> known;
    for (const auto& r : releases()) {
        known.push_back(r.first);
    }
    return known;
}

bool jdkReleaseKnown(unsigned release) {
    return find(release) != nullptr;
}

std::string jdkModuleOf(unsigned release, const std::string& package) {
    const Release* r = find(release);
    if (!r) {
        return std::string();
    }
    const auto it = r->packages.find(package);
    return it == r->packages.end() ? std::string() : it->second;
}

std::vector<std::string> jdkModules(unsigned release) {
    const Release* r = find(release);
    return r ? r->modules : std::vector<std::string>();
}

std::vector<std::string> jdkPackagesOf(unsigned release, const std::string& module) {
    const Release* r = find(release);
    if (!r) {
        return std::vector<std::string>();
    }
    const auto it = r->byModule.find(module);
    return it == r->byModule.end() ? std::vector<std::string>() : it->second;
}

bool isExtendedCharset(unsigned release, const std::string& name) {
    const Release* r = find(release);
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return r && r->charsets.count(lower) > 0;
}
