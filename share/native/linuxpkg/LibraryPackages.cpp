// The mapping is written down in docs/linux-packages.md; keep the two alike.
#include "LibraryPackages.h"

#include <algorithm>
#include <set>

namespace {

// The C library's parts, all in one package.
const char* const glibc[] = {"libc.so.6", "libm.so.6", "libdl.so.2", "libpthread.so.0", "librt.so.1",
                             "ld-linux-x86-64.so.2", "libresolv.so.2", "libutil.so.1"};

// Ubuntu 24.04 renamed the packages whose ABI holds a time_t ("t64"); the
// new name comes first, the old one is the alternative.
const std::pair<const char*, const char*> packages[] = {
    {"libgcc_s.so.1", "libgcc-s1"},
    {"libstdc++.so.6", "libstdc++6"},
    {"libz.so.1", "zlib1g"},
    {"libX11.so.6", "libx11-6"},
    {"libXext.so.6", "libxext6"},
    {"libXi.so.6", "libxi6"},
    {"libXrender.so.1", "libxrender1"},
    {"libXtst.so.6", "libxtst6"},
    {"libXrandr.so.2", "libxrandr2"},
    {"libXinerama.so.1", "libxinerama1"},
    {"libXcursor.so.1", "libxcursor1"},
    {"libasound.so.2", "libasound2t64 | libasound2"},
    {"libfreetype.so.6", "libfreetype6"},
    {"libfontconfig.so.1", "libfontconfig1"},
    {"liblcms2.so.2", "liblcms2-2"},
    {"libjpeg.so.62", "libjpeg62-turbo | libjpeg62"},
    {"libjpeg.so.8", "libjpeg-turbo8 | libjpeg8"},
    {"libpng16.so.16", "libpng16-16t64 | libpng16-16"},
    {"libgif.so.7", "libgif7"},
    {"libharfbuzz.so.0", "libharfbuzz0b"},
    {"libglib-2.0.so.0", "libglib2.0-0t64 | libglib2.0-0"},
    {"libgobject-2.0.so.0", "libglib2.0-0t64 | libglib2.0-0"},
    {"libgio-2.0.so.0", "libglib2.0-0t64 | libglib2.0-0"},
    {"libatk-1.0.so.0", "libatk1.0-0t64 | libatk1.0-0"},
    {"libatk-bridge-2.0.so.0", "libatk-bridge2.0-0t64 | libatk-bridge2.0-0"},
    {"libgtk-3.so.0", "libgtk-3-0t64 | libgtk-3-0"},
    {"libgdk-3.so.0", "libgtk-3-0t64 | libgtk-3-0"},
    {"libcairo.so.2", "libcairo2"},
    {"libpango-1.0.so.0", "libpango-1.0-0"},
    {"libGL.so.1", "libgl1"},
    {"libpcsclite.so.1", "libpcsclite1"},
    {"libffi.so.8", "libffi8"},
    {"libssl.so.3", "libssl3t64 | libssl3"},
    {"libcrypto.so.3", "libssl3t64 | libssl3"},
};

bool isGlibc(const std::string& soname) {
    return std::any_of(std::begin(glibc), std::end(glibc), [&](const char* g) { return soname == g; });
}

// "GLIBC_2.34" -> {2, 34}; versions of other names compare as {0}.
std::vector<unsigned> glibcVersion(const std::string& name) {
    std::vector<unsigned> fields;
    if (name.rfind("GLIBC_", 0) != 0) {
        return {0};
    }
    unsigned value = 0;
    for (size_t i = 6; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '.') {
            fields.push_back(value);
            value = 0;
        } else if (name[i] >= '0' && name[i] <= '9') {
            value = value * 10 + static_cast<unsigned>(name[i] - '0');
        } else {
            return {0};
        }
    }
    return fields;
}

} // namespace

void addNeeds(LibraryNeeds& needs, const ElfLinks& links) {
    for (const std::string& library : links.needed) {
        needs.libraries[library];
    }
    for (const auto& versions : links.versionsNeeded) {
        std::vector<std::string>& list = needs.libraries[versions.first];
        for (const std::string& v : versions.second) {
            if (std::find(list.begin(), list.end(), v) == list.end()) {
                list.push_back(v);
            }
        }
        std::sort(list.begin(), list.end());
    }
}

std::vector<std::string> debianDepends(const LibraryNeeds& needs,
                                       const std::map<std::string, std::string>& extra,
                                       std::vector<std::string>& unknown) {
    std::set<std::string> depends;
    std::vector<unsigned> newestGlibc;
    std::string newestName;
    for (const auto& library : needs.libraries) {
        if (isGlibc(library.first)) {
            for (const std::string& v : library.second) {
                if (glibcVersion(v) > newestGlibc) {
                    newestGlibc = glibcVersion(v);
                    newestName = v.substr(6);
                }
            }
            continue;
        }
        const auto given = extra.find(library.first);
        const auto known = std::find_if(std::begin(packages), std::end(packages),
                                        [&](const auto& p) { return library.first == p.first; });
        if (given != extra.end()) {
            depends.insert(given->second);
        } else if (known != std::end(packages)) {
            depends.insert(known->second);
        } else {
            unknown.push_back(library.first);
        }
    }
    std::vector<std::string> result;
    if (!needs.libraries.empty()) {
        result.push_back(newestName.empty() ? "libc6" : "libc6 (>= " + newestName + ")");
    }
    result.insert(result.end(), depends.begin(), depends.end());
    return result;
}

std::vector<std::string> rpmRequires(const LibraryNeeds& needs) {
    std::vector<std::string> requires;
    for (const auto& library : needs.libraries) {
        requires.push_back(library.first + "()(64bit)");
        for (const std::string& v : library.second) {
            requires.push_back(library.first + "(" + v + ")(64bit)");
        }
    }
    return requires;
}
