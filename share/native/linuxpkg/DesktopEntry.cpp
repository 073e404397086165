#include "DesktopEntry.h"

#include <algorithm>

#include "PackError.h"
#include "Quoting.h"

namespace {

bool isWord(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

// The command of Exec: a word that needs none of the key's own quoting
// (package names are letters, digits and "+-.").
std::string execWord(const std::string& command) {
    for (const char c : command) {
        if (!isWord(std::string(1, c)) && c != '+' && c != '.') {
            throw PackError("the command " + shownValue(command) + " is not a plain word");
        }
    }
    return command;
}

} // namespace

std::string desktopEntryText(const DesktopEntry& e) {
    std::string text = "[Desktop Entry]\nType=Application\nName=" + desktopEntryString(e.name, "the product name")
                       + "\n";
    if (!e.comment.empty() && e.comment != e.name) {
        text += "Comment=" + desktopEntryString(e.comment, "the description") + "\n";
    }
    text += "Exec=" + execWord(e.command) + (e.fileTypes.empty() ? "" : " %f") + "\n";
    if (!e.icon.empty()) {
        text += "Icon=" + desktopEntryString(e.icon, "the icon") + "\n";
    }
    text += "Terminal=false\n";
    std::string categories;
    for (const std::string& c : e.categories) {
        if (!isWord(c)) {
            throw PackError("the category \"" + c + "\" is not a word of letters, digits and '-'");
        }
        categories += desktopEntryListItem(c, "the category") + ";";
    }
    if (!categories.empty()) {
        text += "Categories=" + categories + "\n";
    }
    if (!e.fileTypes.empty()) {
        text += "MimeType=";
        for (const LinuxFileType& t : e.fileTypes) {
            text += desktopEntryListItem(t.mimeType, "the MIME type") + ";";
        }
        text += "\n";
    }
    if (!e.windowClass.empty()) {
        text += "StartupWMClass=" + desktopEntryString(e.windowClass, "the window class") + "\n";
    }
    return text;
}

std::string mimeInfoText(const std::vector<LinuxFileType>& fileTypes) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const LinuxFileType& t : fileTypes) {
        text += "  <mime-type type=\"" + xmlText(t.mimeType, "the MIME type") + "\">\n    <comment>"
                + xmlText(t.description, "the description of " + t.extension) + "</comment>\n    <glob pattern=\"*"
                + xmlText(t.extension, "the file type") + "\"/>\n  </mime-type>\n";
    }
    return text + "</mime-info>\n";
}
