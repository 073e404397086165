#include "JimageFile.h"

#include <fstream>
#include <functional>
#include <vector>

#include "ClassFile.h"
#include "PackError.h"

namespace fs = std::filesystem;

namespace {

const uint32_t jimageMagic = 0xCAFEDADA;
const size_t headerSize = 28;  // seven 4-byte fields
// The largest index a real runtime has is a few megabytes (a full JDK 25:
// 1.5 MB); anything claiming far more is not read.
const uint64_t maxIndexSize = 64u << 20;
// The content of one /packages/NAME resource: 8 bytes for each module with
// a folder of that name. No package is spread over thousands.
const uint64_t maxPackageResource = 64u << 10;

// Location attribute kinds: each attribute is a byte (kind << 3 | length - 1)
// and `length` big-endian bytes; kind 0 ends the list.
enum Attribute { End = 0, Module = 1, Parent = 2, Base = 3, Extension = 4, Offset = 5,
                 Compressed = 6, Uncompressed = 7, AttributeCount = 8 };

// The container through a function that reads `size` bytes at `offset`
// (it throws PackError past the end of the file).
using ReadAt = std::function<std::string(uint64_t offset, uint64_t size)>;

class Image {
public:
    Image(const ReadAt& r, uint64_t fileSize, const std::string& w) : readAt(r), what(w) {
        if (fileSize < headerSize) {
            fail("it is shorter than its header");
        }
        index = readAt(0, headerSize);
        const uint32_t magicLE = readU4(0, false), magicBE = readU4(0, true);
        if (magicLE != jimageMagic && magicBE != jimageMagic) {
            fail("it does not begin as a runtime's module container (magic 0xCAFEDADA)");
        }
        bigEndian = magicLE != jimageMagic;
        if (u4(4) >> 16 != 1) {  // major_version
            fail("its format version " + std::to_string(u4(4) >> 16) + " is not 1");
        }
        tableLength = u4(16);
        locationsSize = u4(20);
        stringsSize = u4(24);
        indexSize = headerSize + 8ull * tableLength + locationsSize + stringsSize;
        if (indexSize > fileSize || indexSize > maxIndexSize) {
            fail("its index claims " + std::to_string(indexSize) + " bytes, more than the file holds");
        }
        index = readAt(0, indexSize);
        offsetsAt = headerSize + 4ull * tableLength;
        locationsAt = headerSize + 8ull * tableLength;
        stringsAt = locationsAt + locationsSize;
        this->fileSize = fileSize;
    }

    std::map<std::string, std::string> packages() const {
        std::map<std::string, std::string> found;
        for (uint32_t i = 0; i < tableLength; ++i) {
            const uint32_t location = u4(offsetsAt + 4ull * i);
            if (location >= locationsSize) {
                fail("location " + std::to_string(i) + " lies outside the location table");
            }
            uint64_t attributes[AttributeCount] = {};
            readAttributes(location, attributes);
            if (string(attributes[Module]) != "packages") {
                continue;
            }
            const std::string package = string(attributes[Base]);
            if (!isQualifiedName(package)) {
                continue;  // a folder of resources only ("doc-files"), which no class can name
            }
            const std::string module = moduleWithClasses(package, attributes);
            if (!module.empty()) {
                found[package] = module;
            }
        }
        return found;
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        throw PackError(what + " cannot be read: " + why);
    }

    uint32_t readU4(const std::string& from, uint64_t at, bool big) const {
        if (at + 4 > from.size()) {
            fail("it is cut short");
        }
        uint32_t value = 0;
        for (int k = 0; k < 4; ++k) {
            const uint32_t byte = static_cast<unsigned char>(from[at + (big ? k : 3 - k)]);
            value = (value << 8) | byte;
        }
        return value;
    }
    uint32_t readU4(uint64_t at, bool big) const { return readU4(index, at, big); }
    uint32_t u4(uint64_t at) const { return readU4(index, at, bigEndian); }

