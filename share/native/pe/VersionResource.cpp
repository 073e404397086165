// Every node of VS_VERSIONINFO is wLength, wValueLength, wType, a
// zero-terminated UTF-16 key, padding to 32 bits, the value, padding, then
// its children, each starting on a 32-bit boundary.
#include "VersionResource.h"

#include "PackError.h"
#include "Utf16.h"

namespace {

const uint32_t fixedFileInfoSignature = 0xFEEF04BD;
const uint32_t vosNtWindows32 = 0x00040004;
const uint32_t vftApp = 1;

Bytes node(const std::u16string& key, uint16_t type, const Bytes& value, uint16_t valueLength,
           const std::vector<Bytes>& children) {
    Bytes out(6, 0);
    for (const char16_t c : key) {
        appendU16(out, c);
    }
    appendU16(out, 0);
    padTo(out, 4);
    out.insert(out.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        padTo(out, 4);
        out.insert(out.end(), child.begin(), child.end());
    }
    if (out.size() > 0xFFFF) {
        throw PackError("the version information is too long");
    }
    putU16(out, 0, static_cast<uint16_t>(out.size()));
    putU16(out, 2, valueLength);
    putU16(out, 4, type);
    return out;
}

Bytes fixedFileInfo(const std::array<uint16_t, 4>& v) {
    Bytes out;
    const uint32_t ms = static_cast<uint32_t>(v[0]) << 16 | v[1];
    const uint32_t ls = static_cast<uint32_t>(v[2]) << 16 | v[3];
    for (const uint32_t field : {fixedFileInfoSignature, 0x00010000u, ms, ls, ms, ls,
                                 0x3Fu, 0u, vosNtWindows32, vftApp, 0u, 0u, 0u}) {
        appendU32(out, field);
    }
    return out;
}

} // namespace

std::array<uint16_t, 4> parseVersion(const std::string& text) {
    std::array<uint16_t, 4> result{};
    size_t part = 0, digits = 0;
    unsigned long value = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '.') {
            if (digits == 0 || part == 4) {
                throw PackError("the version \"" + text + "\" is not one to four numbers");
            }
            result[part++] = static_cast<uint16_t>(value);
            digits = 0;
            value = 0;
        } else if (text[i] >= '0' && text[i] <= '9' && digits < 6) {
            value = value * 10 + static_cast<unsigned long>(text[i] - '0');
            ++digits;
            if (value > 65535) {
                throw PackError("the version \"" + text + "\" has a number above 65535");
            }
        } else {
            throw PackError("the version \"" + text + "\" is not one to four numbers");
        }
    }
    return result;
}

Bytes versionResource(const VersionInfo& info) {
    std::vector<Bytes> strings;
    for (const auto& s : info.strings) {
        std::u16string value = utf8ToUtf16(s.second, s.first);
        value += u'\0';
        Bytes bytes;
        for (const char16_t c : value) {
            appendU16(bytes, c);
        }
        strings.push_back(node(utf8ToUtf16(s.first, "a version key"), 1, bytes,
                               static_cast<uint16_t>(value.size()), {}));
    }
    const Bytes table = node(u"040904B0", 1, Bytes(), 0, strings);
    const Bytes stringFileInfo = node(u"StringFileInfo", 1, Bytes(), 0, {table});
    Bytes translation;
    appendU16(translation, versionLanguage);
    appendU16(translation, versionCodePage);
    const Bytes var = node(u"Translation", 0, translation, 4, {});
    const Bytes varFileInfo = node(u"VarFileInfo", 1, Bytes(), 0, {var});
    return node(u"VS_VERSION_INFO", 0, fixedFileInfo(info.version), 52,
                {stringFileInfo, varFileInfo});
}
