// Identifiers are derived from paths, not counted, so a file keeps its
// component from one version to the next. Every component holds one file
// and is 64-bit, as the launcher is.
#include "WixSource.h"

#include <map>

#include "WindowsNames.h"
#include "XmlElement.h"

namespace fs = std::filesystem;

namespace {

typedef std::vector<std::pair<std::string, std::string>> Attributes;

const char* const installDirectory = "INSTALLDIR";
const char* const iconId = "AppIcon.ico";

std::string scope(const InstallerPlan& plan) {
    return plan.perMachine ? "machine" : "user";
}

// A WiX identifier: a letter and 32 hexadecimal digits of the path's hash.
std::string idFor(char kind, const fs::path& relative) {
    static const char digits[] = "0123456789abcdef";
    const auto digest = sha1(caseFolded(relative.generic_u8string()));
    std::string id(1, kind);
    for (size_t i = 0; i < 16; ++i) {
        id += digits[digest[i] >> 4];
        id += digits[digest[i] & 0xF];
    }
    return id;
}

// Text in a column Windows Installer formats: brackets and braces are
// literal only when escaped.
std::string formattedLiteral(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c == '[' || c == ']' || c == '{' || c == '}' ? std::string("[\\") + c + "]"
                                                            : std::string(1, c);
    }
    return out;
}

// An identifier-safe stem for the file types' ProgIDs.
std::string alphanumeric(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            out += c;
        }
    }
    return out.empty() ? "App" : out;
}

class SourceBuilder {
public:
    explicit SourceBuilder(const InstallerPlan& plan) : plan(plan) {}

    XmlElement directories() {
        XmlElement install("Directory", {{"Id", installDirectory}, {"Name", plan.image.name}});
        fill(install, tree(), fs::path());
        XmlElement target("Directory", {{"Id", "TARGETDIR"}, {"Name", "SourceDir"}});
        if (plan.perMachine) {
            target.add(XmlElement("Directory", {{"Id", "ProgramFiles64Folder"}})).add(std::move(install));
        } else {
            target.add(XmlElement("Directory", {{"Id", "LocalAppDataFolder"}}))
                    .add(XmlElement("Directory", {{"Id", "UserProgramsFolder"}, {"Name", "Programs"}}))
                    .add(std::move(install));
        }
        if (plan.startMenuShortcut) {
            target.add(XmlElement("Directory", {{"Id", "ProgramMenuFolder"}}));
        }
        if (plan.desktopShortcut) {
            target.add(XmlElement("Directory", {{"Id", "DesktopFolder"}}));
        }
        return target;
    }

    XmlElement feature() const {
        XmlElement f("Feature", {{"Id", "Application"}, {"Title", plan.image.productName}, {"Level", "1"}});
        for (const fs::path& c : components) {
            f.add(XmlElement("ComponentRef", {{"Id", idFor('c', c)}}));
        }
        return f;
    }

private:
    // The image's directories, each with its files, in byte order of names.
    struct Node {
        std::map<std::string, Node> subdirectories;
        std::vector<fs::path> files;
        bool empty = false;
    };

    Node tree() const {
        Node root;
        const auto nodeFor = [&root](const fs::path& dir) -> Node& {
            Node* node = &root;
            for (const fs::path& part : dir) {
                node = &node->subdirectories[part.u8string()];
            }
            return *node;
        };
        for (const fs::path& file : plan.image.files) {
            nodeFor(file.parent_path()).files.push_back(file);
        }
        for (const fs::path& dir : plan.image.emptyDirectories) {
            nodeFor(dir).empty = true;
        }
        return root;
    }

    void fill(XmlElement& element, const Node& node, const fs::path& at) {
        for (const fs::path& file : node.files) {
            element.add(fileComponent(file));
        }
        if (node.empty) {
            element.add(component(at)).add(XmlElement("CreateFolder"));
        }
        for (const auto& sub : node.subdirectories) {
            const fs::path path = at / fs::u8path(sub.first);
            XmlElement child("Directory", {{"Id", idFor('d', path)}, {"Name", sub.first}});
            fill(child, sub.second, path);
            element.add(std::move(child));
        }
    }

    XmlElement component(const fs::path& relative) {
        components.push_back(relative);
        const Uuid guid = nameUuid(plan.upgradeCode, "component\n" + scope(plan) + "\n"
                                                     + caseFolded(relative.generic_u8string()));
        return XmlElement("Component", {{"Id", idFor('c', relative)}, {"Guid", formatUuid(guid)},
                                        {"Win64", "yes"}});
    }

