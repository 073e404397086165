#include "RuntimeNeeds.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "JdkPackages.h"

namespace {

std::string dotted(std::string name) {
    std::replace(name.begin(), name.end(), '/', '.');
    return name;
}

// "java/sql/Connection" -> "java.sql"; "" for a class of no package.
std::string packageOf(const std::string& className) {
    const size_t slash = className.rfind('/');
    return slash == std::string::npos ? std::string() : dotted(className.substr(0, slash));
}

// A string constant that reads as a class's binary name ("java.sql.Date"):
// dotted identifiers, the last one capitalised as class names are (so that
// property names such as "java.awt.headless" are not taken for one).
bool looksLikeClassName(std::string_view s) {
    const size_t dot = s.rfind('.');
    return dot != std::string_view::npos && dot + 1 < s.size() && s.size() <= 200 && s[dot + 1] >= 'A'
           && s[dot + 1] <= 'Z' && isQualifiedName(s);
}

// Classes whose output depends on the locale's data.
const char* const localeFormatting[] = {
    "java/text/DateFormat", "java/text/SimpleDateFormat", "java/text/NumberFormat",
    "java/text/DecimalFormat", "java/text/MessageFormat", "java/text/DateFormatSymbols",
    "java/text/DecimalFormatSymbols", "java/text/Collator", "java/time/format/DateTimeFormatter",
    "java/time/format/DateTimeFormatterBuilder",
};

// What the application refers to, with the module of the release that
// holds each: the first class (by name) that refers to it.
class Uses {
public:
    struct Use {
        std::string module, package, from, target;
        bool used;     // reached from the main class
        bool guarded;  // a library's use of what libraries use only when present
    };
    struct NameUse {
        std::string module, text;  // text: why the module is needed, without the remedy
    };

    Uses(const RuntimeNeedsRequest& r, unsigned release) : request(r), release(release) {
        for (const AppClass& c : r.classes) {
            own.insert(packageOf(c.name));
            byName.emplace(c.name, &c);
        }
        reach();
        std::vector<const AppClass*> sorted;
        for (const AppClass& c : r.classes) {
            sorted.push_back(&c);
        }
        std::sort(sorted.begin(), sorted.end(),
                  [](const AppClass* a, const AppClass* b) { return a->name < b->name; });
        std::string main = r.mainClass;
        std::replace(main.begin(), main.end(), '.', '/');
        const auto m = byName.find(main);
        mainOrigin = m == byName.end() ? nullptr : &m->second->origin;
        for (const AppClass* c : sorted) {
            collect(*c, reached.count(c->name) > 0);
        }
    }

    std::vector<Use> uses;          // one for each (package, used)
    std::vector<NameUse> nameUses;  // one for each kind and module

private:
    // Everything the main class leads to through constant pools; a class
    // loaded only by name (a service provider, a plug-in) is reached by no
    // one, and what it alone refers to is only a warning.
    void reach() {
        std::string main = request.mainClass;
        std::replace(main.begin(), main.end(), '.', '/');
        if (main.empty() || !byName.count(main)) {
            for (const AppClass& c : request.classes) {
                reached.insert(c.name);
            }
            return;
        }
        std::vector<const AppClass*> queue{byName.at(main)};
        reached.insert(main);
        while (!queue.empty()) {
            const AppClass* c = queue.back();
            queue.pop_back();
            for (const std::string& target : c->references.classes) {
                const auto it = byName.find(target);
                if (it != byName.end() && reached.insert(target).second) {
                    queue.push_back(it->second);
                }
            }
        }
    }

