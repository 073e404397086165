// The installer of a finished image: one .msi, built by wixl from the WiX
// source this tool generates, or only that source.
#ifndef INSTALLER_H
#define INSTALLER_H

#include <filesystem>
#include <string>
#include <vector>

#include "WixSource.h"

struct InstallerRequest {
    std::filesystem::path image;
    std::filesystem::path output;     // the .msi; empty: NAME-VERSION.msi here
    std::filesystem::path wixSource;  // set: write only the WiX source there
    bool perMachine = false;
    bool startMenuShortcut = true;
    bool desktopShortcut = false;
    std::vector<FileAssociation> associations;
    std::string upgradeCode;          // empty: derived from the vendor and the name
    // Empty keeps what the image's executable says.
    std::string productName, version, vendor, description;
    std::filesystem::path icon;
    bool replace = false;
};

struct InstallerResult {
    std::filesystem::path written;    // the .msi, or the WiX source
    std::string upgradeCode;
    bool upgradeCodeDerived = false;
};

// Throws PackError; a failure leaves no file behind.
InstallerResult makeInstaller(const InstallerRequest& request);

// What the installer step would refuse of an image stamped with these
// texts, each naming the option that overrides it; empty when nothing.
std::vector<std::string> installerObjections(const std::string& productName,
                                             const std::string& version, const std::string& vendor,
                                             const std::string& description);

// The version as Windows Installer compares it, "A.B.C", or a PackError
// saying why it cannot compare `version`.
std::string comparedVersion(const std::string& version);

#endif // INSTALLER_H
