// What a Linux image states of its product, for the packages made of it:
// ROOT/lib/NAME.product, written by loftwick-pack beside the icon it was
// given (ROOT/lib/NAME.png or NAME.ico). The Windows image keeps the same
// data in its executable's version information.
#ifndef PRODUCTFILE_H
#define PRODUCTFILE_H

#include <filesystem>
#include <string>

struct Product {
    std::string name;         // the product name shown to users
    std::string version;
    std::string vendor;
    std::string description;
    std::string copyright;    // may be empty
    std::string icon;         // a file name in ROOT/lib, empty: none
    // The X11 window class the application's Java windows get (the main
    // class, '.' read as '-'); empty when packing could not tell.
    std::string windowClass;
};

// Throws PackError for a value with a line break or a NUL.
std::string productText(const Product& product);

// Throws PackError naming the file when it cannot be read or lacks a name
// or version.
Product readProductFile(const std::filesystem::path& file);

// The window class the runtime's X11 toolkit gives windows of an
// application whose main class is `mainClass` (a binary name with dots).
std::string windowClassOf(const std::string& mainClass);

#endif // PRODUCTFILE_H