    void collect(const AppClass& c, bool used) {
        const std::string from = dotted(c.name);
        bool tls = false, fileSystems = false, network = false;
        for (const std::string& target : c.references.classes) {
            const std::string package = packageOf(target);
            if (package.empty() || own.count(package)) {
                continue;
            }
            const std::string module = jdkModuleOf(release, package);
            const bool fallback = guarded(module, c);
            if (!module.empty() && seen.insert(package + (used ? "+" : "-") + (fallback ? "g" : "")).second) {
                uses.push_back({module, package, from, dotted(target), used, fallback});
            }
            if (!used) {
                continue;
            }
            tls = tls || package == "javax.net.ssl" || package == "java.net.http";
            // An address in a string is a link in a message unless the class
            // also opens connections.
            network = network || target == "java/net/URL" || target == "java/net/URLConnection"
                      || target == "java/net/HttpURLConnection" || target == "java/net/URI";
            fileSystems = fileSystems || target == "java/nio/file/FileSystems"
                          || target == "java/nio/file/spi/FileSystemProvider";
            for (const char* formatting : localeFormatting) {
                if (target == formatting) {
                    nameUse("jdk.localedata", from + " formats by locale (" + dotted(target) + "): without "
                            "jdk.localedata the runtime has the data of English (US) alone, and formats "
                            "dates and numbers for it whatever the user's locale");
                }
            }
        }
        if (used) {
            collectStrings(c, from, tls, fileSystems, network);
        }
    }

    void collectStrings(const AppClass& c, const std::string& from, bool tls, bool fileSystems, bool network) {
        const std::string tlsRemedy = " (the elliptic-curve algorithms that most servers require live "
                                      "there up to Java 21)";
        if (tls && release <= 21) {
            nameUse("jdk.crypto.ec", from + " uses TLS: without jdk.crypto.ec a Java " + std::to_string(release)
                    + " runtime fails most TLS handshakes" + tlsRemedy);
        }
        for (const std::string& s : c.references.strings) {
            if (release <= 21 && network && s.rfind("https://", 0) == 0) {
                nameUse("jdk.crypto.ec", from + " names the address \"" + s.substr(0, 60) + "\": without "
                        "jdk.crypto.ec a Java " + std::to_string(release) + " runtime fails most TLS "
                        "handshakes" + tlsRemedy);
            } else if (fileSystems && (s == "jar" || s.rfind("jar:", 0) == 0)) {
                nameUse("jdk.zipfs", from + " opens a \"jar\" file system: without jdk.zipfs the runtime "
                        "throws ProviderNotFoundException (Provider \"jar\" not found)");
            } else if (isExtendedCharset(release, s)) {
                nameUse("jdk.charsets", from + " names the charset \"" + s + "\", which only jdk.charsets "
                        "holds: without it the runtime throws UnsupportedCharsetException");
            } else if (looksLikeClassName(s)) {
                const std::string package = s.substr(0, s.rfind('.'));
                const std::string module = own.count(package) ? std::string() : jdkModuleOf(release, package);
                if (!module.empty() && !guarded(module, c)) {
                    nameUse(module, from + " names the class " + s + " in a string, as Class.forName and "
                            "ServiceLoader take it: it is in " + module);
                }
            }
        }
    }

    // Libraries (Guava, Netty, protobuf) reach sun.misc.Unsafe, by reference
    // or by name, behind a fallback that catches its absence.
    bool guarded(const std::string& module, const AppClass& c) const {
        return module == "jdk.unsupported" && mainOrigin && c.origin != *mainOrigin;
    }

    void nameUse(const std::string& module, const std::string& text) {
        if (perModule[module]++ == 0) {
            nameUses.push_back({module, text});
        }
    }

    const RuntimeNeedsRequest& request;
    const unsigned release;
    const std::string* mainOrigin = nullptr;
    std::unordered_set<std::string> own;  // the application's packages
    std::unordered_map<std::string, const AppClass*> byName;
    std::unordered_set<std::string> reached;
    std::unordered_set<std::string> seen;
    std::map<std::string, int> perModule;  // one warning of each module is enough to act on
};

class RuntimeView {
public:
    explicit RuntimeView(const RuntimeContents& r) : runtime(r) {
        for (const auto& p : r.packages) {
            modules.insert(p.second);
        }
        modules.insert(r.modules.begin(), r.modules.end());
    }

