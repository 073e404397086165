#include "DesktopEntry.h"

#include <algorithm>

#include "PackError.h"

namespace {

// A string value of a desktop entry: its escapes are \s \n \t \r \\.
std::string escaped(const std::string& value) {
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        out += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\r' ? "\\r"
             : c == ' ' && i == 0 ? "\\s" : std::string(1, c);
    }
    return out;
}

// Text between tags; the type and pattern are checked words already.
std::string xmlText(const std::string& value) {
    std::string out;
    for (const char c : value) {
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    }
    return out;
}

bool isWord(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

} // namespace

std::string desktopEntryText(const DesktopEntry& e) {
    std::string text = "[Desktop Entry]\nType=Application\nName=" + escaped(e.name) + "\n";
    if (!e.comment.empty() && e.comment != e.name) {
        text += "Comment=" + escaped(e.comment) + "\n";
    }
    text += "Exec=" + e.command + (e.fileTypes.empty() ? "" : " %f") + "\n";
    if (!e.icon.empty()) {
        text += "Icon=" + e.icon + "\n";
    }
    text += "Terminal=false\n";
    std::string categories;
    for (const std::string& c : e.categories) {
        if (!isWord(c)) {
            throw PackError("the category \"" + c + "\" is not a word of letters, digits and '-'");
        }
        categories += c + ";";
    }
    if (!categories.empty()) {
        text += "Categories=" + categories + "\n";
    }
    if (!e.fileTypes.empty()) {
        text += "MimeType=";
        for (const LinuxFileType& t : e.fileTypes) {
            text += t.mimeType + ";";
        }
        text += "\n";
    }
    if (!e.windowClass.empty()) {
        text += "StartupWMClass=" + escaped(e.windowClass) + "\n";
    }
    return text;
}

std::string mimeInfoText(const std::vector<LinuxFileType>& fileTypes) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
    for (const LinuxFileType& t : fileTypes) {
        text += "  <mime-type type=\"" + t.mimeType + "\">\n    <comment>" + xmlText(t.description)
                + "</comment>\n    <glob pattern=\"*" + t.extension + "\"/>\n  </mime-type>\n";
    }
    return text + "</mime-info>\n";
}
