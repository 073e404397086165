// Packing an image with standard C++ only, so the same code runs on any
// build machine and as a Windows program.
#include "Packager.h"

#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <future>
#include <iterator>
#include <system_error>
#include <utility>

#include "AppCheck.h"
#include "ElfFile.h"
#include "HicolorIcons.h"
#include "Installer.h"
#include "LinuxPackage.h"
#include "PackError.h"
#include "ProductFile.h"
#include "ScratchDirectory.h"
#include "TreeWalk.h"
#include "WindowsNames.h"

namespace fs = std::filesystem;

namespace {

void checkName(const std::string& name) {
    const std::string problem = windowsNameProblem(name);
    if (!problem.empty()) {
        throw PackError("the name \"" + name + "\" " + problem);
    }
}

void requireDirectory(const fs::path& path, const std::string& what) {
    std::error_code ec;
    if (!fs::is_directory(path, ec)) {
        throw PackError(what + " " + shown(path) + " is not a directory");
    }
}

// An image inside its own input would copy itself without end; replacing a
// directory that holds the input would delete the user's files.
void checkOverlap(const PackRequest& r) {
    for (const auto& source : {std::make_pair(r.input, "application directory"),
                               std::make_pair(r.runtime, "Java runtime")}) {
        if (isWithin(r.output, source.first) || isWithin(source.first, r.output)) {
            throw PackError("the output " + shown(r.output) + " and the " + source.second + " "
                            + shown(source.first) + " lie inside one another");
        }
    }
}

void copyFile(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::copy_file(from, to, ec);
    if (ec) {
        throw PackError("cannot copy " + shown(from) + " to " + shown(to) + ": " + ec.message());
    }
}

void copyTree(const std::vector<TreeEntry>& entries, const fs::path& to) {
    std::error_code ec;
    fs::create_directories(to, ec);
    for (const TreeEntry& entry : entries) {
        if (entry.directory) {
            fs::create_directory(to / entry.relative, ec);
            if (ec) {
                throw PackError("cannot create " + shown(to / entry.relative) + ": " + ec.message());
            }
        } else {
            copyFile(entry.source, to / entry.relative);
        }
    }
}

// The runtime's own layout tells the image's system: bin\\jli.dll on
// Windows, lib/libjli.so (an x86-64 ELF library) on Linux.
bool runtimeIsForLinux(const fs::path& runtime) {
    std::error_code ec;
    if (fs::is_regular_file(runtime / "bin" / "jli.dll", ec)) {
        return false;
    }
    const fs::path jli = runtime / "lib" / "libjli.so";
    if (fs::is_regular_file(jli, ec)) {
        std::ifstream in(jli, std::ios::binary);
        Bytes header(20);
        in.read(reinterpret_cast<char*>(header.data()), 20);
        if (!isX86_64Elf(header)) {
            throw PackError("the Java runtime " + shown(runtime) + " is not for x86-64 Linux: its "
                            "lib/libjli.so is not an x86-64 ELF library");
        }
        return true;
    }
    const std::string other = fs::exists(runtime / "lib" / "libjli.dylib", ec) ? " (it is one for macOS)" : "";
    throw PackError("the Java runtime " + shown(runtime) + " has neither bin\\jli.dll nor "
                    "lib/libjli.so: it is not a runtime image for Windows or Linux" + other);
}

// The Linux launcher, renamed bin/NAME and executable.
std::vector<std::string> placeLinuxLauncher(const PackRequest& r, const fs::path& launchers,
                                            const fs::path& image) {
    std::error_code ec;
    fs::create_directories(image / "bin", ec);
    const fs::path exe = image / "bin" / fs::u8path(r.name);
    copyFile(launchers / linuxLauncherName(), exe);
    fs::permissions(exe, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec
                    | fs::perms::others_read | fs::perms::others_exec, ec);
    if (ec || (fs::status(exe, ec).permissions() & fs::perms::owner_exec) == fs::perms::none) {
        return {"this machine cannot mark bin/" + r.name + " executable: run \"chmod +x bin/"
                + r.name + "\" in the image on Linux, or keep the mode when you archive it"};
    }
    return {};
}

bool isOneToFourNumbers(const std::string& version) {
    size_t fields = 1, digits = 0;
    for (const char c : version) {
        if (c == '.' && digits > 0) {
            ++fields;
            digits = 0;
        } else if (c >= '0' && c <= '9') {
            ++digits;
        } else {
            return false;
        }
    }
    return digits > 0 && fields <= 4;
}

// The version as --app-version promises it, and as the package steps take
// it: what they would refuse is said now.
std::vector<std::string> linuxVersionObjections(const std::string& version) {
    const std::string deb = linuxVersionProblem(version, LinuxPackageRequest::Deb);
    const std::string rpm = linuxVersionProblem(version, LinuxPackageRequest::Rpm);
    if (deb.empty() && rpm.empty() && isOneToFourNumbers(version)) {
        return {};
    }
    std::string text = "the version \"" + version + "\" is not one to four numbers";
    if (!deb.empty() || !rpm.empty()) {
        const std::string why = deb.empty() ? rpm : rpm.empty() || rpm == deb ? deb : deb + ", and " + rpm;
        const std::string steps = deb.empty() ? "the rpm step"
                                : rpm.empty() ? "the deb step" : "the deb and rpm steps";
        text += "; it " + why + ": " + steps + " will refuse it unless given \"--app-version\"";
    }
    return {text};
}

// lib/NAME.product and the icon beside it: the packages of a Linux image
// state what these say, as the .msi states what NAME.exe says. Returns a
// warning when the window class cannot be told.
std::vector<std::string> writeLinuxProduct(const PackRequest& r, const fs::path& image,
                                           const std::string& mainClass) {
    const Branding& b = r.branding;
    Product product;
    product.name = b.productName.empty() ? r.name : b.productName;
    product.version = b.version;
    product.vendor = b.vendor.empty() ? r.name : b.vendor;
    product.description = b.description.empty() ? r.name : b.description;
    product.copyright = b.copyright;
    product.windowClass = windowClassOf(mainClass);
    if (!r.icon.empty()) {
        const Bytes icon = readBinaryFile(r.icon, iconFileLimit);
        hicolorIcons(icon, shown(r.icon));
        const bool png = icon.size() > 4 && icon[1] == 'P' && icon[2] == 'N' && icon[3] == 'G';
        product.icon = r.name + (png ? ".png" : ".ico");
        writeBinaryFile(image / "lib" / fs::u8path(product.icon), icon);
    }
    const std::string text = productText(product);
    writeBinaryFile(image / "lib" / fs::u8path(r.name + ".product"), Bytes(text.begin(), text.end()));
    std::vector<std::string> warnings = linuxVersionObjections(product.version);
    if (product.windowClass.empty()) {
        warnings.push_back("the main class cannot be told here, so the desktop entries of this image's "
                           "packages cannot name the window class of its windows (StartupWMClass): give "
                           "--main-class, or --main-module MODULE/CLASS");
    }
    return warnings;
}

// A file of the input whose name Windows takes for `name` would be replaced.
void refuseNameTaken(const std::vector<TreeEntry>& input, const std::string& name,
                     const std::string& as) {
    for (const TreeEntry& entry : input) {
        if (entry.relative.has_parent_path() == false
            && caseFolded(entry.relative.u8string()) == caseFolded(name)) {
            throw PackError("the application directory already holds " + entry.relative.u8string()
                            + ", which " + as + " would replace");
        }
    }
}

void stampLauncher(const PackRequest& r, const fs::path& from, const std::string& fileName,
                   const fs::path& image) {
    Branding branding = r.branding;
    branding.name = r.name;
    branding.fileName = fileName;
    if (!r.icon.empty()) {
        branding.icon = readBinaryFile(r.icon, iconFileLimit);
        branding.iconWhat = r.icon.u8string();
    }
    writeBinaryFile(image / fs::u8path(fileName),
                    stampExecutable(readBinaryFile(from), from.u8string(), branding));
}

bool startsWithHeader(const fs::path& cfg, const char* header = cfgHeaderLine) {
    std::error_code ec;
    const std::string line = std::string(header) + "\n";
    std::string first(line.size(), '\0');
    std::ifstream in;
    if (fs::is_regular_file(cfg, ec)) {
        in.open(cfg, std::ios::binary);
    }
    return in.read(&first[0], static_cast<std::streamsize>(first.size())) && first == line;
}

// Empty when `output` is an application image this tool made: NAME.exe,
// app\NAME.cfg with the tool's header line, runtime\. Otherwise what is there.
std::string whyNotAnImage(const fs::path& output) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(output, ec);
    if (fs::is_symlink(status)) {
        return "is a symbolic link";
    }
    if (!fs::is_directory(status)) {
        return fs::is_regular_file(status) ? "is a file" : "is neither a file nor a folder";
    }
    for (fs::directory_iterator it(output / "bin", ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path cfg = output / "lib" / "app" / fs::u8path(it->path().filename().u8string() + ".cfg");
        if (fs::is_regular_file(it->path(), ec) && fs::is_directory(output / "lib" / "runtime", ec)
            && startsWithHeader(cfg, linuxCfgHeaderLine)) {
            return std::string();
        }
    }
    for (fs::directory_iterator it(output, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path exe = it->path();
        const fs::path cfg = output / "app" / fs::u8path(exe.stem().u8string() + ".cfg");
        if (exe.extension() == ".exe" && fs::is_regular_file(exe, ec)
            && fs::is_directory(output / "runtime", ec) && startsWithHeader(cfg)) {
            return std::string();
        }
    }
    return "is a folder without NAME.exe, app\\NAME.cfg written by loftwick-pack and runtime\\";
}

// Whether something is at `output`, which may then be replaced.
bool checkOutput(const fs::path& output, bool replace) {
    std::error_code ec;
    const bool exists = fs::exists(fs::symlink_status(output, ec));
    if (exists && !replace) {
        throw PackError(shown(output) + " exists; --replace replaces it");
    }
    const std::string why = exists ? whyNotAnImage(output) : std::string();
    if (!why.empty()) {
        throw PackError(shown(output) + " " + why + ": --replace replaces only an application "
                        "image made by loftwick-pack; move it away or choose another --output");
    }
    return exists;
}

void moveIntoPlace(const fs::path& built, const fs::path& output, bool replace) {
    std::error_code ec;
    const bool exists = checkOutput(output, replace);
    fs::path old;
    if (exists) {
        old = built.parent_path() / (built.filename().u8string() + ".old");
        fs::rename(output, old, ec);
        if (ec) {
            throw PackError("cannot move " + shown(output) + " aside: " + ec.message());
        }
    }
    fs::rename(built, output, ec);
    if (ec) {
        if (!old.empty()) {
            fs::rename(old, output, ec);
        }
        throw PackError("cannot move the image to " + shown(output) + ": " + ec.message());
    }
    if (!old.empty()) {
        fs::remove_all(old, ec);
    }
}

// Where the launcher will look for an entry, on this machine: inside the
// input, or (an absolute Windows path, another macro) nowhere to check here.
AppPathEntry checkEntry(const PackRequest& r, const std::string& given) {
    std::string relative = given;
    if (relative.rfind("$APPDIR", 0) == 0) {
        relative = relative.substr(7);
    } else if (relative.empty() || relative[0] == '$' || relative[0] == '/' || relative[0] == '\\'
               || (relative.size() > 1 && relative[1] == ':') || leavesItsDirectory(relative)) {
        return {given, fs::path()};  // refused as a path, or elsewhere on the user's machine
    }
    std::replace(relative.begin(), relative.end(), '\\', '/');
    while (!relative.empty() && relative[0] == '/') {
        relative.erase(0, 1);
    }
    return {given, r.input / fs::u8path(relative)};
}

// One problem as it is; several together, one a line, so that one run
// shows everything to mend.
void refuse(const std::vector<std::string>& problems) {
    if (problems.size() == 1) {
        throw PackError(problems.front());
    }
    if (!problems.empty()) {
        std::string text = std::to_string(problems.size()) + " problems; nothing was written:";
        for (const std::string& p : problems) {
            text += "\n  " + p;
        }
        throw PackError(text);
    }
}

// The image's files in `image`; returns what a later step will refuse.
std::vector<std::string> buildImage(const PackRequest& r, bool linux, const fs::path& launchers,
                                    const std::vector<TreeEntry>& input,
                                    const std::vector<TreeEntry>& runtime, const fs::path& cfgName,
                                    const std::string& cfg, const fs::path& image) {
    const fs::path appDir = linux ? image / "lib" / "app" : image / "app";
    copyTree(input, appDir);
    if (!r.splash.empty()) {
        copyFile(r.splash, appDir / r.splash.filename());
    }
    writeBinaryFile(appDir / cfgName, Bytes(cfg.begin(), cfg.end()));
    copyTree(runtime, linux ? image / "lib" / "runtime" : image / "runtime");
    std::vector<std::string> warnings;
    if (linux) {
        warnings = placeLinuxLauncher(r, launchers, image);
    } else {
        if (r.kind != PackRequest::Console) {
            stampLauncher(r, launchers / guiLauncherName(), r.name + ".exe", image);
        }
        if (r.kind != PackRequest::Gui) {
            stampLauncher(r, launchers / consoleLauncherName(),
                          r.name + (r.kind == PackRequest::Both ? ".com" : ".exe"), image);
        }
        const Branding& b = r.branding;
        warnings = installerObjections(b.productName.empty() ? r.name : b.productName, b.version,
                                       b.vendor.empty() ? r.name : b.vendor,
                                       b.description.empty() ? r.name : b.description);
    }
    return warnings;
}

} // namespace

AppCheckRequest checkRequest(const PackRequest& r) {
    AppCheckRequest c;
    for (const std::string& e : r.launch.classPath) {
        c.classPath.push_back(checkEntry(r, e));
    }
    for (const std::string& e : r.launch.modulePath) {
        c.modulePath.push_back(checkEntry(r, e));
    }
    if (!r.launch.mainJar.empty()) {
        c.mainJar = checkEntry(r, r.launch.mainJar);
    }
    c.mainClass = r.launch.mainClass;
    c.mainModule = r.launch.mainModule;
    c.javaOptions = r.launch.javaOptions;
    c.runtime = r.runtime;
    c.appDir = r.input;
    c.absentModules = r.absentModules;
    return c;
}

std::string shown(const fs::path& path) {
    return "\"" + path.u8string() + "\"";
}

bool isWithin(const fs::path& inner, const fs::path& outer) {
    std::error_code ec;
    const fs::path a = fs::weakly_canonical(fs::absolute(inner), ec);
    const fs::path b = fs::weakly_canonical(fs::absolute(outer), ec);
    auto ai = a.begin();
    for (auto bi = b.begin(); bi != b.end(); ++bi, ++ai) {
        if (bi->empty() && std::next(bi) == b.end()) {
            break;  // a trailing separator
        }
        if (ai == a.end() || *ai != *bi) {
            return false;
        }
    }
    return true;
}

const char* guiLauncherName() { return "loftwick-launcher.exe"; }
const char* linuxLauncherName() { return "loftwick-launcher"; }

fs::path findLaunchers(const fs::path& self, const char* launcher) {
    const fs::path dir = self.parent_path();
    // Beside the tool in a release; in the build tree, the Windows build's
    // bin and the native build's bin hold one kind each.
    for (const fs::path& candidate : {dir, dir / ".." / ".." / "bin", dir / ".." / "host" / "bin"}) {
        std::error_code ec;
        if (fs::is_regular_file(candidate / launcher, ec)) {
            return candidate.lexically_normal();
        }
    }
    throw PackError(std::string("no ") + launcher + " beside " + self.u8string()
                    + ": name the launchers' directory with --launchers");
}
const char* consoleLauncherName() { return "loftwick-launcher-console.exe"; }

Bytes readBinaryFile(const fs::path& path, uint64_t limit) {
    std::error_code ec;
    // A pipe or a device would be read for ever, or block the open itself.
    if (fs::exists(path, ec) && !fs::is_regular_file(path, ec)) {
        throw PackError("cannot read " + shown(path) + ": it is not a file");
    }
    const uint64_t size = fs::file_size(path, ec);
    if (!ec && size > limit) {
        throw PackError("cannot read " + shown(path) + ": it holds " + std::to_string(size)
                        + " bytes, more than such a file ever needs (" + std::to_string(limit) + ")");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in || ec) {
        throw PackError("cannot read " + shown(path));
    }
    Bytes bytes(static_cast<size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<size_t>(in.gcount()));
    if (in.bad()) {
        throw PackError("cannot read " + shown(path));
    }
    return bytes;
}

std::string fileTail(const fs::path& path, size_t limit) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : 0;
    const std::streamoff kept = static_cast<std::streamoff>(limit);
    const std::streamoff from = size > kept ? size - kept : 0;
    std::string text(static_cast<size_t>(size - from), '\0');
    in.seekg(from);
    in.read(&text[0], static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in ? text.size() : 0));
    return from > 0 ? "...\n" + text : text;
}

void writeBinaryFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw PackError("cannot write " + shown(path));
    }
}

std::vector<std::string> pack(const PackRequest& r) {
    checkName(r.name);
    requireDirectory(r.input, "the application directory");
    requireDirectory(r.runtime, "the Java runtime");
    checkOverlap(r);
    checkOutput(fs::absolute(r.output), r.replace);
    // Reading the application's classes takes a while: it runs from here on,
    // while the trees are walked and the image is copied beside the output;
    // a refusal discards the copy.
    std::string mainClass;
    std::vector<std::string> applicationWarnings;
    std::future<std::vector<std::string>> application = std::async(
            std::launch::async, [request = checkRequest(r), &mainClass, &applicationWarnings] {
                return checkApplication(request, &mainClass, &applicationWarnings);
            });
    const bool linux = runtimeIsForLinux(r.runtime);
    const fs::path launchers = r.launchers.empty()
            ? findLaunchers(r.self, linux ? linuxLauncherName() : guiLauncherName()) : r.launchers;
    std::error_code ec;
    const std::vector<TreeEntry> input = walkTree(r.input, "the application directory");
    const std::vector<TreeEntry> runtime = walkTree(r.runtime, "the Java runtime");
    const fs::path cfgName = fs::u8path(r.name + ".cfg");
    refuseNameTaken(input, cfgName.u8string(), "the image's configuration");
    LaunchSettings launch = r.launch;
    launch.forLinux = linux;
    // One Linux launcher serves every kind: a command-line tool's is told
    // never to show a dialog, which no one waits for in a script.
    launch.failureBox = launch.failureBox && !(linux && r.kind == PackRequest::Console);
    if (!r.splash.empty()) {
        launch.splash = r.splash.filename().u8string();
        checkName(launch.splash);
        refuseNameTaken(input, launch.splash, "the splash image of that name");
    }
    std::vector<std::string> problems;
    if (!launch.mainJar.empty() && !fs::is_regular_file(r.input / fs::u8path(launch.mainJar), ec)) {
        problems.push_back("the main JAR " + shown(r.input / fs::u8path(launch.mainJar))
                           + " does not exist");
    }
    std::string cfg;
    try {
        cfg = cfgText(launch);
    } catch (const PackError& e) {
        problems.push_back(e.what());
    }
    const std::string noVm = virtualMachineProblem(r.runtime);
    if (!noVm.empty()) {
        problems.push_back(noVm);
    }
    const auto refuseWithApplication = [&]() {
        for (const std::string& p : application.get()) {
            problems.push_back(p);
        }
        refuse(problems);
    };
    if (!problems.empty()) {
        refuseWithApplication();
    }
    const fs::path parent = fs::absolute(r.output).parent_path();
    const bool parentExisted = fs::exists(parent, ec);
    fs::create_directories(parent, ec);
    try {
        // Moved into place at the end, the scratch directory becomes the image.
        const ScratchDirectory image(fs::absolute(r.output));
        std::vector<std::string> warnings = buildImage(r, linux, launchers, input, runtime,
                                                       cfgName, cfg, image.path);
        refuseWithApplication();
        warnings.insert(warnings.begin(), applicationWarnings.begin(), applicationWarnings.end());
        if (linux) {
            for (const std::string& w : writeLinuxProduct(r, image.path, mainClass)) {
                warnings.push_back(w);
            }
        }
        moveIntoPlace(image.path, fs::absolute(r.output), r.replace);
        return warnings;
    } catch (...) {
        if (!parentExisted) {
            fs::remove(parent, ec);  // only when still empty
        }
        throw;
    }
}

Bytes gzipped(const std::string& text) {
    z_stream z = {};
    deflateInit2(&z, 9, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, static_cast<uLong>(text.size())) + 32);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}
