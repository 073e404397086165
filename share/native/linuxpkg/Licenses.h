// The licenses a Debian system ships the text of, in
// /usr/share/common-licenses, which a package refers to instead of
// carrying the text, as Debian policy asks.
#ifndef LICENSES_H
#define LICENSES_H

#include <string>

struct CommonLicense {
    std::string spdx;      // "GPL-2.0-or-later", as RPM distributions write it
    std::string file;      // "/usr/share/common-licenses/GPL-2"
    std::string fullName;  // "GNU General Public License version 2"
};

// The common license `given` names, as an SPDX identifier ("GPL-2.0-only",
// "Apache-2.0") or in Debian's short form ("GPL-2+"); false for any other.
bool commonLicense(const std::string& given, CommonLicense& license);

#endif // LICENSES_H
