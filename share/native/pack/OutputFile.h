// What --replace may replace: only a file of the kind the step writes, so a
// mistyped --output never deletes a user's document.
#ifndef OUTPUTFILE_H
#define OUTPUTFILE_H

#include <filesystem>
#include <string>

struct OutputKind {
    const char* name;   // "an .msi file"
    std::string magic;  // its first bytes
};

// Throws PackError when something is at `target` and it may not be
// replaced: without `replace`, or when it is not of `kind`.
void refuseExisting(const std::filesystem::path& target, bool replace, const OutputKind& kind);

#endif // OUTPUTFILE_H
