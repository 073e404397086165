// The packing step, and the entry to the installer step.
#include "PackCommand.h"

#include <functional>
#include <map>

#include "BuildCommand.h"
#include "InitCommand.h"
#include "InstallerCommand.h"
#include "LinuxPackageCommand.h"
#include "Options.h"
#include "PackError.h"
#include "Packager.h"
#include "RepositoryCommand.h"
#include "RuntimeCommand.h"
#include "RuntimeMaker.h"
#include "SignCommand.h"

namespace fs = std::filesystem;

#ifndef LOFTWICK_VERSION
#define LOFTWICK_VERSION "0"
#endif

namespace {

const char* const usage =
"usage: loftwick-pack init JAR                  (a project file, loftwick.toml: init --help)\n"
"       loftwick-pack build [options]            (every artefact it describes: build --help)\n"
"       loftwick-pack --name NAME --input DIR --runtime DIR --output DIR MAIN [options]\n"
"       loftwick-pack installer IMAGE [options]   (an .msi of an image: installer --help)\n"
"       loftwick-pack deb|rpm IMAGE [options]     (Linux packages of an image: deb --help)\n"
"       loftwick-pack runtime --input DIR --output DIR MAIN  (a runtime made to measure)\n"
"       loftwick-pack sign PATH... [options]      (images, .msi, .rpm: sign --help)\n"
"       loftwick-pack repository DIR PACKAGE...   (apt and dnf repositories: repository --help)\n"
"\n"
"Makes an application image from a Java application and a Java runtime; for Windows:\n"
"  OUTPUT\\NAME.exe          the launcher, carrying the application's icon and version\n"
"  OUTPUT\\app\\              the application files, and NAME.cfg\n"
"  OUTPUT\\runtime\\          the Java runtime\n"
"\n"
"Required:\n"
"  --name NAME             the application's name (its .exe and .cfg)\n"
"  --input DIR             the application files (JARs and anything else), copied to app\\\n"
"  --runtime DIR           a Java runtime image for Windows (bin\\jli.dll) or Linux\n"
"                          (lib/libjli.so), copied to runtime\\ (Linux: lib/runtime/)\n"
"  --output DIR            the image directory to create\n"
"MAIN, one of:\n"
"  --main-jar FILE         the main JAR, inside the input directory\n"
"  --main-class CLASS      the main class; with --class-path ENTRY (repeatable)\n"
"  --main-module MODULE[/CLASS]  the main module; with --module-path ENTRY (repeatable)\n"
"Options:\n"
"  --java-option OPTION    an option for the Java runtime (repeatable)\n"
"  --argument ARG          a default application argument (repeatable); arguments\n"
"                          given to the application replace all of them\n"
"  --splash FILE           a splash screen image, copied to app\\\n"
"  --icon FILE             the icon, a .ico file (every size it holds, PNG images too);\n"
"                          for Linux, a square .png will do\n"
"  --app-version VERSION   one to four numbers, e.g. 2.1.0 (default 1.0)\n"
"  --vendor TEXT           the company name (default: NAME)\n"
"  --description TEXT      what Task Manager and Explorer show (default: NAME)\n"
"  --product-name TEXT     the product name (default: NAME)\n"
"  --copyright TEXT        the copyright notice\n"
"  --utf8-code-page        run with the UTF-8 code page (Windows 10 1903 and later), so\n"
"                          arguments and paths in any script reach the runtime intact\n"
"  --no-failure-box        no box when a double-clicked application fails after printing\n"
"                          (for applications that exit non-zero on purpose)\n"
"  --kind gui|console|both gui (default): NAME.exe, no console; console: NAME.exe for a\n"
"                          terminal, returns the exit code; both: NAME.exe and NAME.com\n"
"                          (Linux: console never shows a failure dialog)\n"
"  --absent-module MODULE  a JDK module the runtime lacks on purpose: what refers to it\n"
"                          is not reported (repeatable)\n"
"  --launchers DIR         where the launcher executables are (default: beside this tool)\n"
"  --replace               replace an existing output directory\n"
"  --help, --version\n"
"\n"
"Paths in --class-path, --module-path and --main-jar are inside the application\n"
"directory unless they are absolute Windows paths (C:\\...) or start with $APPDIR,\n"
"$BINDIR or $ROOTDIR, which the launcher replaces in any value; a path leading out\n"
"of the application directory is refused. Sign the executables after packing:\n"
"packing a signed launcher is refused, since changing it would break the signature.\n"
"\n"
"A Linux Java runtime (lib/libjli.so) makes a Linux image instead: OUTPUT/bin/NAME,\n"
"OUTPUT/lib/app/ with NAME.cfg, OUTPUT/lib/runtime/; paths in it use '/'. Its product\n"
"data (name, version, vendor, description, icon, window class) is in OUTPUT/lib/NAME.product.\n"
"\n"
"Exit codes: 0 the image was made; 1 it could not be made (the message says why);\n"
"2 the command line is wrong.\n";

PackRequest parse(const std::vector<std::string>& args) {
    PackRequest r;
    std::string kind = "gui";
    bool utf8 = false, replace = false, noFailureBox = false;
    const std::map<std::string, std::function<void(const std::string&)>> single = {
        {"--name", [&](const std::string& v) { r.name = v; }},
        {"--input", [&](const std::string& v) { r.input = fs::u8path(v); }},
        {"--runtime", [&](const std::string& v) { r.runtime = fs::u8path(v); }},
        {"--output", [&](const std::string& v) { r.output = fs::u8path(v); }},
        {"--launchers", [&](const std::string& v) { r.launchers = fs::u8path(v); }},
        {"--main-jar", [&](const std::string& v) { r.launch.mainJar = v; }},
        {"--main-class", [&](const std::string& v) { r.launch.mainClass = v; }},
        {"--main-module", [&](const std::string& v) { r.launch.mainModule = v; }},
        {"--splash", [&](const std::string& v) { r.splash = fs::u8path(v); }},
        {"--icon", [&](const std::string& v) { r.icon = fs::u8path(v); }},
        {"--app-version", [&](const std::string& v) { r.branding.version = v; }},
        {"--vendor", [&](const std::string& v) { r.branding.vendor = v; }},
        {"--description", [&](const std::string& v) { r.branding.description = v; }},
        {"--product-name", [&](const std::string& v) { r.branding.productName = v; }},
        {"--copyright", [&](const std::string& v) { r.branding.copyright = v; }},
        {"--kind", [&](const std::string& v) { kind = v; }},
    };
    const std::map<std::string, std::vector<std::string>*> repeated = {
        {"--class-path", &r.launch.classPath},
        {"--module-path", &r.launch.modulePath},
        {"--java-option", &r.launch.javaOptions},
        {"--argument", &r.launch.arguments},
        {"--absent-module", &r.absentModules},
    };
    const std::map<std::string, bool*> flags = {
        {"--utf8-code-page", &utf8}, {"--replace", &replace}, {"--no-failure-box", &noFailureBox},
    };
    const std::map<std::string, int> seen = parseOptions(args, {single, repeated, flags, nullptr});
    for (const char* required : {"--name", "--input", "--runtime", "--output"}) {
        if (!seen.count(required)) {
            throw UsageError(std::string(required) + " is required");
        }
    }
    const int mains = seen.count("--main-jar") + seen.count("--main-class") + seen.count("--main-module");
    if (mains != 1) {
        throw UsageError("give exactly one of --main-jar, --main-class and --main-module");
    }
    for (const std::string& m : r.absentModules) {
        if (!isModuleName(m)) {
            throw UsageError("--absent-module takes a module name (such as java.sql), not \"" + m + "\"");
        }
    }
    if (!r.launch.classPath.empty() && !seen.count("--main-class")) {
        throw UsageError("--class-path goes with --main-class");
    }
    if (!r.launch.modulePath.empty() && !seen.count("--main-module")) {
        throw UsageError("--module-path goes with --main-module");
    }
    static const std::map<std::string, PackRequest::Kind> kinds = {
        {"gui", PackRequest::Gui}, {"console", PackRequest::Console}, {"both", PackRequest::Both}};
    if (!kinds.count(kind)) {
        throw UsageError("--kind is gui, console or both, not \"" + kind + "\"");
    }
    r.kind = kinds.at(kind);
    r.branding.utf8CodePage = utf8;
    r.replace = replace;
    r.launch.failureBox = !noFailureBox;
    r.launch.version = r.branding.version;
    return r;
}

} // namespace