    void readAttributes(uint64_t at, uint64_t* attributes) const {
        const uint64_t end = locationsAt + locationsSize;
        at += locationsAt;
        while (true) {
            if (at >= end) {
                fail("a location runs past the location table");
            }
            const unsigned byte = static_cast<unsigned char>(index[at++]);
            const unsigned kind = byte >> 3, length = (byte & 7) + 1;
            if (kind == End) {
                return;
            }
            if (kind >= AttributeCount || at + length > end) {
                fail("a location has an attribute of unknown kind " + std::to_string(kind));
            }
            uint64_t value = 0;
            for (unsigned k = 0; k < length; ++k) {
                value = (value << 8) | static_cast<unsigned char>(index[at++]);
            }
            attributes[kind] = value;
        }
    }

    // A NUL-ended string of the strings table.
    std::string string(uint64_t offset) const {
        if (offset >= stringsSize) {
            fail("a name lies outside the strings table");
        }
        const uint64_t from = stringsAt + offset, end = stringsAt + stringsSize;
        const size_t nul = index.find('\0', from);
        if (nul == std::string::npos || nul >= end) {
            fail("a name runs past the strings table");
        }
        return index.substr(from, nul - from);
    }

    // The resource lists (isEmpty, module name) for every module with a
    // folder of the package's name; the one that is not empty holds its
    // classes.
    std::string moduleWithClasses(const std::string& package, const uint64_t* attributes) const {
        if (attributes[Compressed] != 0) {
            fail("the module list of package " + package + " is compressed");
        }
        const uint64_t size = attributes[Uncompressed];
        const uint64_t at = indexSize + attributes[Offset];
        if (size % 8 != 0 || size > maxPackageResource || at > fileSize || size > fileSize - at) {
            fail("the module list of package " + package + " lies outside the file");
        }
        const std::string list = readAt(at, size);
        for (uint64_t p = 0; p < size; p += 8) {
            if (readU4(list, p, bigEndian) == 0) {
                return string(readU4(list, p + 4, bigEndian));
            }
        }
        return std::string();
    }

    const ReadAt& readAt;
    const std::string what;
    std::string index;  // header, tables, locations and strings
    bool bigEndian = false;
    uint32_t tableLength = 0, locationsSize = 0, stringsSize = 0;
    uint64_t offsetsAt = 0, locationsAt = 0, stringsAt = 0, indexSize = 0, fileSize = 0;
};

} // namespace

std::map<std::string, std::string> jimagePackagesOf(const std::string& bytes, const std::string& what) {
    const ReadAt read = [&](uint64_t offset, uint64_t size) {
        if (offset > bytes.size() || size > bytes.size() - offset) {
            throw PackError(what + " cannot be read: it is cut short");
        }
        return bytes.substr(offset, size);
    };
    return Image(read, bytes.size(), what).packages();
}

std::map<std::string, std::string> jimagePackages(const fs::path& modulesFile) {
    const std::string what = "the runtime's module container \"" + modulesFile.u8string() + "\"";
    std::ifstream in(modulesFile, std::ios::binary);
    std::error_code ec;
    const uint64_t size = fs::file_size(modulesFile, ec);
    if (!in || ec) {
        throw PackError(what + " cannot be opened");
    }
    // The index is a megabyte or two at the start; each package's module
    // list is a few bytes near the end of a file of a hundred megabytes.
    const ReadAt read = [&](uint64_t offset, uint64_t count) {
        std::string bytes(static_cast<size_t>(count), '\0');
        in.seekg(static_cast<std::streamoff>(offset));
        in.read(&bytes[0], static_cast<std::streamsize>(count));
        if (static_cast<uint64_t>(in.gcount()) != count) {
            throw PackError(what + " cannot be read: it is cut short");
        }
        return bytes;
    };
    return Image(read, size, what).packages();
}
