// The platform-neutral half of the tests' files.
#include "TestFiles.h"

#include <type_traits>

#include "FileUtils.h"

namespace testing_support {

// Made by each platform's half; removed and joined alike.
TempDir::~TempDir() {
    removeTree(dir);
}

tstring TempDir::operator/(const tstring& rel) const {
    return FileUtils::joinPath(dir, rel);
}

std::string utf8(const tstring& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        // UTF-16 on Windows (pairs of surrogates), UTF-32 on Linux.
        unsigned long c = static_cast<unsigned long>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10)
                + (static_cast<std::make_unsigned_t<wchar_t>>(text[++i]) - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace testing_support