    bool holdsModule(const std::string& module) const { return modules.count(module) > 0; }
    bool holdsPackage(const std::string& package, const std::string& module) const {
        return runtime.hasPackages ? runtime.packages.count(package) > 0 : holdsModule(module);
    }
    bool judged() const { return runtime.hasPackages || runtime.hasModuleList; }
    // What the findings say of how the runtime was read.
    std::string basis() const {
        return runtime.hasPackages ? std::string()
                                   : " (judged by its release file's MODULES alone: it has no readable "
                                     "lib/modules)";
    }
    const std::set<std::string>& all() const { return modules; }

private:
    const RuntimeContents& runtime;
    std::set<std::string> modules;
};

std::string remedy(const std::string& module) {
    return "; add " + module + " to the runtime, or accept it as knowingly absent with --absent-module "
           + module;
}

std::string jlinkLine(const std::set<std::string>& modules) {
    std::string list;
    for (const std::string& m : modules) {
        list += (list.empty() ? "" : ",") + m;
    }
    return "\"jlink --add-modules " + list + " --strip-debug --no-header-files --no-man-pages --output "
           "RUNTIME\" (or \"loftwick-pack runtime\")";
}

} // namespace

bool runtimeMayLackModules(const RuntimeContents& runtime) {
    const RuntimeView view(runtime);
    if (!view.judged() || runtime.release == 0) {
        return false;
    }
    if (!jdkReleaseKnown(runtime.release)) {
        return runtime.hasPackages;  // told as an unknown release
    }
    const std::vector<std::string> all = jdkModules(runtime.release);
    return std::any_of(all.begin(), all.end(), [&](const std::string& m) { return !view.holdsModule(m); });
}

RuntimeNeedsFindings runtimeNeeds(const RuntimeNeedsRequest& request) {
    RuntimeNeedsFindings findings;
    const RuntimeContents& runtime = *request.runtime;
    if (!runtimeMayLackModules(runtime)) {
        return findings;
    }
    const RuntimeView view(runtime);
    const unsigned release = runtime.release;
    if (!jdkReleaseKnown(release)) {
        std::string known;
        for (const unsigned r : jdkReleasesKnown()) {
            known += (known.empty() ? "" : ", ") + std::to_string(r);
        }
        findings.warnings.push_back("the runtime is Java " + std::to_string(release) + ", an unknown release "
                                    "for the module check (its table covers Java " + known + "): the JDK "
                                    "modules the application needs are not checked");
        return findings;
    }
    const Uses uses(request, release);
    std::map<std::string, std::vector<const Uses::Use*>> missing, unused;
    for (const Uses::Use& u : uses.uses) {
        if (!view.holdsPackage(u.package, u.module) && !request.absentModules.count(u.module)) {
            (u.used && !u.guarded ? missing : unused)[u.module].push_back(&u);
        }
    }
    std::set<std::string> wanted = view.all();
    for (const auto& m : missing) {
        wanted.insert(m.first);
    }
    for (const auto& m : missing) {
        const Uses::Use& first = *m.second.front();
        std::string more;
        if (m.second.size() > 1) {
            more = ", and " + std::to_string(m.second.size() - 1) + " more of its packages";
        }
        findings.problems.push_back(first.from + " refers to " + first.target + " (package " + first.package
                                    + more + "), which is in module " + m.first + "; the runtime lacks it"
                                    + view.basis() + ", so the application would stop with "
                                    "NoClassDefFoundError: make the runtime with " + jlinkLine(wanted));
    }
    for (const auto& m : unused) {
        if (missing.count(m.first)) {
            continue;
        }
        const Uses::Use& first = *m.second.front();
        const std::string why = first.guarded
                ? "), which libraries use behind a fallback for when it is absent"
                : "), but nothing the main class uses reaches " + first.from;
        findings.warnings.push_back(first.from + " refers to " + first.target + " (module " + m.first
                                    + ", which the runtime lacks" + view.basis() + why + remedy(m.first));
    }
    for (const Uses::NameUse& n : uses.nameUses) {
        if (!view.holdsModule(n.module) && !request.absentModules.count(n.module) && !missing.count(n.module)) {
            findings.warnings.push_back(n.text + remedy(n.module));
        }
    }
    return findings;
}

std::set<std::string> modulesNeeded(const RuntimeNeedsRequest& request, bool withWarned) {
    const unsigned release = request.runtime->release;
    std::set<std::string> needed{"java.base"};
    const Uses uses(request, release);
    for (const Uses::Use& u : uses.uses) {
        if (u.used || withWarned) {
            needed.insert(u.module);
        }
    }
    if (withWarned) {
        for (const Uses::NameUse& n : uses.nameUses) {
            needed.insert(n.module);
        }
    }
    for (const std::string& m : request.absentModules) {
        needed.erase(m);
    }
    return needed;
}

