// The inspection uses the launcher's own units, so that what it reports is
// what the launcher does.
#include "Inspection.h"

#include <algorithm>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "AppCheck.h"
#include "AppLauncher.h"
#include "CfgFile.h"
#include "ErrorHandling.h"
#include "FileUtils.h"
#include "JvmLauncher.h"
#include "Log.h"
#include "SysInfo.h"

namespace {

std::string inQuotes(const tstring& s) {
    return "\"" + tstrings::encodeUtf8(s) + "\"";
}

// The known name that differs from `name` only by blanks or letter case.
tstring nearestKnown(const tstring& name, bool section) {
    tstring trimmed = name;
    trimmed.erase(0, trimmed.find_first_not_of(L" \t"));
    trimmed.erase(trimmed.find_last_not_of(L" \t") + 1);
    const tstring wanted = tstrings::asciiLower(trimmed);
    const CfgFile::Names& names = section ? CfgFile::sectionNames() : CfgFile::propertyNames();
    for (const wchar_t* known : names) {
        if (tstrings::asciiLower(known) == wanted && name != known) {
            return known;
        }
    }
    return tstring();
}

class DropCollector : public CfgFileObserver {
public:
    explicit DropCollector(Inspection& report) : report(report) {}

    void lineDropped(int line, const std::string& raw, Reason reason,
                     const tstring& name) override {
        if (raw.rfind("\xEF\xBB\xBF", 0) == 0 && raw.size() > 3 && raw[3] == '[') {
            add(report.dropped, line, "a byte-order mark hides the header " + raw.substr(3));
            return;
        }
        switch (reason) {
        case InvalidUtf8:
            add(report.dropped, line, "not valid UTF-8");
            break;
        case OutsideSection:
            add(report.dropped, line, "property " + inQuotes(name) + " outside any known section");
            break;
        case UnknownSection:
            add(report.dropped, line, "unknown section [" + tstrings::encodeUtf8(name) + "]"
                + hint(nearestKnown(name, true)) + "; its properties are dropped");
            break;
        case UnknownKey:
            add(report.dropped, line, "unknown key " + inQuotes(name) + hint(nearestKnown(name, false)));
            break;
        }
    }

    void sectionReplaced(int line, const tstring& section) override {
        add(report.replaced, line, "[" + tstrings::encodeUtf8(section)
            + "] replaces the properties of an earlier [" + tstrings::encodeUtf8(section) + "]");
    }

private:
    static std::string hint(const tstring& known) {
        return known.empty() ? std::string() : " (did you mean " + inQuotes(known) + "?)";
    }
    static void add(std::vector<Inspection::Finding>& list, int line, const std::string& what) {
        list.push_back({line, what});
    }

