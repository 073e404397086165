// A Java runtime made to measure for an application: jlink, with the JDK
// modules the application refers to.
#ifndef RUNTIMEMAKER_H
#define RUNTIMEMAKER_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "AppCheck.h"

struct RuntimeRequest {
    AppCheckRequest application;
    std::filesystem::path jdk;       // whose jlink runs; empty: JAVA_HOME, else the jlink on PATH
    std::filesystem::path jmods;     // the target JDK's jmods (another system's); empty: the JDK's own
    std::filesystem::path output;
    std::vector<std::string> addModules;   // besides those found
    bool withWarned = true;          // also the modules only warned about
    bool replace = false;
};

struct RuntimeResult {
    unsigned release = 0;
    std::vector<std::string> modules;
    uint64_t bytes = 0;
};

// Throws PackError: no jlink, releases that differ, an unknown release, a
// failed jlink (with its output).
RuntimeResult makeRuntime(const RuntimeRequest& request);

// Whether `name` is a module name: dotted Java identifiers.
bool isModuleName(const std::string& name);

#endif // RUNTIMEMAKER_H
