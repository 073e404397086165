#include "Licenses.h"

#include <algorithm>

namespace {

struct Family {
    const char* names[2];  // SPDX's and Debian's names, without "-only" or "+"
    const char* spdx;
    const char* file;
    const char* fullName;
    bool versions;         // GNU's: "-only" or "-or-later" belongs to the name
};

const Family families[] = {
    {{"GPL-1.0", "GPL-1"}, "GPL-1.0", "GPL-1", "GNU General Public License version 1", true},
    {{"GPL-2.0", "GPL-2"}, "GPL-2.0", "GPL-2", "GNU General Public License version 2", true},
    {{"GPL-3.0", "GPL-3"}, "GPL-3.0", "GPL-3", "GNU General Public License version 3", true},
    {{"LGPL-2.0", "LGPL-2"}, "LGPL-2.0", "LGPL-2", "GNU Library General Public License version 2", true},
    {{"LGPL-2.1", "LGPL-2.1"}, "LGPL-2.1", "LGPL-2.1", "GNU Lesser General Public License version 2.1", true},
    {{"LGPL-3.0", "LGPL-3"}, "LGPL-3.0", "LGPL-3", "GNU Lesser General Public License version 3", true},
    {{"GFDL-1.2", "GFDL-1.2"}, "GFDL-1.2", "GFDL-1.2", "GNU Free Documentation License version 1.2", true},
    {{"GFDL-1.3", "GFDL-1.3"}, "GFDL-1.3", "GFDL-1.3", "GNU Free Documentation License version 1.3", true},
    {{"Apache-2.0", "Apache-2"}, "Apache-2.0", "Apache-2.0", "Apache License, Version 2.0", false},
    {{"MPL-1.1", "MPL-1.1"}, "MPL-1.1", "MPL-1.1", "Mozilla Public License, Version 1.1", false},
    {{"MPL-2.0", "MPL-2"}, "MPL-2.0", "MPL-2.0", "Mozilla Public License, Version 2.0", false},
    {{"CC0-1.0", "CC0"}, "CC0-1.0", "CC0-1.0", "Creative Commons CC0 1.0 Universal", false},
};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

bool removeSuffix(std::string& text, const std::string& suffix) {
    if (text.size() > suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0) {
        text.resize(text.size() - suffix.size());
        return true;
    }
    return false;
}

} // namespace

bool commonLicense(const std::string& given, CommonLicense& license) {
    std::string name = lower(given);
    const bool later = removeSuffix(name, "-or-later") || removeSuffix(name, "+");
    const bool only = !later && removeSuffix(name, "-only");
    for (const Family& f : families) {
        if (name != lower(f.names[0]) && name != lower(f.names[1])) {
            continue;
        }
        if (!f.versions && (later || only)) {
            return false;
        }
        license.spdx = std::string(f.spdx) + (!f.versions ? "" : later ? "-or-later" : "-only");
        license.file = std::string("/usr/share/common-licenses/") + f.file;
        license.fullName = f.fullName;
        return true;
    }
    return false;
}
