// A finished Linux image read back: its name, the product data packing
// wrote into it, and its files.
#ifndef LINUXIMAGE_H
#define LINUXIMAGE_H

#include <filesystem>
#include <string>
#include <vector>

#include "ProductFile.h"
#include "TreeWalk.h"

struct LinuxImage {
    std::filesystem::path dir;
    std::string name;                 // bin/NAME, lib/app/NAME.cfg
    Product product;                  // lib/NAME.product
    std::vector<TreeEntry> entries;   // every file and folder, each folder first
};

// Throws PackError when `dir` is not a Linux image made by loftwick-pack.
LinuxImage readLinuxImage(const std::filesystem::path& dir);

#endif // LINUXIMAGE_H
