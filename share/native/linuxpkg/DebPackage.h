// A .deb of a staged package, built by dpkg-deb.
#ifndef DEBPACKAGE_H
#define DEBPACKAGE_H

#include <filesystem>
#include <string>
#include <vector>

#include "PackageStage.h"

// Debian's rule for package names, which rpm's distributions follow too:
// two or more of a-z, 0-9, '+', '-' and '.', starting with a letter or digit.
bool isDebianPackageName(const std::string& name);

// Throws PackError, naming `what`, unless `relation` is one package
// relation of a Depends field: "name", "name (OP version)", alternatives
// joined by " | ".
void checkDebianRelation(const std::string& relation, const std::string& what);

// The control file's text. Throws PackError for a value it cannot carry.
std::string debianControl(const PackagePlan& plan, const Product& product, const Stage& stage,
                          const std::vector<std::string>& depends);

// Writes DEBIAN/control into the stage and builds `deb`. Throws PackError.
void buildDeb(const PackagePlan& plan, const Product& product, const Stage& stage,
              const std::vector<std::string>& depends, const std::filesystem::path& deb);

#endif // DEBPACKAGE_H
