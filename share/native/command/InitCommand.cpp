#include "InitCommand.h"

#include <filesystem>
#include <fstream>

#include "Manifest.h"
#include "PackError.h"
#include "Quoting.h"
#include "ZipArchive.h"

namespace fs = std::filesystem;

namespace {

const char* const usage =
"usage: loftwick-pack init JAR [--target linux|windows] [--output FILE] [--replace]\n"
"\n"
"Writes a first project file (default: loftwick.toml here) for the application\n"
"whose main jar is JAR: its name and main class from the jar, every other setting\n"
"as a commented default; the target's section (default: linux) is in force, the\n"
"other's commented. Fill in the runtime, then run \"loftwick-pack build\".\n";

// "notes-2.1.0.jar" is the application notes.
std::string guessName(const fs::path& jar) {
    std::string stem = jar.stem().u8string();
    for (size_t i = 1; i + 1 < stem.size(); ++i) {
        if (stem[i] == '-' && stem[i + 1] >= '0' && stem[i + 1] <= '9') {
            return stem.substr(0, i);
        }
    }
    return stem;
}

// The file, with the target's section in force and the other's commented.
std::string projectText(const std::string& name, const std::string& input, const std::string& jar,
                        const std::string& mainClass, const std::string& target) {
    const std::string windows = target == "windows" ? "" : "# ", linux = target == "linux" ? "" : "# ";
    // Every text from the jar goes through tomlString, comments included: a
    // line break in a file name must not start a line of the file.
    const std::string shownName = tomlString(name);
    return "# The project file of " + shownName + ": \"loftwick-pack build\" makes every artefact it\n"
           "# describes. Paths are relative to this file. docs/project-file.md has every setting.\n"
           "\n"
           "[application]\n"
           "name = " + shownName + "\n"
           "input = " + tomlString(input) + "            # the application's files, copied into the image\n"
           "main-jar = " + tomlString(jar) + (mainClass.empty() ? "   # it names no Main-Class: give main-class and class-path instead"
                                                : "   # Main-Class: " + tomlString(mainClass)) + "\n"
           "# java-options = [\"-Xmx512m\"]\n"
           "# arguments = []\n"
           "# version = \"1.0\"\n"
           "# vendor = " + shownName + "\n"
           "# description = " + shownName + "\n"
           "# icon = " + tomlString(name + ".ico") + "            # .ico (a square .png will do for Linux)\n"
           "# kind = \"gui\"                 # gui, console or both\n"
           "# absent-modules = []           # JDK modules the runtime lacks on purpose\n"
           "\n" + linux + "[linux]\n" + linux + "runtime = \"\"                  # the Java runtime to pack (fill it in)\n"
           "# output = " + tomlString("dist/linux/" + name) + "\n"
           "\n"
           "# [linux.jlink]                 # make the runtime above with jlink first\n"
           "# jdk = \"/usr/lib/jvm/java-17-openjdk-amd64\"\n"
           "\n"
           "# [linux.packages]              # settings of both packages\n"
           "# maintainer = \"Name <address>\"\n"
           "# license = \"Proprietary\"\n"
           "# [linux.deb]\n"
           "# [linux.rpm]\n"
           "\n" + windows + "[windows]\n" + windows + "runtime = \"\"                  # a Java runtime for Windows (fill it in)\n"
           "# output = " + tomlString("dist/windows/" + name) + "\n"
           "# [windows.jlink]\n"
           "# jmods = \"jdk-17-windows/jmods\"  # a Windows JDK's, of the same release as this machine's\n"
           "# [windows.installer]           # the .msi\n"
           "# file-types = []\n";
}

} // namespace

int initCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && args[0] == "--help") {
        out << usage;
        return 0;
    }
    fs::path jar, output = "loftwick.toml";
    std::string target = "linux";
    bool replace = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--output" && i + 1 < args.size()) {
            output = fs::u8path(args[++i]);
        } else if (args[i] == "--target" && i + 1 < args.size() && (args[i + 1] == "linux" || args[i + 1] == "windows")) {
            target = args[++i];
        } else if (args[i] == "--replace") {
            replace = true;
        } else if (args[i].rfind("--", 0) != 0 && jar.empty()) {
            jar = fs::u8path(args[i]);
        } else {
            err << "loftwick-pack init: unexpected \"" << args[i] << "\"\n(init --help tells the usage)\n";
            return 2;
        }
    }
    if (jar.empty()) {
        err << "loftwick-pack init: name the application's main jar\n(init --help tells the usage)\n";
        return 2;
    }
    try {
        std::error_code ec;
        if (fs::exists(output, ec) && !replace) {
            throw PackError(output.u8string() + " exists: give --replace to write it anew");
        }
        const ZipArchive archive(jar, "\"" + jar.u8string() + "\"");
        const ZipArchive::Entry* entry = archive.find("META-INF/MANIFEST.MF");
        const std::string mainClass = entry
                ? Manifest(archive.readWhole(*entry, 8u << 20, "its manifest")).get("Main-Class") : std::string();
        const fs::path base = fs::absolute(output).parent_path();
        fs::path input = fs::absolute(jar).parent_path().lexically_relative(base);
        if (input.empty() || *input.begin() == "..") {
            input = fs::absolute(jar).parent_path();
        }
        const std::string name = guessName(jar);
        std::ofstream file(output, std::ios::binary);
        file << projectText(name, input.generic_u8string(), jar.filename().u8string(), mainClass, target);
        if (!file.flush()) {
            throw PackError("cannot write " + output.u8string());
        }
        out << "Wrote " << output.u8string() << " for " << name
            << (mainClass.empty() ? " (its jar names no Main-Class)" : " (main class " + mainClass + ")")
            << ": fill in the runtime, then run \"loftwick-pack build\"\n";
    } catch (const PackError& e) {
        err << "loftwick-pack init: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
