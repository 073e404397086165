// loftwick.toml: one application described once, for every target and
// every artefact. docs/project-file.md gives the schema. Each setting is an
// option of one of the steps; the file is turned into the steps' own
// command lines, so a build and the command lines cannot disagree.
#ifndef PROJECTFILE_H
#define PROJECTFILE_H

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "PackError.h"

// Every mistake of a project file, "FILE:LINE:COLUMN: what", one a line.
struct ProjectError : PackError {
    using PackError::PackError;
};

struct ProjectValue {
    std::vector<std::string> items;  // one for a string or a boolean ("true", "false")
    int line = 0, column = 0;
};

// The file's settings, checked: each section ("application", "windows",
// "linux.deb", ...) with its keys. Paths are absolute (relative ones are
// read from the file's folder).
struct Project {
    std::filesystem::path file;
    std::map<std::string, std::map<std::string, ProjectValue>> sections;

    bool has(const std::string& section) const { return sections.count(section) > 0; }
};

// Reads and checks the file; throws ProjectError listing every problem.
Project readProject(const std::filesystem::path& file);
// The same of a text (`file` names it in messages and anchors its paths).
Project parseProject(const std::string& text, const std::filesystem::path& file);

#endif // PROJECTFILE_H
