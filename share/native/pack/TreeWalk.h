// Every file and folder of a tree the user hands the tool (an application
// directory, a runtime, a finished image), by one rule for packing and for
// the installer.
#ifndef TREEWALK_H
#define TREEWALK_H

#include <filesystem>
#include <string>
#include <vector>

struct TreeEntry {
    std::filesystem::path relative;  // inside the tree
    std::filesystem::path source;    // where its content is read, links followed
    bool directory;
};

// In order, each folder before what it holds. Throws PackError, naming the
// entry, for:
//  - a symbolic link to something outside the tree (it would ship a file of
//    the build machine), a dangling link, a link into a folder that holds it;
//  - a pipe, socket or device;
//  - a name Windows cannot hold, or two names that differ only in case.
// A link to something inside the tree is followed: its target's content is
// taken. `what` names the tree in messages ("the application directory").
std::vector<TreeEntry> walkTree(const std::filesystem::path& root, const std::string& what);

#endif // TREEWALK_H
