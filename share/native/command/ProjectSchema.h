// The settings a project file may hold: each section's keys, each the option
// of a step.
#ifndef PROJECTSCHEMA_H
#define PROJECTSCHEMA_H

#include <map>
#include <string>
#include <vector>

enum Kind { Text, PathValue, List, Flag, Number };

// A setting: its key, its kind, and the step option it becomes. A flag's
// option is given when the value is `flagWhen` ("true" or "false").
struct Spec {
    const char* key;
    Kind kind;
    const char* option;
    const char* flagWhen;
};

// Each section ("application", "windows.installer", ...) and its groups of keys.
const std::map<std::string, std::vector<const std::vector<Spec>*>>& schema();

// The key of that name in the section, or null.
const Spec* findSpec(const std::string& section, const std::string& key);

// "windows" and "linux", in the order they are built.
std::vector<std::string> projectTargets();

#endif // PROJECTSCHEMA_H
