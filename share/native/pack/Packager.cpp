// Packing an image with standard C++ only, so the same code runs on any
// build machine and as a Windows program.
#include "Packager.h"

#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "PackError.h"
#include "ScratchDirectory.h"

namespace fs = std::filesystem;

namespace {

// Windows refuses these names and characters in file names.
void checkName(const std::string& name) {
    static const char* const reserved[] = {"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3",
        "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4",
        "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    std::string upper;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::string("<>:\"/\\|?*").find(c) != std::string::npos) {
            throw PackError("the name \"" + name + "\" holds a character Windows refuses in file names");
        }
        upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    if (name.empty() || name.back() == '.' || name.back() == ' ') {
        throw PackError("the name \"" + name + "\" is not a valid Windows file name");
    }
    for (const char* r : reserved) {
        if (upper == r || upper.rfind(std::string(r) + ".", 0) == 0) {
            throw PackError("the name \"" + name + "\" is reserved by Windows");
        }
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

void copyTree(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::copy(from, to, fs::copy_options::recursive, ec);
    if (ec) {
        throw PackError("cannot copy " + shown(from) + " to " + shown(to) + ": " + ec.message());
    }
}

void stampLauncher(const PackRequest& r, const char* launcher, const std::string& fileName,
                   const fs::path& image) {
    Branding branding = r.branding;
    branding.name = r.name;
    branding.fileName = fileName;
    if (!r.icon.empty()) {
        branding.icon = readBinaryFile(r.icon);
        branding.iconWhat = r.icon.u8string();
    }
    const fs::path from = r.launchers / launcher;
    writeBinaryFile(image / fs::u8path(fileName),
                    stampExecutable(readBinaryFile(from), from.u8string(), branding));
}

bool startsWithHeader(const fs::path& cfg) {
    std::ifstream in(cfg, std::ios::binary);
    std::string first;
    return in && std::getline(in, first) && first == cfgHeaderLine;
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

} // namespace

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
const char* consoleLauncherName() { return "loftwick-launcher-console.exe"; }

Bytes readBinaryFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw PackError("cannot read " + shown(path));
    }
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw PackError("cannot read " + shown(path));
    }
    return bytes;
}

void writeBinaryFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw PackError("cannot write " + shown(path));
    }
}

void pack(const PackRequest& r) {
    checkName(r.name);
    requireDirectory(r.input, "the application directory");
    requireDirectory(r.runtime, "the Java runtime");
    checkOverlap(r);
    checkOutput(fs::absolute(r.output), r.replace);
    std::error_code ec;
    if (!fs::is_regular_file(r.runtime / "bin" / "jli.dll", ec)) {
        throw PackError("the Java runtime " + shown(r.runtime)
                        + " has no bin\\jli.dll: it is not a runtime image for Windows");
    }
    const fs::path cfgName = fs::u8path(r.name + ".cfg");
    if (fs::exists(r.input / cfgName, ec)) {
        throw PackError("the application directory already holds " + cfgName.u8string()
                        + ", which the image's configuration would replace");
    }
    LaunchSettings launch = r.launch;
    if (!launch.mainJar.empty() && !fs::is_regular_file(r.input / fs::u8path(launch.mainJar), ec)) {
        throw PackError("the main JAR " + shown(r.input / fs::u8path(launch.mainJar)) + " does not exist");
    }
    if (!r.splash.empty()) {
        launch.splash = r.splash.filename().u8string();
        if (fs::exists(r.input / r.splash.filename(), ec)) {
            throw PackError("the application directory already holds a file named "
                            + launch.splash + ", the name of the splash image");
        }
    }
    const std::string cfg = cfgText(launch);
    fs::create_directories(fs::absolute(r.output).parent_path(), ec);

    // Moved into place at the end, the scratch directory becomes the image.
    const ScratchDirectory image(fs::absolute(r.output));
    copyTree(r.input, image.path / "app");
    if (!r.splash.empty()) {
        copyTree(r.splash, image.path / "app" / r.splash.filename());
    }
    writeBinaryFile(image.path / "app" / cfgName, Bytes(cfg.begin(), cfg.end()));
    copyTree(r.runtime, image.path / "runtime");
    if (r.kind != PackRequest::Console) {
        stampLauncher(r, guiLauncherName(), r.name + ".exe", image.path);
    }
    if (r.kind != PackRequest::Gui) {
        stampLauncher(r, consoleLauncherName(),
                      r.name + (r.kind == PackRequest::Both ? ".com" : ".exe"), image.path);
    }
    moveIntoPlace(image.path, fs::absolute(r.output), r.replace);
}
