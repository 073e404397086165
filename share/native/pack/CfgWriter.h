// The launcher configuration of a packed image, written so that the launcher
// reads back exactly the values given.
#ifndef CFGWRITER_H
#define CFGWRITER_H

#include <string>
#include <vector>

// All text UTF-8. Paths are inside the application directory ('/' or '\'),
// unless they start with '$' (a directory macro) or are absolute.
struct LaunchSettings {
    std::string version;
    std::string mainJar;
    std::string mainClass;
    std::vector<std::string> classPath;
    std::string mainModule;
    std::vector<std::string> modulePath;
    std::string splash;
    std::vector<std::string> javaOptions;
    std::vector<std::string> arguments;
    bool failureBox = true;
    bool forLinux = false;   // '/' and ':' in paths and lists, as the Linux launcher reads them
};

// Throws PackError for a value the file cannot carry: a line break, a NUL,
// text that is not UTF-8, a ';' inside one path list entry.
std::string cfgText(const LaunchSettings& settings);

// "C:\x" or "\\server\share": absolute on any Windows machine.
bool isWindowsAbsolutePath(const std::string& path);
// Whether a relative path climbs above the directory it starts in.
bool leavesItsDirectory(const std::string& path);

// The first line of every configuration this tool writes: it tells an image
// made by loftwick-pack from other files.
extern const char* const cfgHeaderLine;
extern const char* const linuxCfgHeaderLine;

#endif // CFGWRITER_H
