// Lays out an application image: the stamped launcher(s), app\ with the
// application files and the configuration, runtime\ with the Java runtime.
#ifndef PACKAGER_H
#define PACKAGER_H

#include <filesystem>
#include <string>
#include <vector>

#include "AppCheck.h"
#include "CfgWriter.h"
#include "Stamp.h"

struct PackRequest {
    enum Kind { Gui, Console, Both };

    std::string name;                    // UTF-8; names <name>.exe and app\<name>.cfg
    std::filesystem::path input;         // copied into app\ .
    std::filesystem::path runtime;       // copied into runtime\ .
    std::filesystem::path output;        // the image directory
    std::filesystem::path launchers;     // holds the launcher executables; empty: found from `self`
    std::filesystem::path self;          // this tool
    std::filesystem::path splash;        // optional; copied into app\ .
    std::filesystem::path icon;          // optional .ico
    LaunchSettings launch;
    Branding branding;                   // name, fileName and icon are filled in
    Kind kind = Gui;
    bool replace = false;
    std::vector<std::string> absentModules;  // JDK modules the runtime may lack on purpose
};

// Builds beside the output and moves the image into place at the end:
// a failure leaves no half-written image. Throws PackError, listing every
// reason the application would not start; returns what a later step will
// refuse, which does not stop packing.
std::vector<std::string> pack(const PackRequest& request);

// The application as the checks read it: its paths as the launcher will
// find them inside the input.
AppCheckRequest checkRequest(const PackRequest& request);

// The file names of the launchers the kind needs, in the launchers directory.
const char* guiLauncherName();
const char* consoleLauncherName();
const char* linuxLauncherName();

// The directory beside the tool `self` (or in its build tree) that holds
// `launcher`; throws PackError when none does.
std::filesystem::path findLaunchers(const std::filesystem::path& self, const char* launcher);

// A path as messages show it: UTF-8, in double quotes.
std::string shown(const std::filesystem::path& path);

// Whether `inner` is `outer` or lies below it, links and ".." resolved.
bool isWithin(const std::filesystem::path& inner, const std::filesystem::path& outer);

// Files are read whole, up to a limit no real file of the kind reaches:
// a larger one, or one that is not a regular file, is refused.
const uint64_t defaultReadLimit = 256u << 20;
const uint64_t iconFileLimit = 16u << 20;
Bytes readBinaryFile(const std::filesystem::path& path, uint64_t limit = defaultReadLimit);
// The last `limit` bytes of a file (all of a shorter one), "...\n" first
// where it was cut; "" when it cannot be read.
std::string fileTail(const std::filesystem::path& path, size_t limit);
void writeBinaryFile(const std::filesystem::path& path, const Bytes& bytes);
// gzip at the highest level, without a name or time, as Debian compresses
// its documents and its repositories' indexes.
Bytes gzipped(const std::string& text);

#endif // PACKAGER_H
