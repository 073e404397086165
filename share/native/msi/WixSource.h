// The WiX source of an application's installer, generated as a document:
// every file of the image, the shortcuts, the file types, and the upgrade
// rules. The same plan always gives the same text.
#ifndef WIXSOURCE_H
#define WIXSOURCE_H

#include <filesystem>
#include <string>
#include <vector>

#include "ApplicationImage.h"
#include "FileTypes.h"
#include "NameUuid.h"

struct InstallerPlan {
    ApplicationImage image;   // its product information as the installer states it
    bool perMachine = false;  // Program Files for every user, or the user's own Programs
    bool startMenuShortcut = true;
    bool desktopShortcut = false;
    std::vector<FileAssociation> associations;
    Uuid upgradeCode{};
    // Relative to the WiX source's directory, where wixl resolves them.
    std::filesystem::path imageFromSource;
    std::filesystem::path iconFile;  // empty: no icon
};

// One per scope and version (`comparedVersion`: the three fields Windows
// Installer compares), derived from the upgrade code: the same version
// installed again is the product already there, never a second one.
Uuid productCode(const InstallerPlan& plan, const std::string& comparedVersion);

std::string wixSource(const InstallerPlan& plan, const std::string& comparedVersion);

#endif // WIXSOURCE_H
