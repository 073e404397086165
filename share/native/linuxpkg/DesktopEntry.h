// The desktop's view of an installed application: its menu entry and the
// shared MIME-info entries of its file types.
#ifndef DESKTOPENTRY_H
#define DESKTOPENTRY_H

#include <string>
#include <vector>

struct LinuxFileType {
    std::string extension;    // ".ext"
    std::string description;  // what file managers call such a file
    std::string mimeType;     // "application/x-PACKAGE-ext"
};

struct DesktopEntry {
    std::string name, comment;
    std::string command;      // on PATH
    std::string icon;         // a name of the icon theme; empty: none
    std::string windowClass;  // empty: none
    std::vector<std::string> categories;
    std::vector<LinuxFileType> fileTypes;
};

// The categories with a main category of the freedesktop menu standard first when
// none is among them: the one its table relates to the first additional
// category that has one, else Utility. Audio and Video come with AudioVideo.
std::vector<std::string> withMainCategory(const std::vector<std::string>& categories);

// A .desktop file. Throws PackError for a category that is not a word.
std::string desktopEntryText(const DesktopEntry& entry);

// The shared MIME-info package (usr/share/mime/packages/*.xml) of the types.
std::string mimeInfoText(const std::vector<LinuxFileType>& fileTypes);

#endif // DESKTOPENTRY_H
