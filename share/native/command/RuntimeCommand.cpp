#include "RuntimeCommand.h"

#include <cstdio>
#include <functional>
#include <map>

#include "Options.h"
#include "PackError.h"
#include "Packager.h"
#include "RuntimeMaker.h"

namespace fs = std::filesystem;

namespace {

const char* const usage =
"usage: loftwick-pack runtime --input DIR --output DIR MAIN [options]\n"
"\n"
"Makes a Java runtime for the application with jlink: the JDK modules its classes\n"
"refer to, and those it loads by name (TLS, charsets, the jar file system, locale\n"
"data), stripped of debug data, header files and man pages.\n"
"\n"
"  --input DIR             the application files, as for packing\n"
"  --output DIR            the runtime to create\n"
"MAIN, as for packing: --main-jar FILE, --main-class CLASS with --class-path ENTRY,\n"
"  or --main-module MODULE[/CLASS] with --module-path ENTRY\n"
"Options:\n"
"  --jdk DIR               the JDK whose jlink runs (default: JAVA_HOME, else the jlink\n"
"                          on PATH)\n"
"  --jmods DIR             the jmods of the JDK to link from, for another system (a\n"
"                          Windows JDK's, on Linux); of the same Java release as --jdk\n"
"  --add-module MODULE     a module to add besides those found (repeatable)\n"
"  --absent-module MODULE  a module to leave out although it is referred to (repeatable)\n"
"  --no-warned-modules     leave out the modules that are only loaded by name\n"
"  --replace               replace an existing output directory\n";

std::string megabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f MB", static_cast<double>(bytes) / 1e6);
    return text;
}

} // namespace

int runtimeCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && args[0] == "--help") {
        out << usage;
        return 0;
    }
    PackRequest app;
    RuntimeRequest r;
    bool noWarned = false;
    try {
        const std::map<std::string, int> seen = parseOptions(args, {
            {{"--input", [&](const std::string& v) { app.input = fs::u8path(v); }},
             {"--output", [&](const std::string& v) { r.output = fs::u8path(v); }},
             {"--jdk", [&](const std::string& v) { r.jdk = fs::u8path(v); }},
             {"--jmods", [&](const std::string& v) { r.jmods = fs::u8path(v); }},
             {"--main-jar", [&](const std::string& v) { app.launch.mainJar = v; }},
             {"--main-class", [&](const std::string& v) { app.launch.mainClass = v; }},
             {"--main-module", [&](const std::string& v) { app.launch.mainModule = v; }}},
            {{"--class-path", &app.launch.classPath}, {"--module-path", &app.launch.modulePath},
             {"--add-module", &r.addModules}, {"--absent-module", &app.absentModules}},
            {{"--no-warned-modules", &noWarned}, {"--replace", &r.replace}},
            nullptr});
        for (const char* required : {"--input", "--output"}) {
            if (!seen.count(required)) {
                throw UsageError(std::string(required) + " is required");
            }
        }
        if (seen.count("--main-jar") + seen.count("--main-class") + seen.count("--main-module") != 1) {
            throw UsageError("give exactly one of --main-jar, --main-class and --main-module");
        }
        for (const auto* list : {&r.addModules, &app.absentModules}) {
            for (const std::string& m : *list) {
                if (!isModuleName(m)) {
                    throw UsageError("\"" + m + "\" is not a module name (such as java.sql)");
                }
            }
        }
    } catch (const UsageError& e) {
        err << "loftwick-pack runtime: " << e.what() << "\n(runtime --help lists the options)\n";
        return 2;
    }
    r.withWarned = !noWarned;
    try {
        r.application = checkRequest(app);
        const RuntimeResult made = makeRuntime(r);
        std::string list;
        for (const std::string& m : made.modules) {
            list += (list.empty() ? "" : " ") + m;
        }
        out << "Made " << r.output.u8string() << ": Java " << made.release << ", " << megabytes(made.bytes)
            << "\nModules: " << list << "\n";
    } catch (const std::exception& e) {
        err << "loftwick-pack runtime: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
