// A .deb of a staged package, built by dpkg-deb.
#ifndef DEBPACKAGE_H
#define DEBPACKAGE_H

#include <filesystem>
#include <string>
#include <vector>

#include "PackageStage.h"

// The control file's text.
std::string debianControl(const PackagePlan& plan, const Product& product, const Stage& stage,
                          const std::vector<std::string>& depends);

// Writes DEBIAN/control into the stage and builds `deb`. Throws PackError.
void buildDeb(const PackagePlan& plan, const Product& product, const Stage& stage,
              const std::vector<std::string>& depends, const std::filesystem::path& deb);

#endif // DEBPACKAGE_H
