// Everything the installer would state is checked before wixl runs: wixl
// writes Windows-1252 text only (and crashes on other characters), and
// Windows Installer compares only three version fields.
#include "Installer.h"

#include <algorithm>
#include <functional>
#include <set>
#include <system_error>

#include "IconFile.h"
#include "OutputFile.h"
#include "PackError.h"
#include "Packager.h"
#include "ScratchDirectory.h"
#include "ToolRun.h"
#include "Utf16.h"
#include "WindowsNames.h"

namespace fs = std::filesystem;

namespace {

// Loftwick's own namespace for upgrade codes.
const char* const upgradeNamespace = "C0F7FC7B-9F70-4A06-A8A6-719D7D4491F7";

const char* const wixlMissing =
    "wixl, the MSI builder, is not installed (or not on PATH): install it with "
    "\"sudo apt install wixl\" (Debian, Ubuntu), \"brew install msitools\" (macOS) or "
    "\"pacman -S mingw-w64-x86_64-msitools\" (MSYS2 on Windows); --wix-source writes "
    "the WiX source without it";

std::string inQuotes(const std::string& text) {
    return "\"" + text + "\"";
}

bool inWindows1252(char16_t c) {
    static const std::u16string upper = u"\u20AC\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030"
        u"\u0160\u2039\u0152\u017D\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161"
        u"\u203A\u0153\u017E\u0178";
    return (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF) || upper.find(c) != std::u16string::npos;
}

// wixl replaces $(env.X), $(sys.X) and $(var.X) anywhere in its source
// with the build machine's values, and offers no escape for "$(".
void checkNoVariable(const std::string& text, const std::string& what) {
    if (text.find("$(") != std::string::npos) {
        throw PackError(what + " " + inQuotes(text) + " holds \"$(\", which wixl, the MSI builder, "
                        "would replace with a variable of the build machine, such as $(env.HOME); "
                        "the installer cannot carry it");
    }
}

void checkText(const std::string& text, const std::string& what) {
    if (text.empty()) {
        throw PackError(what + " is empty");
    }
    checkNoVariable(text, what);
    const std::u16string wide = utf8ToUtf16(text, what);
    for (size_t i = 0; i < wide.size(); ++i) {
        if (!inWindows1252(wide[i])) {
            const bool pair = wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size();
            throw PackError(what + " " + inQuotes(text) + " holds "
                            + (wide[i] < 0x20 ? std::string("a control character")
                                              : inQuotes(utf16ToUtf8(wide.substr(i, pair ? 2 : 1), what)))
                            + ", which the installer cannot carry: its text is Windows-1252");
        }
    }
}

void checkFileName(const std::string& name, const std::string& what) {
    checkText(name, what);
    const std::string problem = windowsNameProblem(name);
    if (!problem.empty()) {
        throw PackError(what + " " + inQuotes(name) + " " + problem);
    }
    if (name.size() > 128) {
        throw PackError(what + " " + inQuotes(name) + " is longer than the 128 characters "
                        "Windows Installer allows in file names");
    }
}

// Types whose opener runs code or that the shell handles itself; taking one
// over hijacks every file of that type on the machine.
bool isSystemFileType(const std::string& extension) {
    static const char* const types[] = {
        ".exe", ".com", ".scr", ".pif", ".cpl", ".dll", ".sys", ".drv", ".ocx", ".msc",
        ".bat", ".cmd", ".ps1", ".psm1", ".psd1", ".ps1xml", ".vbs", ".vbe", ".js", ".jse",
        ".wsf", ".wsh", ".hta", ".msh", ".reg", ".inf", ".jar",
        ".lnk", ".url", ".scf", ".library-ms", ".search-ms",
        ".msi", ".msp", ".mst", ".appx", ".msix", ".application", ".appref-ms",
    };
    const std::string folded = caseFolded(extension);
    return std::any_of(std::begin(types), std::end(types),
                       [&](const char* t) { return folded == t; });
}

std::vector<FileAssociation> checkedAssociations(const std::vector<FileAssociation>& given) {
    std::vector<FileAssociation> result;
    std::set<std::string> seen;
    for (FileAssociation a : given) {
        a.extension = checkedExtension(a.extension);
        if (isSystemFileType(a.extension)) {
            throw PackError("the file type " + inQuotes(a.extension) + " is one Windows runs or "
                            "opens itself (programs, scripts, shortcuts, installers): the "
                            "application would become the opener of every such file; give a "
                            "type of the application's own");
        }
        if (!seen.insert(caseFolded(a.extension)).second) {
            throw PackError("the file type " + inQuotes(a.extension) + " is given twice");
        }
        checkText(a.description, "the description of " + a.extension);
        result.push_back(a);
    }
    return result;
}

void applyOverrides(const InstallerRequest& r, ApplicationImage& image) {
    for (const auto& o : {std::make_pair(&r.productName, &image.productName),
                          std::make_pair(&r.version, &image.version),
                          std::make_pair(&r.vendor, &image.vendor),
                          std::make_pair(&r.description, &image.description)}) {
        if (!o.first->empty()) {
            *o.second = *o.first;
        }
    }
    if (!r.icon.empty()) {
        image.icon = readBinaryFile(r.icon, iconFileLimit);
        readIconFile(image.icon, shown(r.icon));
    }
}

void checkImage(const InstallerRequest& r, const ApplicationImage& image) {
    checkText(image.productName, "the product name");
    checkText(image.vendor, "the publisher");
    checkText(image.description, "the description");
    if (r.startMenuShortcut || r.desktopShortcut) {
        checkFileName(image.productName, "the product name, which names the shortcut,");
    }
    for (const auto* list : {&image.files, &image.emptyDirectories}) {
        for (const fs::path& path : *list) {
            for (const fs::path& part : path) {
                checkFileName(part.u8string(), "in the image's file " + inQuotes(path.generic_u8string())
                                               + ", the name");
            }
        }
    }
}

const OutputKind msiFile = {"an .msi file", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)};
const OutputKind wixSourceFile = {"a WiX source", "<?xml"};
const OutputKind iconKind = {"an icon file", std::string("\0\0\1\0", 4)};

