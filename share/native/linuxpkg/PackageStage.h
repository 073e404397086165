// The files of a Linux package laid out in a folder as they will be
// installed, before dpkg-deb or rpmbuild wraps them.
#ifndef PACKAGESTAGE_H
#define PACKAGESTAGE_H

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "DesktopEntry.h"
#include "LibraryPackages.h"
#include "LinuxImage.h"

struct PackagePlan {
    std::string packageName;
    std::string installDir;          // "/opt/NAME" or "/usr/lib/NAME"
    std::string maintainer;          // may be empty for an .rpm
    std::string license;
    std::string release;             // the .rpm's Release
    std::filesystem::path iconFile;  // .png or .ico; empty: none
    bool desktopEntry = true;
    std::vector<std::string> categories;
    std::vector<LinuxFileType> fileTypes;
    std::map<std::string, std::string> libraryPackages;  // more "libfoo.so.1" -> "libfoo1"
    std::vector<std::string> depends;     // given with --depends, checked
    std::vector<std::string> recommends;  // given with --recommends, checked
    std::string homepage;            // may be empty
    std::string repositoryUrl;       // empty: no source file (checked, no trailing '/')
    std::string keyBinary, keyArmored;  // the repository's public key
    // Debian's conventions (changelog.gz, lintian's overrides, absolute links
    // across top-level folders, libraries 0644), or RPM's (rpmlint's
    // filters, relative links, libraries 0755).
    bool debian = true;
};

struct StagedFile {
    std::string path;                // as installed: "/opt/name/bin/Name"
    enum Kind { File, Directory, Link } kind = File;
    unsigned mode = 0644;
    std::string linkTarget;
    bool ownedDirectory = false;     // a folder of the package's own, not the system's
    bool config = false;             // the administrator's to change: kept on upgrade
};

struct Stage {
    std::filesystem::path root;
    std::vector<StagedFile> files;   // each folder before what it holds
    LibraryNeeds needs;              // of the image's ELF files, less what it holds
    uint64_t installedBytes = 0;
    std::vector<std::string> warnings;
};

// Lays the package out under `root` (which exists and is empty). The image
// is copied, never changed; its ELF files are stripped in the copy.
Stage stagePackage(const PackagePlan& plan, const LinuxImage& image, const std::filesystem::path& root);

// The checker's findings a package of a private Java runtime cannot avoid,
// each with its reason: lintian's overrides or rpmlint's filters.
std::string checkerOverrides(const PackagePlan& plan);

// The package's long description, in lines of at most 79 characters
// where its words allow. No line starts with '%': a word that does stays
// with the word before it (rpmbuild would read such a line as a section).
std::string longDescription(const Product& product);

// The date of the package's change log entry: now, or SOURCE_DATE_EPOCH.
std::string changelogDate(const char* format);

#endif // PACKAGESTAGE_H
