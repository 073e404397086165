// A .deb or .rpm of a finished Linux image: the image under /opt/NAME (or
// /usr/lib/NAME), the command /usr/bin/NAME, the desktop entry, icons and
// file types, and dependencies read from the image's native libraries.
#ifndef LINUXPACKAGE_H
#define LINUXPACKAGE_H

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "FileTypes.h"

struct LinuxPackageRequest {
    enum Format { Deb, Rpm } format = Deb;
    std::filesystem::path image;
    std::filesystem::path output;        // empty: NAME_VERSION_amd64.deb / NAME-VERSION-1.x86_64.rpm here
    std::string packageName;             // empty: the image's name in lower case
    bool usrLib = false;                 // /usr/lib/NAME instead of /opt/NAME
    std::vector<FileAssociation> fileTypes;
    std::vector<std::string> categories; // empty: Utility
    bool desktopEntry = true;
    std::string maintainer;              // "Name <address>", required for a .deb
    std::string license;                 // empty: "Proprietary"
    std::string release;                 // the .rpm's release; empty: 1
    std::string homepage;                // may be empty
    std::map<std::string, std::string> libraryPackages;
    // What the application needs or can use that its native code does not
    // show (a program it runs, a library it loads itself): package
    // relations of the format's own syntax.
    std::vector<std::string> depends, recommends;
    // Empty keeps what the image states.
    std::string productName, version, vendor, description;
    std::filesystem::path icon;
    // Where the package's updates come from (the repository step's folder,
    // published), and the public key that signs it: the package then
    // installs an apt source or a dnf .repo file, and the key.
    std::string repositoryUrl;
    std::filesystem::path repositoryKey;
    bool replace = false;
};

struct LinuxPackageResult {
    std::filesystem::path written;
    std::vector<std::string> dependencies;
    std::vector<std::string> warnings;
};

// Throws PackError; a failure leaves no file behind.
LinuxPackageResult makeLinuxPackage(const LinuxPackageRequest& request);

// Why the format cannot carry `version` as its version, or "".
std::string linuxVersionProblem(const std::string& version, LinuxPackageRequest::Format format);

#endif // LINUXPACKAGE_H
