#include "WindowsNames.h"

#include <algorithm>

std::string windowsNameProblem(const std::string& name) {
    if (name.empty()) {
        return "is empty";
    }
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return "holds a control character (such as a line break), which Windows does not "
                   "allow in file names";
        }
        if (std::string("<>:\"/\\|?*").find(c) != std::string::npos) {
            return std::string("holds '") + c + "', which Windows does not allow in file names";
        }
    }
    // Windows drops both from the end of a name, so two names would meet.
    if (name.back() == '.' || name.back() == ' ') {
        return std::string("ends with ") + (name.back() == '.' ? "'.'" : "a space")
               + ", which Windows drops from file names";
    }
    static const char* const devices[] = {"con", "prn", "aux", "nul", "com1", "com2", "com3",
        "com4", "com5", "com6", "com7", "com8", "com9", "lpt1", "lpt2", "lpt3", "lpt4", "lpt5",
        "lpt6", "lpt7", "lpt8", "lpt9"};
    const std::string stem = caseFolded(name.substr(0, name.find('.')));
    for (const char* device : devices) {
        if (stem == device) {
            return "names the device " + name.substr(0, stem.size())
                   + ", which Windows reserves whatever the extension";
        }
    }
    return std::string();
}

std::string caseFolded(std::string name) {
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return name;
}