void moveInto(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (ec) {
        throw PackError("cannot write " + shown(to) + ": " + ec.message());
    }
}

// wixl takes paths relative to the directory it runs in, never absolute ones.
fs::path imageFrom(const fs::path& sourceDirectory, const fs::path& image) {
    std::error_code ec;
    const fs::path path = fs::relative(image, sourceDirectory, ec);
    if (ec || path.empty()) {
        throw PackError("the image " + shown(image) + " cannot be named relative to "
                        + shown(sourceDirectory) + ": put the output on the image's drive");
    }
    return path;
}

void buildMsi(const fs::path& wixl, const fs::path& source, const fs::path& msi) {
    std::string output;
    const bool ok = runProgram(wixl, {"--arch", "x64", "--output", msi.filename().u8string(),
                                      source.filename().u8string()}, source.parent_path(), output);
    while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) {
        output.pop_back();
    }
    // wixl reports what it ignores as a warning and still succeeds.
    if (!ok || !output.empty()) {
        throw PackError("wixl could not build the installer"
                        + (output.empty() ? std::string() : ":\n" + output));
    }
}

// The WiX source and its icon are written beside `target` first; only the
// finished file is moved into place.
void write(InstallerPlan& plan, const std::string& compared, const fs::path& target, bool sourceOnly,
           bool replace) {
    if (isWithin(target, plan.image.dir)) {
        throw PackError("the output " + shown(target) + " lies inside the image, which "
                        "the installer must not change");
    }
    refuseExisting(target, replace, sourceOnly ? wixSourceFile : msiFile);
    const fs::path wixl = sourceOnly ? fs::path() : findProgram("wixl");
    if (!sourceOnly && wixl.empty()) {
        throw PackError(wixlMissing);
    }
    const Bytes icon = plan.image.icon;
    const fs::path iconTarget = target.parent_path() / fs::u8path(target.stem().u8string() + ".ico");
    if (sourceOnly && !icon.empty()) {
        refuseExisting(iconTarget, replace, iconKind);
    }
    const ScratchDirectory scratch(target);
    const fs::path source = scratch.path / "installer.wxs", iconFile = scratch.path / "icon.ico";
    plan.imageFromSource = imageFrom(sourceOnly ? target.parent_path() : scratch.path, plan.image.dir);
    checkNoVariable(plan.imageFromSource.generic_u8string(), "the path to the image");
    if (!icon.empty()) {
        writeBinaryFile(iconFile, icon);
        plan.iconFile = (sourceOnly ? iconTarget : iconFile).filename();
        checkNoVariable(plan.iconFile.u8string(), "the icon's file name");
    }
    const std::string text = wixSource(plan, compared);
    writeBinaryFile(source, Bytes(text.begin(), text.end()));
    if (sourceOnly) {
        if (!icon.empty()) {
            moveInto(iconFile, iconTarget);
        }
        moveInto(source, target);
    } else {
        buildMsi(wixl, source, scratch.path / "installer.msi");
        moveInto(scratch.path / "installer.msi", target);
    }
}

} // namespace

