// Everything is read with the project's own PE reader, so the installer
// states exactly what the program itself tells Windows.
#include "ApplicationImage.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "IconFile.h"
#include "PackError.h"
#include "Packager.h"
#include "PeFile.h"
#include "ResourceTree.h"
#include "TreeWalk.h"
#include "VersionResource.h"
#include "WindowsNames.h"

namespace fs = std::filesystem;

namespace {

// NAME of the one app\NAME.cfg that has NAME.exe beside app\ .
std::string imageName(const fs::path& dir) {
    std::error_code ec;
    std::vector<std::string> names;
    for (fs::directory_iterator it(dir / "app", ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path cfg = it->path();
        if (cfg.extension() == ".cfg" && fs::is_regular_file(cfg, ec)
            && fs::is_regular_file(dir / fs::u8path(cfg.stem().u8string() + ".exe"), ec)) {
            names.push_back(cfg.stem().u8string());
        }
    }
    if (names.size() != 1 || !fs::is_directory(dir / "runtime", ec)) {
        throw PackError(shown(dir) + " is not an application image made by loftwick-pack: it "
                        + (names.size() > 1 ? "holds more than one" : "lacks a")
                        + " NAME.exe beside app\\NAME.cfg and runtime\\");
    }
    return names.front();
}

const Bytes* firstLeaf(const ResourceNames& names) {
    for (const auto& name : names) {
        for (const auto& language : name.second) {
            return &language.second.data;
        }
    }
    return nullptr;
}

Bytes iconOf(const ResourceTree& tree, const std::string& what) {
    const auto groups = tree.find(ResourceName::number(RT_GROUP_ICON_TYPE));
    const auto icons = tree.find(ResourceName::number(RT_ICON_TYPE));
    if (groups == tree.end() || icons == tree.end()) {
        return Bytes();
    }
    std::map<uint16_t, Bytes> byId;
    for (const auto& icon : icons->second) {
        if (!icon.first.isName && !icon.second.empty()) {
            byId[icon.first.id] = icon.second.begin()->second.data;
        }
    }
    const Bytes* group = firstLeaf(groups->second);
    return group ? iconFile(readIconGroup(*group, byId, what)) : Bytes();
}

// A launcher carries its own version information until it is stamped with
// the application's, which names the application's executable.
VersionInfo stampedVersion(const fs::path& exe, Bytes* icon) {
    const std::string what = shown(exe);
    const PeFile pe = PeFile::read(readBinaryFile(exe), what);
    const ResourceTree tree = readResources(pe, what);
    const auto versions = tree.find(ResourceName::number(RT_VERSION_TYPE));
    const Bytes* data = versions == tree.end() ? nullptr : firstLeaf(versions->second);
    VersionInfo info;
    if (data) {
        info = readVersionInfo(*data, what);
    }
    if (!data || caseFolded(versionString(info, "OriginalFilename")) != caseFolded(exe.filename().u8string())) {
        throw PackError(what + " was never stamped with the application's name, version and "
                        "icon: make the image with loftwick-pack");
    }
    if (icon) {
        *icon = iconOf(tree, what);
    }
    return info;
}

void listFiles(ApplicationImage& image) {
    const std::vector<TreeEntry> entries = walkTree(image.dir, "the image");
    for (size_t i = 0; i < entries.size(); ++i) {
        const TreeEntry& e = entries[i];
        const bool empty = e.directory && (i + 1 == entries.size()
                                           || entries[i + 1].relative.parent_path() != e.relative);
        if (!e.directory) {
            image.files.push_back(e.relative);
        } else if (empty) {
            image.emptyDirectories.push_back(e.relative);
        }
    }
    std::sort(image.files.begin(), image.files.end());
    std::sort(image.emptyDirectories.begin(), image.emptyDirectories.end());
}

} // namespace

ApplicationImage readApplicationImage(const fs::path& dir) {
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        throw PackError(shown(dir) + " is not a directory");
    }
    ApplicationImage image;
    image.dir = dir;
    image.name = imageName(dir);
    const VersionInfo info = stampedVersion(dir / fs::u8path(image.name + ".exe"), &image.icon);
    if (fs::exists(dir / fs::u8path(image.name + ".com"), ec)) {
        stampedVersion(dir / fs::u8path(image.name + ".com"), nullptr);
    }
    image.productName = versionString(info, "ProductName");
    image.version = versionString(info, "ProductVersion");
    image.vendor = versionString(info, "CompanyName");
    image.description = versionString(info, "FileDescription");
    listFiles(image);
    return image;
}
