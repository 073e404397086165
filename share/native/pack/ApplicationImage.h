// A finished application image read back: its name, the product
// information its stamped executable carries, its icon, and its files.
#ifndef APPLICATIONIMAGE_H
#define APPLICATIONIMAGE_H

#include <filesystem>
#include <string>
#include <vector>

#include "Bytes.h"

struct ApplicationImage {
    std::filesystem::path dir;
    std::string name;          // NAME of NAME.exe and app\NAME.cfg
    std::string productName;   // the version strings of NAME.exe
    std::string version;
    std::string vendor;
    std::string description;
    Bytes icon;                // a .ico file of its icon group; empty if it has none
    // Relative to `dir`, sorted; directories only when they are empty.
    std::vector<std::filesystem::path> files;
    std::vector<std::filesystem::path> emptyDirectories;
};

// Throws PackError when `dir` is not an image made by loftwick-pack, or its
// launchers were never stamped.
ApplicationImage readApplicationImage(const std::filesystem::path& dir);

#endif // APPLICATIONIMAGE_H