std::string comparedVersion(const std::string& version) {
    std::vector<unsigned long> fields(1, 0);
    size_t digits = 0;
    for (const char c : version) {
        if (c == '.' && digits > 0 && fields.size() < 4) {
            fields.push_back(0);
            digits = 0;
        } else if (c >= '0' && c <= '9' && digits < 6) {
            fields.back() = fields.back() * 10 + static_cast<unsigned long>(c - '0');
            ++digits;
        } else {
            digits = 0;
            break;
        }
    }
    if (digits == 0) {
        throw PackError("the version " + inQuotes(version) + " is not one to four numbers");
    }
    static const char* const names[] = {"major version", "minor version", "build number"};
    static const unsigned long limits[] = {255, 255, 65535};
    for (size_t i = 0; i < fields.size() && i < 3; ++i) {
        if (fields[i] > limits[i]) {
            throw PackError("the version " + inQuotes(version) + " has a " + names[i] + " of "
                            + std::to_string(fields[i]) + ": Windows Installer allows at most "
                            + std::to_string(limits[i]) + " (255.255.65535)");
        }
    }
    fields.resize(std::max<size_t>(fields.size(), 3), 0);
    const std::string three = std::to_string(fields[0]) + "." + std::to_string(fields[1]) + "."
                              + std::to_string(fields[2]);
    if (fields.size() == 4 && fields[3] != 0) {
        throw PackError("the version " + inQuotes(version) + " has a fourth field, "
                        + std::to_string(fields[3]) + ", which Windows Installer ignores when it "
                        "compares versions: this installer could not replace " + three
                        + " nor be replaced by it; give a version whose fourth field is 0");
    }
    return three;
}

std::vector<std::string> installerObjections(const std::string& productName,
                                             const std::string& version, const std::string& vendor,
                                             const std::string& description) {
    std::vector<std::string> objections;
    const std::pair<std::function<void()>, const char*> checks[] = {
        {[&] { checkText(productName, "the product name"); }, "--product-name"},
        {[&] { comparedVersion(version); }, "--app-version"},
        {[&] { checkText(vendor, "the publisher"); }, "--vendor"},
        {[&] { checkText(description, "the description"); }, "--description"},
    };
    for (const auto& check : checks) {
        try {
            check.first();
        } catch (const PackError& e) {
            objections.push_back(std::string(e.what()) + "; the installer step will refuse it unless "
                                 "given \"installer " + check.second + "\"");
        }
    }
    return objections;
}

InstallerResult makeInstaller(const InstallerRequest& r) {
    ApplicationImage image = readApplicationImage(fs::absolute(r.image).lexically_normal());
    applyOverrides(r, image);
    const std::string compared = comparedVersion(image.version);
    checkImage(r, image);

    InstallerPlan plan;
    plan.perMachine = r.perMachine;
    plan.startMenuShortcut = r.startMenuShortcut;
    plan.desktopShortcut = r.desktopShortcut;
    plan.associations = checkedAssociations(r.associations);
    InstallerResult result;
    result.upgradeCodeDerived = r.upgradeCode.empty();
    plan.upgradeCode = result.upgradeCodeDerived
        ? nameUuid(parseUuid(upgradeNamespace), image.vendor + "\n" + image.name)
        : parseUuid(r.upgradeCode);
    result.upgradeCode = formatUuid(plan.upgradeCode);
    result.written = fs::absolute(!r.wixSource.empty() ? r.wixSource
                                  : !r.output.empty() ? r.output
                                  : fs::u8path(image.name + "-" + image.version + ".msi"));
    plan.image = std::move(image);
    write(plan, compared, result.written, !r.wixSource.empty(), r.replace);
    return result;
}
