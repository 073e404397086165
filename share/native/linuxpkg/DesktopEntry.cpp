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

const char* const mainCategories[] = {"AudioVideo", "Audio", "Video", "Development", "Education", "Game",
                                      "Graphics", "Network", "Office", "Science", "Settings", "System", "Utility"};

// The additional categories of the freedesktop menu standard, with the
// main category its table of related categories names first for each.
const std::pair<const char*, const char*> relatedCategories[] = {
    {"Building", "Development"}, {"Debugger", "Development"}, {"IDE", "Development"},
    {"GUIDesigner", "Development"}, {"Profiling", "Development"}, {"RevisionControl", "Development"},
    {"Translation", "Development"}, {"WebDevelopment", "Development"}, {"Calendar", "Office"},
    {"ContactManagement", "Office"}, {"Database", "Office"}, {"Dictionary", "Office"}, {"Chart", "Office"},
    {"Email", "Office"}, {"Finance", "Office"}, {"FlowChart", "Office"}, {"PDA", "Office"},
    {"ProjectManagement", "Office"}, {"Presentation", "Office"}, {"Spreadsheet", "Office"},
    {"WordProcessor", "Office"}, {"2DGraphics", "Graphics"}, {"VectorGraphics", "Graphics"},
    {"RasterGraphics", "Graphics"}, {"3DGraphics", "Graphics"}, {"Scanning", "Graphics"}, {"OCR", "Graphics"},
    {"Photography", "Graphics"}, {"Publishing", "Graphics"}, {"Viewer", "Graphics"}, {"TextTools", "Utility"},
    {"DesktopSettings", "Settings"}, {"HardwareSettings", "Settings"}, {"Printing", "Settings"},
    {"PackageManager", "Settings"}, {"Dialup", "Network"}, {"InstantMessaging", "Network"}, {"Chat", "Network"},
    {"IRCClient", "Network"}, {"Feed", "Network"}, {"FileTransfer", "Network"}, {"HamRadio", "Network"},
    {"News", "Network"}, {"P2P", "Network"}, {"RemoteAccess", "Network"}, {"Telephony", "Network"},
    {"TelephonyTools", "Utility"}, {"VideoConference", "Network"}, {"WebBrowser", "Network"},
    {"Midi", "AudioVideo"}, {"Mixer", "AudioVideo"}, {"Sequencer", "AudioVideo"}, {"Tuner", "AudioVideo"},
    {"TV", "AudioVideo"}, {"AudioVideoEditing", "AudioVideo"}, {"Player", "AudioVideo"},
    {"Recorder", "AudioVideo"}, {"DiscBurning", "AudioVideo"}, {"ActionGame", "Game"},
    {"AdventureGame", "Game"}, {"ArcadeGame", "Game"}, {"BoardGame", "Game"}, {"BlocksGame", "Game"},
    {"CardGame", "Game"}, {"KidsGame", "Game"}, {"LogicGame", "Game"}, {"RolePlaying", "Game"},
    {"Shooter", "Game"}, {"Simulation", "Game"}, {"SportsGame", "Game"}, {"StrategyGame", "Game"},
    {"Art", "Education"}, {"Construction", "Education"}, {"Music", "AudioVideo"}, {"Languages", "Education"},
    {"ArtificialIntelligence", "Education"}, {"Astronomy", "Education"}, {"Biology", "Education"},
    {"Chemistry", "Education"}, {"ComputerScience", "Education"}, {"DataVisualization", "Education"},
    {"Economy", "Education"}, {"Electricity", "Education"}, {"Geography", "Education"},
    {"Geology", "Education"}, {"Geoscience", "Education"}, {"History", "Education"},
    {"Humanities", "Education"}, {"ImageProcessing", "Education"}, {"Literature", "Education"},
    {"Maps", "Education"}, {"Math", "Education"}, {"NumericalAnalysis", "Education"},
    {"MedicalSoftware", "Education"}, {"Physics", "Education"}, {"Robotics", "Education"},
    {"Spirituality", "Education"}, {"Sports", "Education"}, {"ParallelComputing", "Education"},
    {"Archiving", "Utility"}, {"Compression", "Utility"}, {"Emulator", "System"}, {"FileTools", "Utility"},
    {"FileManager", "System"}, {"TerminalEmulator", "System"}, {"Filesystem", "System"},
    {"Monitor", "System"}, {"Security", "Settings"}, {"Accessibility", "Settings"},
    {"Calculator", "Utility"}, {"Clock", "Utility"}, {"TextEditor", "Utility"},
};

bool isMain(const std::string& category) {
    return std::any_of(std::begin(mainCategories), std::end(mainCategories),
                       [&](const char* m) { return category == m; });
}

} // namespace

std::vector<std::string> withMainCategory(const std::vector<std::string>& categories) {
    std::vector<std::string> result = categories;
    const bool audioOrVideo = std::any_of(result.begin(), result.end(),
                                          [](const std::string& c) { return c == "Audio" || c == "Video"; });
    if (audioOrVideo && std::find(result.begin(), result.end(), "AudioVideo") == result.end()) {
        result.insert(result.begin(), "AudioVideo");
    }
    if (std::any_of(result.begin(), result.end(), isMain)) {
        return result;
    }
    for (const std::string& c : result) {
        for (const auto& related : relatedCategories) {
            if (c == related.first) {
                result.insert(result.begin(), related.second);
                return result;
            }
        }
    }
    result.insert(result.begin(), "Utility");
    return result;
}

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