    Inspection& report;
};

void checkExists(Inspection& report, const std::string& kind, const tstring& path) {
    if (!FileUtils::isFileExists(path)) {
        report.problems.push_back(kind + " not found: " + inQuotes(path));
    }
}

// The application as the runtime would read it, by the same checks as
// packing; `args` are the runtime's, as the launcher would pass them.
void checkApplicationOf(Inspection& report, const tstring_array& args, size_t options,
                        const std::vector<std::string>& absentModules) {
    const auto entry = [](const tstring& p) {
        return AppPathEntry{tstrings::encodeUtf8(p), FileUtils::fsPath(p)};
    };
    AppCheckRequest c;
    for (size_t i = 1; i < options && i < args.size(); ++i) {
        const tstring& a = args[i];
        if ((a == L"-classpath" || a == L"--module-path") && i + 1 < options) {
            for (const tstring& e : tstrings::splitOn(args[++i], FileUtils::pathListSeparator)) {
                (a == L"-classpath" ? c.classPath : c.modulePath).push_back(entry(e));
            }
        } else if (!tstrings::hasPrefix(a, L"-splash:") && !tstrings::hasPrefix(a, L"-Dloftwick.app-path=")) {
            c.javaOptions.push_back(tstrings::encodeUtf8(a));
        }
    }
    if (options + 1 < args.size() && args[options] == L"-m") {
        c.mainModule = tstrings::encodeUtf8(args[options + 1]);
    } else if (options + 1 < args.size() && args[options] == L"-jar") {
        c.mainJar = entry(args[options + 1]);
        checkExists(report, "main JAR", args[options + 1]);
    } else if (options < args.size()) {
        c.mainClass = tstrings::encodeUtf8(args[options]);
    }
    c.runtime = FileUtils::fsPath(report.runtimeDir);
    c.appDir = FileUtils::fsPath(FileUtils::dirname(report.cfgFile));
    c.absentModules = absentModules;
    for (const std::string& problem : checkApplication(c, nullptr, &report.warnings)) {
        report.problems.push_back(problem);
    }
}

// What the runtime would take otherwise than meant: an argument file among
// the Java options (not read when started by the launcher), and what the
// platform's runtime takes for its home.
void checkRuntimeView(Inspection& report, const Jvm& jvm, const tstring& launcherPath) {
    for (size_t i = 1; i < jvm.runtimeOptionCount(); ++i) {
        if (tstrings::hasPrefix(jvm.getArgs()[i], L"@")) {
            report.problems.push_back("Java option " + inQuotes(jvm.getArgs()[i])
                + " names an argument file, which the runtime does not read when started by "
                  "the launcher");
        }
    }
    checkRuntimeHome(report, launcherPath);
    checkSignatures(report, launcherPath);
}

// Only "false" turns the box off; anything else keeps it, likely unmeant.
void checkFailureBox(Inspection& report, const CfgFile& cfg) {
    const PropertyMap& props = cfg.sectionProperties(CfgFile::application);
    const auto it = props.find(CfgFile::failurebox);
    if (it != props.end()) {
        const tstring value = CfgFile::lastValueOf(*it);
        if (value != L"true" && value != L"false") {
            report.problems.push_back("app.failurebox is " + inQuotes(value)
                + ": only \"false\" turns the failure box off, so it stays on");
        }
    }
}

// Without one, the runtime takes the first application argument, or
// nothing, for the main class.
void checkMainEntry(Inspection& report, const CfgFile& cfg) {
    const PropertyMap& props = cfg.sectionProperties(CfgFile::application);
    if (!props.count(CfgFile::mainjar) && !props.count(CfgFile::mainclass)
        && !props.count(CfgFile::mainmodule)) {
        report.problems.push_back("no main entry (app.mainjar, app.mainclass or app.mainmodule): "
                                  "the runtime would not know what to start");
    }
}

// What the launcher reads otherwise than the file's author meant: UTF-16,
// and lines that end with a carriage return alone (read as one line).
void checkEncoding(Inspection& report) {
    std::ifstream in(FileUtils::fsPath(report.cfgFile), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.rfind("\xFF\xFE", 0) == 0 || bytes.rfind("\xFE\xFF", 0) == 0) {
        report.problems.push_back("the file is UTF-16 (it starts with a UTF-16 byte-order mark): "
                                  "the launcher reads UTF-8 only; save it as UTF-8");
        return;
    }
    for (size_t cr = bytes.find('\r'); cr != std::string::npos; cr = bytes.find('\r', cr + 1)) {
        if (cr + 1 == bytes.size() || bytes[cr + 1] != '\n') {
            report.problems.push_back("a carriage return without a line feed: the launcher does "
                                      "not end a line there (a file whose lines end so is read as "
                                      "one line); end lines with LF or CR LF");
            return;
        }
    }
}

// The runtime reads each argument as a C string: a NUL ends it.
tstring cutAtNul(Inspection& report, const tstring& argument) {
    const size_t nul = argument.find(L'\0');
    if (nul == tstring::npos) {
        return argument;
    }
    const tstring cut = argument.substr(0, nul);
    report.problems.push_back("the value " + inQuotes(cut) + "... holds a NUL character: the "
                              "runtime receives only the text before it");
    return cut;
}

// The launcher's own warnings (a splash image it skips) are problems too;
// installed for its lifetime, it puts the previous sink back.
class WarningCollector : public LogAppender {
public:
    explicit WarningCollector(Inspection& report)
        : report(report), previous(Logger::instance().currentAppender()) {
        Logger::instance().installAppender(this);
    }
    ~WarningCollector() override { Logger::instance().installAppender(previous); }
    WarningCollector(const WarningCollector&) = delete;
    WarningCollector& operator=(const WarningCollector&) = delete;

    void append(const LogRecord& record) override {
        if (record.levelText == logLevelName(LOG_WARNING)) {
            report.problems.push_back(tstrings::encodeUtf8(record.message));
        }
    }

private:
    Inspection& report;
    LogAppender* previous;
};

} // namespace

Inspection inspectImage(const tstring& launcherPath, const tstring_array& args,
                        const std::vector<std::string>& absentModules) {
    Inspection report;
    AppLauncher launcher;
    launcher.setExecutablePath(launcherPath).setCommandLineArgs(args);
    configureForImage(launcher, launcherPath);
    report.cfgFile = launcher.cfgFilePath();
    checkEncoding(report);

    const bool pathHasAppDir = launcher.libraryPathHasAppDir();
    DropCollector collector(report);
    const WarningCollector warnings(report);
    try {
        const std::unique_ptr<Jvm> jvm(launcher.createJvmLauncher(&collector));
        report.runtimeLibrary = jvm->getPath();
        report.runtimeDir = FileUtils::dirname(FileUtils::dirname(jvm->getPath()));
        // The runtime library itself would stop without its virtual machine.
        const std::string noVm = virtualMachineProblem(FileUtils::fsPath(report.runtimeDir));
        if (!noVm.empty()) {
            report.error = noVm;
            report.road = launchRoad(launcher, pathHasAppDir);
            return report;
        }
        // The launcher names itself in this property; here it is the image's.
        const tstring ownProperty = L"-Dloftwick.app-path=" + SysInfo::getProcessModulePath();
        for (const tstring& a : jvm->getArgs()) {
            report.arguments.push_back(cutAtNul(report, a == ownProperty
                                                ? L"-Dloftwick.app-path=" + launcherPath : a));
        }
        checkApplicationOf(report, report.arguments, jvm->runtimeOptionCount(), absentModules);
        checkRuntimeView(report, *jvm, launcherPath);
        const CfgFile cfg = CfgFile::load(report.cfgFile);
        checkFailureBox(report, cfg);
        checkMainEntry(report, cfg);
    } catch (const TarnErrorBase& e) {
        report.error = e.rawMessage();
    }
    report.road = launchRoad(launcher, pathHasAppDir);
    return report;
}

