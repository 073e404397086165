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

// One node read back: its key, where its value starts, and its children.
struct Node {
    std::u16string key;
    size_t value = 0;
    uint16_t valueLength = 0;
    uint16_t type = 0;
    std::vector<size_t> children;
};

Node readNode(const ByteReader& r, size_t at) {
    Node n;
    const size_t end = at + r.u16(at);
    r.require(at, end - at);
    n.valueLength = r.u16(at + 2);
    n.type = r.u16(at + 4);
    size_t p = at + 6;
    for (char16_t c; p + 2 <= end && (c = static_cast<char16_t>(r.u16(p))) != 0; p += 2) {
        n.key += c;
    }
    n.value = alignUp(static_cast<uint32_t>(p + 2), 4);
    const size_t valueBytes = n.type == 1 ? 2u * n.valueLength : n.valueLength;
    if (p + 2 > end || n.value + valueBytes > end || end - at < 6) {
        throw PackError("corrupt");
    }
    for (size_t child = alignUp(static_cast<uint32_t>(n.value + valueBytes), 4); child + 6 <= end;) {
        const uint16_t length = r.u16(child);
        if (length < 6 || child + length > end) {
            throw PackError("corrupt");
        }
        n.children.push_back(child);
        child = alignUp(static_cast<uint32_t>(child + length), 4);
    }
    return n;
}

std::string textValue(const ByteReader& r, const Node& n, const std::string& what) {
    std::u16string text;
    for (size_t i = 0; n.type == 1 && i < n.valueLength; ++i) {
        const char16_t c = static_cast<char16_t>(r.u16(n.value + 2 * i));
        if (c == 0) {
            break;
        }
        text += c;
    }
    return utf16ToUtf8(text, what);
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

VersionInfo readVersionInfo(const Bytes& resource, const std::string& what) {
    const ByteReader r(resource, what + " version information");
    VersionInfo info;
    try {
        const Node root = readNode(r, 0);
        if (root.key != u"VS_VERSION_INFO" || root.valueLength < 52
            || r.u32(root.value) != fixedFileInfoSignature) {
            throw PackError("corrupt");
        }
        const uint32_t ms = r.u32(root.value + 8), ls = r.u32(root.value + 12);
        info.version = {static_cast<uint16_t>(ms >> 16), static_cast<uint16_t>(ms),
                        static_cast<uint16_t>(ls >> 16), static_cast<uint16_t>(ls)};
        for (const size_t child : root.children) {
            const Node fileInfo = readNode(r, child);
            if (fileInfo.key != u"StringFileInfo" || fileInfo.children.empty()) {
                continue;
            }
            for (const size_t string : readNode(r, fileInfo.children.front()).children) {
                const Node n = readNode(r, string);
                info.strings.emplace_back(utf16ToUtf8(n.key, what), textValue(r, n, what));
            }
            break;
        }
    } catch (const PackError&) {
        throw PackError(what + " has corrupt version information");
    }
    return info;
}

std::string versionString(const VersionInfo& info, const std::string& key) {
    for (const auto& s : info.strings) {
        if (s.first == key) {
            return s.second;
        }
    }
    return "";
}
