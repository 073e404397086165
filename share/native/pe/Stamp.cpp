// Stamping: read, replace the resources in the model, lay the file out again.
#include "Stamp.h"

#include "IconFile.h"
#include "PackError.h"
#include "PeFile.h"
#include "ResourceTree.h"
#include "VersionResource.h"

namespace {

const char* const utf8CodePageSetting =
    "\n      <activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">"
    "UTF-8</activeCodePage>";

std::string orName(const std::string& value, const Branding& b) {
    return value.empty() ? b.name : value;
}

VersionInfo versionInfo(const Branding& b) {
    VersionInfo info;
    info.version = parseVersion(b.version);
    info.strings = {
        {"CompanyName", orName(b.vendor, b)},
        {"FileDescription", orName(b.description, b)},
        {"FileVersion", b.version},
        {"InternalName", b.name},
        {"OriginalFilename", b.fileName},
        {"ProductName", orName(b.productName, b)},
        {"ProductVersion", b.version},
    };
    if (!b.copyright.empty()) {
        info.strings.push_back({"LegalCopyright", b.copyright});
    }
    return info;
}

// The setting is removed first, so stamping with or without it again gives
// what one stamp gives.
Bytes manifest(const Bytes& data, bool utf8CodePage, const std::string& what) {
    std::string text(data.begin(), data.end());
    const std::string setting = utf8CodePageSetting;
    for (size_t at; (at = text.find(setting)) != std::string::npos;) {
        text.erase(at, setting.size());
    }
    if (utf8CodePage) {
        const size_t end = text.find("</windowsSettings>");
        const size_t line = end == std::string::npos ? end : text.rfind('\n', end);
        if (line == std::string::npos) {
            throw PackError(what + ": its manifest has no windowsSettings to hold the code page");
        }
        text.insert(line, setting);
    }
    return Bytes(text.begin(), text.end());
}

} // namespace

Bytes stampExecutable(const Bytes& exe, const std::string& what, const Branding& b) {
    PeFile pe = PeFile::read(exe, what);
    if (pe.directoryRva(PeFile::CertificateTable) != 0
        || pe.directorySize(PeFile::CertificateTable) != 0) {
        throw PackError(what + " carries an Authenticode signature, which stamping would "
                        "break: stamp the unsigned launcher first and sign the result afterwards");
    }
    ResourceTree tree = readResources(pe, what);

    if (!b.icon.empty()) {
        const std::vector<IconImage> images = readIconFile(b.icon, b.iconWhat);
        tree.erase(ResourceName::number(RT_ICON_TYPE));
        tree.erase(ResourceName::number(RT_GROUP_ICON_TYPE));
        for (size_t i = 0; i < images.size(); ++i) {
            tree[ResourceName::number(RT_ICON_TYPE)]
                [ResourceName::number(static_cast<uint16_t>(i + 1))][versionLanguage].data =
                    images[i].data;
        }
        tree[ResourceName::number(RT_GROUP_ICON_TYPE)][ResourceName::number(1)]
            [versionLanguage].data = iconGroup(images, 1);
    }

    tree.erase(ResourceName::number(RT_VERSION_TYPE));
    tree[ResourceName::number(RT_VERSION_TYPE)][ResourceName::number(1)][versionLanguage].data =
            versionResource(versionInfo(b));

    const auto manifests = tree.find(ResourceName::number(RT_MANIFEST_TYPE));
    if (manifests == tree.end() && b.utf8CodePage) {
        throw PackError(what + " has no manifest to hold the code page");
    }
    if (manifests != tree.end()) {
        for (auto& name : manifests->second) {
            for (auto& language : name.second) {
                language.second.data = manifest(language.second.data, b.utf8CodePage, what);
            }
        }
    }

    pe.setResources(layOutResources(tree, pe.resourceRva()));
    return pe.write();
}
