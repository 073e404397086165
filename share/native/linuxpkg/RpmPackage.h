// An .rpm of a staged package, built by rpmbuild from the build recipe this
// tool writes; rpmbuild runs from any machine that has it, Debian's included.
#ifndef RPMPACKAGE_H
#define RPMPACKAGE_H

#include <filesystem>
#include <string>
#include <vector>

#include "PackageStage.h"

// The recipe's text; its %install copies `stage.root`.
// Throws PackError, naming `what`, unless `relation` is one package
// relation of rpm: "name" or "name OP version" (OP one of < <= = >= >).
void checkRpmRelation(const std::string& relation, const std::string& what);

// Throws PackError for a value the recipe cannot carry.
std::string rpmRecipe(const PackagePlan& plan, const Product& product, const Stage& stage,
                      const std::vector<std::string>& requires);

// Builds `rpm` in a work folder beside it. Throws PackError.
void buildRpm(const PackagePlan& plan, const Product& product, const Stage& stage,
              const std::vector<std::string>& requires, const std::filesystem::path& rpm);

#endif // RPMPACKAGE_H
