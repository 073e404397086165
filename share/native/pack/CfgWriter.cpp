// One property a line, "key=value": the launcher splits at the first '='
// not preceded by a backslash, and no key has one, so a value is taken whole,
// '=' and blanks included. Only a line break (or a NUL, which no Windows
// argument holds) cannot be carried; invalid UTF-8 would drop the line.
#include "CfgWriter.h"

#include <algorithm>

#include "PackError.h"
#include "Utf16.h"

namespace {

std::string checked(const std::string& what, const std::string& value) {
    if (value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        throw PackError(what + " \"" + value + "\" holds a line break or NUL, which the "
                        "launcher configuration cannot carry");
    }
    utf8ToUtf16(value, what + " \"" + value + "\"");
    return value;
}

// Started through its library, the runtime takes "@file" as the main class.
std::string javaOption(const std::string& option) {
    if (!option.empty() && option[0] == '@') {
        throw PackError("the Java option \"" + option + "\" names an argument file, which the "
                        "runtime does not read when started by the launcher; give the options "
                        "themselves");
    }
    return checked("the Java option", option);
}

// A path the launcher finds on the user's machine: inside the application
// directory, behind a directory macro, or absolute on Windows.
// A path the launcher finds on the user's machine: inside the application
// directory, behind a directory macro, or absolute on the target system.
std::string inAppDir(const std::string& what, const std::string& path, bool linux) {
    std::string onTarget = checked(what, path);
    const char separator = linux ? '/' : '\\';
    for (char& c : onTarget) {
        c = c == '/' || c == '\\' ? separator : c;
    }
    const bool rooted = !path.empty() && (path[0] == '/' || path[0] == '\\');
    const bool drive = path.size() >= 2 && path[1] == ':';
    if ((!path.empty() && path[0] == '$') || (linux ? path[0] == '/' : isWindowsAbsolutePath(path))) {
        return onTarget;
    }
    if (linux && drive) {
        throw PackError(what + " \"" + path + "\" is a Windows path, which a Linux machine does not "
                        "have: name it relative to --input");
    }
    if (!linux && (rooted || drive)) {
        throw PackError(what + " \"" + path + "\" is a path of this machine, which the launcher "
                        "would not find on a user's: name it relative to --input, or give an "
                        "absolute Windows path such as C:\\Java\\lib.jar");
    }
    if (leavesItsDirectory(path)) {
        throw PackError(what + " \"" + path + "\" leads out of the application directory: give "
                        "a path inside it, a directory macro such as $ROOTDIR, or an absolute "
                        + (linux ? "path" : "Windows path"));
    }
    return std::string("$APPDIR") + separator + onTarget;
}

std::string listEntry(const std::string& what, const std::string& path, bool linux) {
    const char separator = linux ? ':' : ';';
    if (path.find(separator) != std::string::npos) {
        throw PackError(what + " \"" + path + "\" holds '" + separator + "', which separates the entries");
    }
    return inAppDir(what, path, linux);
}

void line(std::string& out, const char* key, const std::string& value) {
    out += key;
    out += '=';
    out += value;
    out += '\n';
}

} // namespace

bool isWindowsAbsolutePath(const std::string& path) {
    const bool drive = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))
                       && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    const bool unc = path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && path[1] == path[0];
    return drive || unc;
}

// Whether a relative path climbs above the directory it starts in.
bool leavesItsDirectory(const std::string& path) {
    int depth = 0;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find_first_of("/\\", start), path.size());
        const std::string part = path.substr(start, end - start);
        depth += part == ".." ? -1 : part.empty() || part == "." ? 0 : 1;
        if (depth < 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

const char* const cfgHeaderLine = "; Written by loftwick-pack: the launcher reads app\\<its name>.cfg";
const char* const linuxCfgHeaderLine = "; Written by loftwick-pack: the launcher reads lib/app/<its name>.cfg";

std::string cfgText(const LaunchSettings& s) {
    std::string out = std::string(s.forLinux ? linuxCfgHeaderLine : cfgHeaderLine) + "\n[Application]\n";
    if (!s.version.empty()) {
        line(out, "app.version", checked("the version", s.version));
    }
    for (const std::string& entry : s.modulePath) {
        line(out, "app.modulepath", listEntry("the module path entry", entry, s.forLinux));
    }
    for (const std::string& entry : s.classPath) {
        line(out, "app.classpath", listEntry("the class path entry", entry, s.forLinux));
    }
    if (!s.mainModule.empty()) {
        line(out, "app.mainmodule", checked("the main module", s.mainModule));
    }
    if (!s.mainClass.empty()) {
        line(out, "app.mainclass", checked("the main class", s.mainClass));
    }
    if (!s.mainJar.empty()) {
        line(out, "app.mainjar", inAppDir("the main JAR", s.mainJar, s.forLinux));
    }
    if (!s.splash.empty()) {
        line(out, "app.splash", inAppDir("the splash image", s.splash, s.forLinux));
    }
    if (!s.failureBox) {
        line(out, "app.failurebox", "false");
    }
    if (!s.javaOptions.empty()) {
        out += "[JavaOptions]\n";
        for (const std::string& option : s.javaOptions) {
            line(out, "java-options", javaOption(option));
        }
    }
    if (!s.arguments.empty()) {
        out += "[ArgOptions]\n";
        for (const std::string& argument : s.arguments) {
            line(out, "arguments", checked("the argument", argument));
        }
    }
    return out;
}
