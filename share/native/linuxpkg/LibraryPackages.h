// The packages that provide the system libraries an image's native code
// needs, so that a package of the image can depend on them.
#ifndef LIBRARYPACKAGES_H
#define LIBRARYPACKAGES_H

#include <map>
#include <string>
#include <vector>

#include "ElfFile.h"

struct LibraryNeeds {
    // Libraries the image does not hold itself, with the symbol versions
    // needed of each, over all its ELF files.
    std::map<std::string, std::vector<std::string>> libraries;
};

// Adds what `links` needs; libraries named in `held` (the image's own
// SONAMEs and file names) are left out by the caller afterwards.
void addNeeds(LibraryNeeds& needs, const ElfLinks& links);

// The Debian "Depends" of the needs: one entry per package, alternatives
// where Debian 12, Ubuntu 22.04 and Ubuntu 24.04 name a package apart.
// `extra` maps more libraries ("libfoo.so.1" -> "libfoo1"). Libraries no
// entry maps are put in `unknown`.
std::vector<std::string> debianDepends(const LibraryNeeds& needs,
                                       const std::map<std::string, std::string>& extra,
                                       std::vector<std::string>& unknown);

// The RPM "Requires": the capabilities rpm itself gives libraries,
// "libX11.so.6()(64bit)" and "libc.so.6(GLIBC_2.34)(64bit)".
std::vector<std::string> rpmRequires(const LibraryNeeds& needs);

#endif // LIBRARYPACKAGES_H