struct NeedsFilter::Tables {
    std::vector<std::string> names;  // what the views below point into
    std::unordered_set<std::string_view> packages;  // with '/': of modules the runtime lacks
    std::unordered_set<std::string_view> classes;   // whose use is warned about
    bool anything = false, tls = false, zipfs = false, charsets = false;
    unsigned release = 0;
};

NeedsFilter::NeedsFilter(const RuntimeContents& runtime, const std::set<std::string>& absent)
    : tables(new Tables) {
    Tables& t = *tables;
    const RuntimeView view(runtime);
    t.release = runtime.release;
    if (!runtimeMayLackModules(runtime)) {
        return;
    }
    t.anything = true;
    if (!jdkReleaseKnown(runtime.release)) {
        return;  // one warning, whatever the classes
    }
    const auto lacks = [&](const std::string& module) { return !view.holdsModule(module) && !absent.count(module); };
    std::vector<std::string> packages, classes;
    for (const std::string& module : jdkModules(runtime.release)) {
        for (const std::string& package : jdkPackagesOf(runtime.release, module)) {
            if (!absent.count(module) && !view.holdsPackage(package, module)) {
                std::string slashed = package;
                std::replace(slashed.begin(), slashed.end(), '.', '/');
                packages.push_back(slashed);
            }
        }
    }
    if (lacks("jdk.localedata")) {
        classes.insert(classes.end(), std::begin(localeFormatting), std::end(localeFormatting));
    }
    t.tls = runtime.release <= 21 && lacks("jdk.crypto.ec");
    if (t.tls) {
        packages.push_back("javax/net/ssl");
        packages.push_back("java/net/http");
        classes.insert(classes.end(), {"java/net/URL", "java/net/URLConnection", "java/net/HttpURLConnection",
                                       "java/net/URI"});
    }
    t.zipfs = lacks("jdk.zipfs");
    if (t.zipfs) {
        classes.insert(classes.end(), {"java/nio/file/FileSystems", "java/nio/file/spi/FileSystemProvider"});
    }
    t.charsets = lacks("jdk.charsets");
    t.names.reserve(packages.size() + classes.size());
    for (const std::string& p : packages) {
        t.names.push_back(p);
        t.packages.insert(t.names.back());
    }
    for (const std::string& c : classes) {
        t.names.push_back(c);
        t.classes.insert(t.names.back());
    }
}

NeedsFilter::~NeedsFilter() = default;

bool NeedsFilter::relevant(const std::string& classBytes) const {
    const Tables& t = *tables;
    if (!t.anything) {
        return false;
    }
    struct Look : ReferenceVisitor {
        const Tables& t;
        bool found = false;
        explicit Look(const Tables& tables) : t(tables) {}
        bool lackedPackage(std::string_view name) const {
            const size_t slash = name.rfind('/');
            return slash != std::string_view::npos && t.packages.count(name.substr(0, slash));
        }
        void onClass(std::string_view name) override {
            const size_t dims = name.find_first_not_of('[');
            if (dims != 0 && dims != std::string_view::npos && name[dims] == 'L' && name.back() == ';') {
                name = name.substr(dims + 1, name.size() - dims - 2);
            }
            found = found || lackedPackage(name) || t.classes.count(name);
        }
        void onString(std::string_view s) override {
            if (found) {
                return;
            }
            found = (t.tls && s.substr(0, 8) == "https://") || (t.zipfs && s.substr(0, 3) == "jar")
                    || (t.charsets && s.size() > 2 && s.size() < 40 && s.find(' ') == std::string_view::npos
                        && isExtendedCharset(t.release, std::string(s)));
            if (!found && looksLikeClassName(s)) {
                std::string slashed(s);
                std::replace(slashed.begin(), slashed.end(), '.', '/');
                found = lackedPackage(slashed);
            }
        }
    } look(t);
    // A class that cannot be read gives the full reading nothing either.
    return visitReferences(classBytes, look) && look.found;
}
