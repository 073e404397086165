// A directory of work in progress, removed with everything in it when the
// scope ends: whatever fails half way leaves nothing behind.
#ifndef SCRATCHDIRECTORY_H
#define SCRATCHDIRECTORY_H

#include <filesystem>

class ScratchDirectory {
public:
    // Creates "<parent>/.<name>.partial-<unique>" for `near` = parent/name.
    // Throws PackError when it cannot.
    explicit ScratchDirectory(const std::filesystem::path& near);
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    std::filesystem::path path;
};

#endif // SCRATCHDIRECTORY_H