    XmlElement fileComponent(const fs::path& relative) {
        XmlElement c = component(relative);
        c.add(XmlElement("File", {
            {"Id", idFor('f', relative)}, {"Name", relative.filename().u8string()},
            {"Source", (plan.imageFromSource / relative).generic_u8string()}, {"KeyPath", "yes"}}));
        if (relative == fs::u8path(plan.image.name + ".exe")) {
            const std::string exe = "[#" + idFor('f', relative) + "]";
            addShortcuts(c, exe);
            for (const FileAssociation& a : plan.associations) {
                addAssociation(c, a, exe);
            }
        }
        return c;
    }

    // Not advertised: a shortcut that starts the file, as a user expects.
    void addShortcuts(XmlElement& c, const std::string& exe) const {
        for (const auto& where : {std::make_pair(plan.startMenuShortcut, "ProgramMenuFolder"),
                                  std::make_pair(plan.desktopShortcut, "DesktopFolder")}) {
            if (!where.first) {
                continue;
            }
            Attributes a = {{"Id", std::string(where.second) + "Shortcut"}, {"Directory", where.second},
                            {"Name", plan.image.productName}, {"Description", plan.image.description},
                            {"Target", exe}, {"WorkingDirectory", installDirectory}};
            if (!plan.iconFile.empty()) {
                a.push_back({"Icon", iconId});
            }
            c.add(XmlElement("Shortcut", a));
        }
    }

    // The file type as registry values under Software\Classes of the scope.
    void addAssociation(XmlElement& c, const FileAssociation& a, const std::string& exe) const {
        const std::string root = plan.perMachine ? "HKLM" : "HKCU";
        const std::string progId = alphanumeric(plan.image.name) + "." + alphanumeric(a.extension);
        const std::string classes = "Software\\Classes\\";
        for (const auto& value : std::vector<std::pair<std::string, std::string>>{
                 {classes + a.extension, progId},
                 {classes + progId, formattedLiteral(a.description)},
                 {classes + progId + "\\DefaultIcon", "\"" + exe + "\",0"},
                 {classes + progId + "\\shell\\open\\command", "\"" + exe + "\" \"%1\""}}) {
            c.add(XmlElement("RegistryValue", {{"Root", root}, {"Key", value.first},
                                               {"Type", "string"}, {"Value", value.second}}));
        }
    }

    const InstallerPlan& plan;
    std::vector<fs::path> components;
};

} // namespace

Uuid productCode(const InstallerPlan& plan, const std::string& comparedVersion) {
    return nameUuid(plan.upgradeCode, "product\n" + scope(plan) + "\n" + comparedVersion);
}

std::string wixSource(const InstallerPlan& plan, const std::string& comparedVersion) {
    const ApplicationImage& image = plan.image;
    XmlElement wix("Wix", {{"xmlns", "http://schemas.microsoft.com/wix/2006/wi"}});
    XmlElement& product = wix.add(XmlElement("Product", {
        {"Id", formatUuid(productCode(plan, comparedVersion))}, {"UpgradeCode", formatUuid(plan.upgradeCode)},
        {"Name", image.productName}, {"Version", image.version}, {"Manufacturer", image.vendor},
        {"Language", "1033"}}));
    product.add(XmlElement("Package", {
        {"InstallerVersion", "500"}, {"Compressed", "yes"},
        {"InstallScope", plan.perMachine ? "perMachine" : "perUser"},
        {"Description", image.description}, {"Manufacturer", image.vendor}}));
    product.add(XmlElement("MajorUpgrade", {{"DowngradeErrorMessage",
        "A newer version of [ProductName] is already installed: uninstall it to install this one."}}));
    product.add(XmlElement("Media", {{"Id", "1"}, {"Cabinet", "app.cab"}, {"EmbedCab", "yes"}}));
    if (!plan.iconFile.empty()) {
        product.add(XmlElement("Icon", {{"Id", iconId}, {"SourceFile", plan.iconFile.generic_u8string()}}));
        product.add(XmlElement("Property", {{"Id", "ARPPRODUCTICON"}, {"Value", iconId}}));
    }
    product.add(XmlElement("Property", {{"Id", "ARPNOMODIFY"}, {"Value", "1"}}));
    SourceBuilder builder(plan);
    product.add(builder.directories());
    product.add(builder.feature());
    return xmlDocument(wix);
}