int packCommand(const std::vector<std::string>& args, const fs::path& self,
                std::ostream& out, std::ostream& err) {
    if (!args.empty() && args[0] == "installer") {
        return installerCommand(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
    }
    if (!args.empty() && args[0] == "build") {
        return buildCommand(std::vector<std::string>(args.begin() + 1, args.end()), self, out, err);
    }
    if (!args.empty() && args[0] == "init") {
        return initCommand(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
    }
    if (!args.empty() && args[0] == "repository") {
        return repositoryCommand(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
    }
    if (!args.empty() && args[0] == "sign") {
        return signCommand(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
    }
    if (!args.empty() && args[0] == "runtime") {
        return runtimeCommand(std::vector<std::string>(args.begin() + 1, args.end()), out, err);
    }
    if (!args.empty() && (args[0] == "deb" || args[0] == "rpm")) {
        return linuxPackageCommand(args[0], std::vector<std::string>(args.begin() + 1, args.end()),
                                   out, err);
    }
    if (args.size() == 1 && args[0] == "--help") {
        out << usage;
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        out << "loftwick-pack " << LOFTWICK_VERSION << "\n";
        return 0;
    }
    PackRequest request;
    try {
        request = parse(args);
    } catch (const UsageError& e) {
        err << "loftwick-pack: " << e.what() << "\n(--help lists the options)\n";
        return 2;
    }
    try {
        request.self = self;
        for (const std::string& warning : pack(request)) {
            err << "loftwick-pack: warning: " << warning << "\n";
        }
    } catch (const std::exception& e) {
        err << "loftwick-pack: " << e.what() << "\n";
        return 1;
    }
    out << "Packed " << request.output.u8string() << "\n";
    return 0;
}
