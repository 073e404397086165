// The steps of a build, from a project file: each the command line of a
// step of loftwick-pack, as a user would type it.
#ifndef BUILDPLAN_H
#define BUILDPLAN_H

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "ProjectFile.h"

// One step of a build and its command line (the arguments after
// "loftwick-pack").
struct BuildStep {
    std::string target;  // "windows" or "linux"
    std::string what;    // "runtime", "image", "msi", "sign", "deb", "rpm" or "repository"
    std::vector<std::string> args;
    std::filesystem::path workingDirectory;  // where an output without a name goes
    // The repository step: the packages this build wrote before it are
    // added to its arguments when it runs.
    bool takesPackages = false;
};

// The steps the project describes, in order, for the targets and artefacts
// named (empty: all). `overrides` are command-line options (as a step takes
// them) that replace the file's setting of that option in every step that
// has it; throws ProjectError for an option no step takes.
std::vector<BuildStep> buildSteps(const Project& project, const std::vector<std::string>& targets,
                                  const std::vector<std::string>& only,
                                  const std::vector<std::pair<std::string, std::vector<std::string>>>& overrides);

// Whether `option` ("--app-version") is a value option (false: a flag) of
// some step; throws ProjectError when no step has it.
bool overrideTakesValue(const std::string& option);

#endif // BUILDPLAN_H