int Inspection::exitCode() const {
    if (!error.empty()) {
        return 1;
    }
    return dropped.empty() && replaced.empty() && problems.empty() ? 0 : 2;
}

std::string Inspection::text() const {
    std::ostringstream os;
    os << "Configuration file: " << tstrings::encodeUtf8(cfgFile) << "\n";
    for (const auto* list : {&dropped, &replaced}) {
        os << (list == &dropped ? "Dropped lines:" : "Replaced sections:");
        os << (list->empty() ? " none\n" : "\n");
        for (const Finding& f : *list) {
            os << "  line " << f.line << ": " << f.what << "\n";
        }
    }
    if (!error.empty()) {
        os << "Launch would fail: " << error << "\n";
    } else {
        os << "Runtime directory: " << tstrings::encodeUtf8(runtimeDir) << "\n";
        os << "Runtime library: " << tstrings::encodeUtf8(runtimeLibrary) << "\n";
        os << "Runtime arguments:\n";
        for (size_t i = 0; i < arguments.size(); ++i) {
            os << "  [" << i << "] " << tstrings::encodeUtf8(arguments[i]) << "\n";
        }
        os << "Problems:" << (problems.empty() ? " none\n" : "\n");
        for (const std::string& p : problems) {
            os << "  " << p << "\n";
        }
        if (!warnings.empty()) {
            os << "Warnings:\n";
            for (const std::string& w : warnings) {
                os << "  " << w << "\n";
            }
        }
    }
    if (anySigned()) {
        os << "Signatures:\n";
        for (const Signature& sig : signatures) {
            os << "  " << sig.file << ": " << sig.state << "\n";
        }
    }
    os << "Launch road: " << road << "\n";
    return os.str();
}

namespace {

std::string jsonString(const std::string& utf8) {
    std::string out = "\"";
    for (const unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof(buffer), "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string jsonString(const tstring& s) {
    return jsonString(tstrings::encodeUtf8(s));
}

template <class T, class F>
std::string jsonArray(const std::vector<T>& items, F each) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        out += (i ? ", " : "") + each(items[i]);
    }
    return out + "]";
}

} // namespace

bool Inspection::anySigned() const {
    return std::any_of(signatures.begin(), signatures.end(), [](const Signature& s) { return s.present; });
}

std::string Inspection::json() const {
    const auto finding = [](const Finding& f) {
        return "{\"line\": " + std::to_string(f.line) + ", \"what\": " + jsonString(f.what) + "}";
    };
    std::ostringstream os;
    os << "{\n  \"configFile\": " << jsonString(cfgFile)
       << ",\n  \"droppedLines\": " << jsonArray(dropped, finding)
       << ",\n  \"replacedSections\": " << jsonArray(replaced, finding)
       << ",\n  \"error\": " << (error.empty() ? "null" : jsonString(error))
       << ",\n  \"runtimeDirectory\": " << (error.empty() ? jsonString(runtimeDir) : "null")
       << ",\n  \"runtimeLibrary\": " << (error.empty() ? jsonString(runtimeLibrary) : "null")
       << ",\n  \"arguments\": " << jsonArray(arguments, [](const tstring& a) { return jsonString(a); })
       << ",\n  \"problems\": " << jsonArray(problems, [](const std::string& p) { return jsonString(p); })
       << ",\n  \"warnings\": " << jsonArray(warnings, [](const std::string& w) { return jsonString(w); })
       << (!anySigned() ? std::string() : ",\n  \"signatures\": " + jsonArray(signatures, [](const Signature& g) {
              return "{\"file\": " + jsonString(g.file) + ", \"signed\": " + (g.present ? "true" : "false")
                     + ", \"valid\": " + (g.valid ? "true" : "false") + ", \"timestamped\": "
                     + (g.timestamped ? "true" : "false") + ", \"signer\": "
                     + (g.signer.empty() ? std::string("null") : jsonString(g.signer))
                     + ", \"state\": " + jsonString(g.state) + "}";
          }))
       << ",\n  \"road\": " << jsonString(road)
       << ",\n  \"exitCode\": " << exitCode() << "\n}\n";
    return os.str();
}
