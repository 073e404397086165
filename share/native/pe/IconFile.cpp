// ICONDIR (6 bytes) and ICONDIRENTRY (16 bytes) in the file; in resources,
// GRPICONDIR (6 bytes) and GRPICONDIRENTRY (14 bytes, an id instead of an
// offset).
#include "IconFile.h"

#include <algorithm>

#include "PackError.h"

namespace {

const uint8_t pngSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
const uint32_t bitmapInfoHeaderSize = 40;

bool isPng(const Bytes& data) {
    return data.size() >= sizeof(pngSignature)
            && std::equal(pngSignature, pngSignature + sizeof(pngSignature), data.begin());
}

Bytes directoryHeader(size_t count) {
    Bytes out;
    appendU16(out, 0);
    appendU16(out, 1);
    appendU16(out, static_cast<uint16_t>(count));
    return out;
}

// What a file entry and a group entry share; the image's place follows.
void appendEntry(Bytes& out, const IconImage& image) {
    out.push_back(image.width);
    out.push_back(image.height);
    out.push_back(image.colorCount);
    out.push_back(0);
    appendU16(out, image.planes);
    appendU16(out, image.bitCount);
    appendU32(out, static_cast<uint32_t>(image.data.size()));
}

// The fields a file entry and a group entry share.
IconImage readEntry(const ByteReader& r, size_t entry) {
    IconImage image;
    image.width = r.u8(entry);
    image.height = r.u8(entry + 1);
    image.colorCount = r.u8(entry + 2);
    image.planes = r.u16(entry + 4);
    image.bitCount = r.u16(entry + 6);
    return image;
}

} // namespace

std::vector<IconImage> readIconFile(const Bytes& file, const std::string& what) {
    const ByteReader r(file, what);
    const uint16_t count = r.u16(4);
    if (r.u16(0) != 0 || r.u16(2) != 1 || count == 0) {
        throw PackError(what + " is not an icon file");
    }
    std::vector<IconImage> images;
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * i;
        IconImage image = readEntry(r, entry);
        image.data = r.slice(r.u32(entry + 12), r.u32(entry + 8));
        if (!isPng(image.data)
            && ByteReader(image.data, what).u32(0) != bitmapInfoHeaderSize) {
            throw PackError(what + ": image " + std::to_string(i + 1)
                            + " is neither PNG nor a bitmap");
        }
        images.push_back(image);
    }
    return images;
}

Bytes iconGroup(const std::vector<IconImage>& images, uint16_t firstId) {
    Bytes out = directoryHeader(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        appendEntry(out, images[i]);
        appendU16(out, static_cast<uint16_t>(firstId + i));
    }
    return out;
}

std::vector<IconImage> readIconGroup(const Bytes& group, const std::map<uint16_t, Bytes>& icons,
                                     const std::string& what) {
    const ByteReader r(group, what + " icon group");
    const uint16_t count = r.u16(4);
    if (r.u16(0) != 0 || r.u16(2) != 1 || count == 0) {
        throw PackError(what + " has a corrupt icon group");
    }
    std::vector<IconImage> images;
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 14 * i;
        const auto icon = icons.find(r.u16(entry + 12));
        if (icon == icons.end()) {
            throw PackError(what + ": its icon group names an icon it does not have");
        }
        IconImage image = readEntry(r, entry);
        image.data = icon->second;
        images.push_back(image);
    }
    return images;
}

Bytes iconFile(const std::vector<IconImage>& images) {
    Bytes out = directoryHeader(images.size());
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const IconImage& image : images) {
        appendEntry(out, image);
        appendU32(out, offset);
        offset += static_cast<uint32_t>(image.data.size());
    }
    for (const IconImage& image : images) {
        out.insert(out.end(), image.data.begin(), image.data.end());
    }
    return out;
}
