// Reads only zip directories, manifests and the first bytes of class files.
#include "AppCheck.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <system_error>
#include <thread>
#include <string_view>
#include <unordered_set>

#include "ClassFile.h"
#include "JdkPackages.h"
#include "Manifest.h"
#include "PackError.h"
#include "RuntimeNeeds.h"
#include "ZipArchive.h"

namespace fs = std::filesystem;

namespace {

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

bool hasJarExtension(const fs::path& p) {
    std::string e = p.extension().u8string();
    std::transform(e.begin(), e.end(), e.begin(), [](char c) { return static_cast<char>(c | 0x20); });
    return e == ".jar";
}

// A class the runtime would see, and where it comes from: an entry of a jar,
// or a file of a folder. The checker owns what each points into: its jars,
// and the names and files no jar entry holds as such.
struct ClassSource {
    std::string_view name;  // "a/b/C.class"
    const ZipArchive* jar = nullptr;
    const ZipArchive::Entry* entry = nullptr;
    const fs::path* file = nullptr;  // of a folder's class
};

// No real class file comes near this; a larger one is read for its
// version alone.
const uint64_t maxClassSize = 16u << 20;

// The class's first `limit` bytes (all of a shorter one).
std::string bytesOf(const ClassSource& s, size_t limit, ZipArchive::Inflater& inflater) {
    if (s.jar) {
        return s.jar->read(*s.entry, s.entry->size > maxClassSize ? classHeaderSize : limit, inflater);
    }
    std::error_code ec;
    if (fs::file_size(*s.file, ec) > maxClassSize) {
        limit = classHeaderSize;
    }
    std::ifstream in(*s.file, std::ios::binary);
    std::string bytes(limit == SIZE_MAX ? static_cast<size_t>(fs::file_size(*s.file, ec)) : limit, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

// What the checks read of each class.
struct ClassInfo {
    unsigned major = 0;  // 0 where it cannot be read
    ClassReferences references;
};

// Damerau's one-letter slip: one letter changed, added, dropped, or two
// neighbours swapped.
bool oneSlipApart(const std::string& a, const std::string& b) {
    if (a == b || (a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > 1) {
        return false;
    }
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) {
        ++i;
    }
    const auto tailsEqual = [&](size_t x, size_t y) { return a.compare(x, std::string::npos, b, y) == 0; };
    return tailsEqual(i + 1, i + 1) || tailsEqual(i, i + 1) || tailsEqual(i + 1, i)
           || (i + 1 < a.size() && i + 1 < b.size() && a[i] == b[i + 1] && a[i + 1] == b[i]
               && tailsEqual(i + 2, i + 2));
}

std::string dotted(std::string resource) {
    resource.resize(resource.size() - 6);  // ".class"
    std::replace(resource.begin(), resource.end(), '/', '.');
    return resource;
}

// No real manifest or module descriptor comes near these; a jar that
// claims more is refused, not read. (The runtime refuses manifests past
// 8 MiB itself.)
const size_t maxManifestSize = 8u << 20;
const size_t maxModuleInfoSize = 1u << 20;

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return text;
}

// The jar's manifest as the runtime finds it: by its name, else in any
// letter case. Two entries of that name are refused: the runtime reads the
// last, and a reader that takes the first judges another application.
Manifest manifestOf(const ZipArchive& jar, const std::string& shown) {
    const std::string name = "META-INF/MANIFEST.MF";
    std::vector<const ZipArchive::Entry*> found = jar.findAll(name);
    for (const ZipArchive::Entry& e : jar.entries()) {
        if (found.empty() && e.name.size() == name.size() && upper(e.name) == name) {
            found.push_back(&e);
        }
    }
    if (found.size() > 1) {
        const auto number = [&](const ZipArchive::Entry* e) { return std::to_string(e - jar.entries().data() + 1); };
        throw PackError(shown + " holds " + name + " twice (entries " + number(found[0]) + " and "
                        + number(found[1]) + " of its directory): the runtime reads the last, other tools the "
                        "first; build it again with the jar tool");
    }
    return Manifest(found.empty() ? std::string()
                                  : jar.readWhole(*found[0], maxManifestSize, "the manifest of " + shown));
}

std::string moduleInfoOf(const ZipArchive& jar, const std::string& shown) {
    const ZipArchive::Entry* info = jar.find("module-info.class");
    return info ? jar.readWhole(*info, maxModuleInfoSize, "the module descriptor of " + shown) : std::string();
}

// A module-info.class of a folder, read up to the same bound.
std::string moduleInfoOf(const fs::path& dir) {
    const fs::path file = dir / "module-info.class";
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        return std::string();
    }
    if (fs::file_size(file, ec) > maxModuleInfoSize) {
        throw PackError("the module descriptor " + quoted(file.u8string()) + " is larger than any real one ("
                        + std::to_string(maxModuleInfoSize) + " bytes)");
    }
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int hexValue(char c) {
    return c >= '0' && c <= '9' ? c - '0'
         : c >= 'a' && c <= 'f' ? c - 'a' + 10
         : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// A Class-Path entry is a URL relative to the jar's own: "%20" is a space,
// "file:" names a path of this machine. What the runtime cannot take as a
// file (another scheme, a broken escape) it skips, and so does the check:
// false.
bool classPathFile(std::string url, std::string& path) {
    const size_t colon = url.find(':');
    const size_t slash = url.find('/');
    if (colon != std::string::npos && colon > 0 && (slash == std::string::npos || colon < slash)) {
        if (upper(url.substr(0, colon)) != "FILE") {
            return false;
        }
        url = url.substr(colon + 1);
        if (url.rfind("//", 0) == 0) {
            url = url.substr(std::min(url.find('/', 2), url.size()));  // an empty or local authority
        }
    }
    path.clear();
    for (size_t i = 0; i < url.size(); ++i) {
        if (url[i] != '%') {
            path += url[i];
        } else if (i + 2 < url.size() && hexValue(url[i + 1]) >= 0 && hexValue(url[i + 2]) >= 0) {
            path += static_cast<char>(hexValue(url[i + 1]) * 16 + hexValue(url[i + 2]));
            i += 2;
        } else {
            return false;
        }
    }
    return !path.empty();
}

// The feature release a folder of META-INF/versions/ stands for, as the
// runtime looks them up: by the release's own decimal name, 9 and up. Any
// other name ("+9", "09", "9a") is no version folder; 0.
unsigned versionFolder(const std::string& name) {
    if (name.empty() || name.size() > 4 || name[0] == '0'
        || !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    const unsigned version = static_cast<unsigned>(std::stoul(name));
    return version >= 9 ? version : 0;
}

class Checker {
public:
    explicit Checker(const AppCheckRequest& r)
        : request(r), runtime(readRuntimeContents(r.runtime)), release(runtime.release),
          withReferences(runtimeMayLackModules(runtime)) {}

    std::vector<std::string> run() {
        for (const std::string& option : request.javaOptions) {
            const std::string problem = javaOptionProblem(option);
            if (!problem.empty()) {
                problems.push_back(problem);
            }
        }
        if (!request.mainModule.empty()) {
            checkModule();
        } else {
            checkClassPath();
        }
        if (!runtime.packagesProblem.empty()) {
            warnings.push_back(runtime.packagesProblem + "; the runtime is judged by its release file's "
                               "MODULES alone");
        }
        info();
        // With no class that can lead to a finding there is none, but for
        // what is said of the runtime itself (an unknown release).
        if (withReferences && (referencesRead || !jdkReleaseKnown(release))) {
            const RuntimeNeedsFindings needs = runtimeNeeds(needsRequest());
            problems.insert(problems.end(), needs.problems.begin(), needs.problems.end());
            warnings.insert(warnings.end(), needs.warnings.begin(), needs.warnings.end());
        }
        return problems;
    }

    // Every class with what it refers to, for the module checks.
    RuntimeNeedsRequest needsRequest() {
        RuntimeNeedsRequest r;
        const std::vector<ClassInfo>& all = info();
        size_t index = 0;
        for (const ClassSource& c : classes) {
            // Which jar, by identity: classes of one jar share it.
            const std::string origin = c.jar ? std::to_string(reinterpret_cast<uintptr_t>(c.jar)) : std::string();
            r.classes.push_back({std::string(c.name.substr(0, c.name.size() - 6)), origin,
                                 all[index++].references});
        }
        r.mainClass = mainClass;
        r.runtime = &runtime;
        r.absentModules.insert(request.absentModules.begin(), request.absentModules.end());
        return r;
    }

    // The classes and the main class, for a runtime made to measure.
    void collectForRuntime(unsigned targetRelease) {
        withReferences = needAllReferences = true;
        runtime = RuntimeContents();
        runtime.release = targetRelease;
        if (!request.mainModule.empty()) {
            checkModule();
        } else {
            checkClassPath();
        }
    }

    std::vector<std::string> warnings;

    std::shared_ptr<const ZipArchive> open(const fs::path& path, const std::string& shown) {
        const auto it = jars.find(path);
        if (it != jars.end()) {
            return it->second;
        }
        std::shared_ptr<const ZipArchive> jar;
        try {
            jar = std::make_shared<const ZipArchive>(path, shown);
        } catch (const PackError& e) {
            problems.push_back(std::string(e.what()) + ": the runtime cannot read it; build it with "
                               "the jar tool");
        }
        return jars[path] = jar;
    }

    // A jar's manifest; false when it cannot be read (the problem is told).
    bool readManifest(const ZipArchive& jar, const std::string& shown, Manifest& manifest) {
        try {
            manifest = manifestOf(jar, shown);
            return true;
        } catch (const PackError& e) {
            problems.push_back(e.what());
            return false;
        }
    }

    // A jar on the class path: its classes, then those of its Class-Path.
    void addJar(const fs::path& path, const std::string& shown) {
        if (!visited.insert(path).second) {
            return;
        }
        const std::shared_ptr<const ZipArchive> jar = open(path, shown);
        Manifest manifest{std::string()};
        if (!jar || !readManifest(*jar, shown, manifest)) {
            return;
        }
        const std::string classPath = manifest.get("Class-Path");
        addClasses(jar, upper(manifest.get("Multi-Release")) == "TRUE");
        size_t start = 0;
        while ((start = classPath.find_first_not_of(" \t", start)) != std::string::npos) {
            const size_t end = std::min(classPath.find_first_of(" \t", start), classPath.size());
            std::string entry;
            if (classPathFile(classPath.substr(start, end - start), entry) && inside(entry, path, shown)) {
                const fs::path next = path.parent_path() / fs::u8path(entry);
                std::error_code ec;
                // An entry the runtime cannot find it skips without a word.
                if (fs::is_directory(next, ec)) {
                    addFolder(next);
                } else if (fs::is_regular_file(next, ec)) {
                    addJar(next, quoted(next.filename().u8string()) + " (in the Class-Path of " + shown + ")");
                }
            }
            start = end;
        }
    }

    // A Class-Path entry that leaves the application's folder reads the
    // files of whatever machine the application runs on: on the build
    // machine it works, everywhere else it fails.
    bool inside(const std::string& entry, const fs::path& jar, const std::string& shown) {
        const bool absolute = entry[0] == '/' || entry[0] == '\\' || (entry.size() > 1 && entry[1] == ':');
        const fs::path target = (fs::absolute(jar).parent_path() / fs::u8path(entry)).lexically_normal();
        const fs::path within = request.appDir.empty() ? fs::path()
                : target.lexically_relative(fs::absolute(request.appDir).lexically_normal());
        if (!absolute && (request.appDir.empty() || (!within.empty() && *within.begin() != ".."))) {
            return true;
        }
        problems.push_back("the Class-Path of " + shown + " names " + quoted(entry) + ", outside the "
                           "application's folder: the runtime would read that file of the machine it runs "
                           "on, which the image does not carry; copy the JAR into the application and name "
                           "it relative to " + shown);
        return false;
    }

    // The classes the runtime would see; a multi-release jar's versions
    // count up to the runtime's own.
    void addClasses(const std::shared_ptr<const ZipArchive>& jar, bool multiRelease) {
        // A big jar is read whole while its classes are listed: every class
        // of it is read later, and one that cannot be read fails there.
        if (jar->entries().size() >= 1000) {
            loading.threads.emplace_back([jar] {
                try {
                    jar->loadWhole();
                } catch (const PackError&) {
                }
            });
        }
        classes.reserve(classes.size() + jar->entries().size());
        known.reserve(known.size() + jar->entries().size());
        std::map<std::string, std::pair<unsigned, const ZipArchive::Entry*>> chosen;
        for (const ZipArchive::Entry& e : jar->entries()) {
            if (e.name.size() <= 6 || e.name.compare(e.name.size() - 6, 6, ".class") != 0) {
                continue;
            }
            if (!multiRelease && e.name.compare(0, 9, "META-INF/") != 0) {
                addClass({e.name, jar.get(), &e, nullptr});
                continue;
            }
            std::string name = e.name;
            unsigned version = 0;
            if (name.rfind("META-INF/versions/", 0) == 0) {
                const size_t slash = name.find('/', 18);
                version = slash == std::string::npos ? 0 : versionFolder(name.substr(18, slash - 18));
                if (!multiRelease || version == 0 || release == 0
                    || version > release) {
                    continue;
                }
                name = name.substr(slash + 1);
            } else if (name.rfind("META-INF/", 0) == 0) {
                continue;
            }
            auto& slot = chosen[name];
            if (!slot.second || version >= slot.first) {
                slot = {version, &e};
            }
        }
        for (const auto& c : chosen) {
            const ZipArchive::Entry& e = *c.second.second;
            if (!known.count(c.first)) {
                addClass({c.first == e.name ? std::string_view(e.name) : ownNames.emplace_back(c.first),
                          jar.get(), &e, nullptr});
            }
        }
    }

    // The first class of a name on the path is the one the runtime loads.
    void addClass(const ClassSource& c) {
        if (known.insert(c.name).second) {
            classes.push_back(c);
        }
    }

    void addFolder(const fs::path& dir) {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
            if (it->path().extension() == ".class" && it->is_regular_file(ec)) {
                std::string name = it->path().lexically_relative(dir).generic_u8string();
                if (!known.count(name)) {
                    addClass({ownNames.emplace_back(std::move(name)), nullptr, nullptr,
                              &files.emplace_back(it->path())});
                }
            }
        }
    }

    bool exists(const AppPathEntry& e, const char* kind) {
        std::error_code ec;
        const fs::path p = e.path.filename() == "*" ? e.path.parent_path() : e.path;
        if (fs::exists(p, ec)) {
            return true;
        }
        problems.push_back(std::string("the ") + kind + " entry " + quoted(e.given)
                           + " does not exist: give a path inside the application directory");
        return false;
    }

    // The class the runtime would start, once known.
    std::string mainClass;

private:
    void checkClassPath() {
        mainClass = request.mainClass;
        std::string where = "the class path";
        if (!request.mainJar.given.empty()) {
            const fs::path& jarPath = request.mainJar.path;
            const std::string shown = "the main JAR " + quoted(request.mainJar.given);
            std::error_code ec;
            if (jarPath.empty() || !fs::is_regular_file(jarPath, ec)) {
                return;  // a missing main JAR is its caller's to report
            }
            const std::shared_ptr<const ZipArchive> jar = open(jarPath, shown);
            Manifest manifest{std::string()};
            if (!jar || !readManifest(*jar, shown, manifest)) {
                return;
            }
            mainClass = manifest.get("Main-Class");
            if (mainClass.empty()) {
                problems.push_back(shown + " names no main class (its manifest has no Main-Class): "
                                   "build it with \"jar --main-class CLASS\", or give the main class "
                                   "and the class path instead");
                return;
            }
            addJar(jarPath, shown);
            where = shown + " and its Class-Path";
        }
        for (const AppPathEntry& e : request.classPath) {
            if (e.path.empty() || !exists(e, "class path")) {
                continue;
            }
            std::error_code ec;
            if (e.path.filename() == "*") {
                std::vector<fs::path> found;
                for (fs::directory_iterator it(e.path.parent_path(), ec), end; !ec && it != end;
                     it.increment(ec)) {
                    if (hasJarExtension(it->path()) && it->is_regular_file(ec)) {
                        found.push_back(it->path());
                    }
                }
                std::sort(found.begin(), found.end());
                for (const fs::path& jar : found) {
                    addJar(jar, quoted(jar.filename().u8string()) + " (of " + quoted(e.given) + ")");
                }
            } else if (fs::is_directory(e.path, ec)) {
                addFolder(e.path);
            } else {
                addJar(e.path, "the class path entry " + quoted(e.given));
            }
        }
        if (!mainClass.empty() && !unchecked()) {
            checkMainClass(mainClass, where);
        }
        checkVersions(mainClass);
    }

    // A class path entry this machine cannot see may hold the main class.
    bool unchecked() const {
        return std::any_of(request.classPath.begin(), request.classPath.end(),
                           [](const AppPathEntry& e) { return e.path.empty(); });
    }

    void checkMainClass(const std::string& mainClass, const std::string& where) {
        std::string resource = mainClass;
        std::replace(resource.begin(), resource.end(), '.', '/');
        resource += ".class";
        if (known.count(resource)) {
            return;
        }
        const std::string simple = mainClass.substr(mainClass.rfind('.') + 1);
        std::vector<std::string> likely;
        for (const ClassSource& c : classes) {
            const std::string name = dotted(std::string(c.name));
            const std::string other = name.substr(name.rfind('.') + 1);
            if (other == simple || oneSlipApart(name, mainClass)) {
                likely.push_back(name);
            }
        }
        std::sort(likely.begin(), likely.end());
        likely.resize(std::min<size_t>(likely.size(), 3));
        std::string hint;
        for (size_t i = 0; i < likely.size(); ++i) {
            hint += (i ? " or " : " (did you mean ") + likely[i];
        }
        problems.push_back("the main class " + mainClass + " is not in " + where
                           + (hint.empty() ? "" : hint + "?)")
                           + ": the runtime would stop with \"Could not find or load main class\"");
    }

    // Classes compiled for a newer Java fail when they load: the main class
    // at once, the others later.
    void checkVersions(const std::string& mainClass) {
        if (release == 0) {
            return;
        }
        std::string mainResource = mainClass;
        std::replace(mainResource.begin(), mainResource.end(), '.', '/');
        mainResource += ".class";
        std::vector<std::string> newer;
        size_t count = 0;
        const std::string fix = ": compile with \"javac --release " + std::to_string(release) + "\"";
        const std::vector<ClassInfo>& all = info();
        size_t index = 0;
        for (const ClassSource& c : classes) {
            const unsigned major = all[index++].major;
            if (major == 0 || javaReleaseOf(major) <= release) {
                continue;
            }
            const std::string what = dotted(std::string(c.name)) + " (Java " + std::to_string(javaReleaseOf(major))
                                     + ", class file version " + std::to_string(major) + ")";
            if (c.name == mainResource) {
                problems.push_back("the main class " + what + " is compiled for a newer Java than the "
                                   "runtime's Java " + std::to_string(release) + fix);
            } else {
                ++count;
                newer.push_back(what);
            }
        }
        // The first few by name, whatever order the classes were read in.
        std::sort(newer.begin(), newer.end());
        newer.resize(std::min<size_t>(newer.size(), 3));
        if (count > 0) {
            std::string list;
            for (size_t i = 0; i < newer.size(); ++i) {
                list += (i ? ", " : "") + newer[i];
            }
            problems.push_back(std::to_string(count) + (count == 1 ? " class is" : " classes are")
                               + " compiled for a newer Java than the runtime's Java "
                               + std::to_string(release) + ", such as " + list + fix);
        }
    }

    // Every class's major_version, and what it refers to when the runtime
    // may lack modules, in the order of `classes`; read once, after every
    // class is known.
    const std::vector<ClassInfo>& info() {
        if (!infos.empty() || classes.empty()) {
            return infos;
        }
        infos.resize(classes.size());
        if (!withReferences) {
            forEachClass(classHeaderSize, [&](size_t i, const std::string& bytes) {
                infos[i].major = classMajorVersion(bytes);
            });
            return infos;
        }
        // A first pass finds whether any class can lead to a finding; for
        // most applications none can, and the classes are read once. Once
        // one can, every class read from then on has its references taken
        // at once: only those read before are inflated a second time.
        const NeedsFilter filter(runtime, std::set<std::string>(request.absentModules.begin(),
                                                                 request.absentModules.end()));
        std::atomic<bool> relevant{needAllReferences};
        std::vector<char> taken(classes.size(), 0);
        forEachClass(SIZE_MAX, [&](size_t i, const std::string& bytes) {
            infos[i].major = classMajorVersion(bytes);
            if (relevant.load(std::memory_order_relaxed) || filter.relevant(bytes)) {
                relevant = true;
                infos[i].references = classReferencesOf(bytes);
                taken[i] = 1;
            }
        });
        referencesRead = relevant;
        if (relevant) {
            forEachClass(SIZE_MAX, [&](size_t i, const std::string& bytes) {
                infos[i].references = classReferencesOf(bytes);
            }, &taken);
        }
        return infos;
    }

    // Calls `use` with the first `limit` bytes of every class, in the order
    // of `classes` (unreadable ones, and those `skip` marks, are skipped). Inflating is most of the
    // check's time: it is shared among the processor's cores.
    template <class Use>
    void forEachClass(size_t limit, const Use& use, const std::vector<char>* skip = nullptr) const {
        // In the order of the jars' bytes, so that memory is read forwards:
        // the order they were found in, but for a multi-release jar's.
        std::map<const ZipArchive*, size_t> jarOrder;
        std::vector<std::pair<std::pair<size_t, uint64_t>, size_t>> order(classes.size());
        for (size_t i = 0; i < order.size(); ++i) {
            const ClassSource& s = classes[i];
            const auto jar = jarOrder.emplace(s.jar, jarOrder.size());
            if (s.jar && jar.second) {
                s.jar->loadWhole();
            }
            order[i] = {{jar.first->second, s.entry ? s.entry->localHeaderOffset : 0}, i};
        }
        if (!std::is_sorted(order.begin(), order.end())) {
            std::sort(order.begin(), order.end());
        }
        // Threads take the next few classes as they finish, so that one slowed
        // down by the copying beside it keeps no other waiting.
        std::atomic<size_t> next{0};
        const size_t chunk = 64;
        const auto work = [&]() {
            ZipArchive::Inflater inflater;
            for (size_t first; (first = next.fetch_add(chunk)) < order.size();) {
                for (size_t k = first; k < std::min(first + chunk, order.size()); ++k) {
                    const size_t i = order[k].second;
                    if (skip && (*skip)[i]) {
                        continue;
                    }
                    try {
                        use(i, bytesOf(classes[i], limit, inflater));
                    } catch (const PackError&) {
                    }
                }
            }
        };
        const size_t threads = classes.size() < 1000 ? 1
                : std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
        std::vector<std::thread> helpers;
        for (size_t t = 1; t < threads; ++t) {
            helpers.emplace_back(work);
        }
        work();
        for (std::thread& h : helpers) {
            h.join();
        }
    }

    // A module: its descriptor's name, else the manifest's
    // Automatic-Module-Name, else the name the runtime derives from the file.
    static std::string automaticName(const fs::path& jar) {
        std::string stem = jar.stem().u8string();
        for (size_t i = 0; i + 1 < stem.size(); ++i) {
            if (stem[i] == '-' && stem[i + 1] >= '0' && stem[i + 1] <= '9') {
                stem.resize(i);
                break;
            }
        }
        std::string name;
        for (const char c : stem) {
            const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            if (alnum) {
                name += c;
            } else if (!name.empty() && name.back() != '.') {
                name += '.';
            }
        }
        while (!name.empty() && name.back() == '.') {
            name.pop_back();
        }
        return name;
    }

    void addModuleJar(const fs::path& path, const std::string& shown) {
        const std::shared_ptr<const ZipArchive> jar = open(path, shown);
        if (!jar) {
            return;
        }
        std::string name = moduleNameOf(moduleInfoOf(*jar, shown));
        Manifest manifest{std::string()};
        if (name.empty() && readManifest(*jar, shown, manifest)) {
            name = manifest.get("Automatic-Module-Name");
        }
        modules.emplace(name.empty() ? automaticName(path) : name, path);
    }

    // What "java -m MODULE" starts: the descriptor's ModuleMainClass, or an
    // automatic module's Main-Class.
    std::string descriptorMainClass(const fs::path& module) {
        std::error_code ec;
        if (fs::is_directory(module, ec)) {
            return moduleMainClassOf(moduleInfoOf(module));
        }
        const std::string shown = quoted(module.filename().u8string());
        const std::shared_ptr<const ZipArchive> jar = open(module, shown);
        if (!jar) {
            return std::string();
        }
        if (jar->find("module-info.class")) {
            return moduleMainClassOf(moduleInfoOf(*jar, shown));
        }
        Manifest manifest{std::string()};
        return readManifest(*jar, shown, manifest) ? manifest.get("Main-Class") : std::string();
    }

    void addModuleFolder(const fs::path& dir) {
        const std::string name = moduleNameOf(moduleInfoOf(dir));
        if (!name.empty()) {
            modules.emplace(name, dir);
        }
    }

    void checkModule() {
        for (const AppPathEntry& e : request.modulePath) {
            if (e.path.empty() || !exists(e, "module path")) {
                continue;
            }
            std::error_code ec;
            if (!fs::is_directory(e.path, ec)) {
                addModuleJar(e.path, "the module path entry " + quoted(e.given));
            } else if (fs::exists(e.path / "module-info.class", ec)) {
                addModuleFolder(e.path);
            } else {
                for (fs::directory_iterator it(e.path, ec), end; !ec && it != end; it.increment(ec)) {
                    if (it->is_directory(ec)) {
                        addModuleFolder(it->path());
                    } else if (hasJarExtension(it->path())) {
                        addModuleJar(it->path(), quoted(it->path().filename().u8string()));
                    }
                }
            }
        }
        const bool unseen = std::any_of(request.modulePath.begin(), request.modulePath.end(),
                                        [](const AppPathEntry& e) { return e.path.empty(); });
        const size_t slash = request.mainModule.find('/');
        const std::string module = request.mainModule.substr(0, slash);
        const auto found = modules.find(module);
        if (found == modules.end()) {
            if (!unseen) {
                problems.push_back("no module path entry provides the main module " + module
                                   + ": the runtime would stop with \"Module " + module + " not found\"");
            }
            return;
        }
        if (slash == std::string::npos) {
            mainClass = descriptorMainClass(found->second);
            if (mainClass.empty()) {
                problems.push_back("the main module " + module + " names no main class: the runtime would "
                                   "stop with \"module " + module + " does not have a ModuleMainClass "
                                   "attribute\"; give --main-module " + module + "/CLASS, or build its jar "
                                   "with \"jar --main-class CLASS\"");
            }
            addModuleClasses();
            return;
        }
        mainClass = request.mainModule.substr(slash + 1);
        addModuleClasses(found->second);
        checkMainClass(mainClass, "the module " + module);
        addModuleClasses();
        checkVersions(mainClass);
    }

    // The classes of one module of the module path, or of all, for the
    // module checks (the main module's first: a class is counted once).
    void addModuleClasses(const fs::path& only = fs::path()) {
        if (!withReferences && only.empty()) {
            return;
        }
        for (const auto& m : modules) {
            if (!only.empty() && m.second != only) {
                continue;
            }
            std::error_code ec;
            if (fs::is_directory(m.second, ec)) {
                addFolder(m.second);
            } else {
                addJar(m.second, quoted(m.second.filename().u8string()));
            }
        }
    }

    const AppCheckRequest& request;
    RuntimeContents runtime;
    unsigned release;
    bool withReferences;
    bool needAllReferences = false;  // for a runtime made to measure
    bool referencesRead = false;
    std::vector<ClassInfo> infos;
    std::vector<std::string> problems;
    std::map<fs::path, std::shared_ptr<const ZipArchive>> jars;
    std::set<fs::path> visited;
    std::deque<std::string> ownNames;  // of the classes below, where their sources hold none
    std::deque<fs::path> files;
    std::vector<ClassSource> classes;  // the first of each name on the path, in the order found
    std::unordered_set<std::string_view> known;  // their names
    std::map<std::string, fs::path> modules;
    // Threads reading jars ahead; last, so that they are joined first.
    struct Threads {
        ~Threads() {
            for (std::thread& t : threads) {
                t.join();
            }
        }
        std::vector<std::thread> threads;
    } loading;
};

bool isSize(const std::string& text) {
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        ++digits;
    }
    return digits > 0 && (digits == text.size()
                          || (digits + 1 == text.size()
                              && std::string("kKmMgGtT").find(text[digits]) != std::string::npos));
}

} // namespace

std::string javaOptionProblem(const std::string& option) {
    if (!option.empty() && option[0] == '@') {
        return std::string();  // an argument file, refused as such by the configuration
    }
    if (option.empty() || option[0] != '-') {
        return "the Java option " + quoted(option) + " does not begin with '-': the runtime would "
               "take it for the main class; write it as it is written after \"java\"";
    }
    // A system property's value may hold anything, blanks included.
    if (option.rfind("-D", 0) != 0 && option.find(" -") != std::string::npos) {
        return "the Java option " + quoted(option) + " holds two options: give each as an option "
               "of its own";
    }
    for (const char* size : {"-Xmx", "-Xms", "-Xss"}) {
        if (option.rfind(size, 0) == 0 && !isSize(option.substr(4))) {
            return "the Java option " + quoted(option) + " is not a size the runtime reads: "
                   + size + " takes a number with an optional k, m, g or t, such as " + size + "512m";
        }
    }
    return std::string();
}

std::vector<std::string> checkApplication(const AppCheckRequest& request, std::string* mainClass,
                                          std::vector<std::string>* warnings) {
    try {
        Checker checker(request);
        std::vector<std::string> problems = checker.run();
        if (mainClass) {
            *mainClass = checker.mainClass;
        }
        if (warnings) {
            *warnings = checker.warnings;
        }
        return problems;
    } catch (const PackError& e) {
        // A jar that opened but whose entries cannot be read.
        return {std::string(e.what()) + ": the runtime cannot read it; build it with the jar tool"};
    }
}

std::vector<std::string> applicationModules(const AppCheckRequest& request, unsigned release, bool withWarned) {
    Checker checker(request);
    checker.collectForRuntime(release);
    const RuntimeNeedsRequest needs = checker.needsRequest();
    const std::set<std::string> modules = modulesNeeded(needs, withWarned);
    return std::vector<std::string>(modules.begin(), modules.end());
}
