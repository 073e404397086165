// Bitmaps of an .ico file are turned into PNG with zlib: 32-bit ones keep
// their alpha, the others take it from their mask.
#include "HicolorIcons.h"

#include <algorithm>
#include <cstdint>
#include <zlib.h>

#include "IconFile.h"
#include "PackError.h"

namespace {

const unsigned themeSizes[] = {16, 22, 24, 32, 36, 48, 64, 72, 96, 128, 192, 256, 512};

const uint8_t pngSignature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

bool isPng(const Bytes& data) {
    return data.size() >= 24 && std::equal(std::begin(pngSignature), std::end(pngSignature), data.begin());
}

uint32_t bigEndian(const Bytes& data, size_t at) {
    return static_cast<uint32_t>(data[at]) << 24 | static_cast<uint32_t>(data[at + 1]) << 16
           | static_cast<uint32_t>(data[at + 2]) << 8 | data[at + 3];
}

uint32_t littleEndian(const Bytes& data, size_t at, size_t count) {
    uint32_t value = 0;
    for (size_t i = count; i-- > 0;) {
        value = value << 8 | data[at + i];
    }
    return value;
}

void putBigEndian(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void putChunk(Bytes& out, const char* type, const Bytes& data) {
    putBigEndian(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian(out, static_cast<uint32_t>(crc32(0, out.data() + start, static_cast<uInt>(out.size() - start))));
}

// An RGBA image, rows top down, as a PNG file.
Bytes encodePng(unsigned size, const Bytes& rgba) {
    Bytes raw;
    for (unsigned y = 0; y < size; ++y) {
        raw.push_back(0);  // no filter
        raw.insert(raw.end(), rgba.begin() + y * size * 4, rgba.begin() + (y + 1) * size * 4);
    }
    uLongf length = compressBound(static_cast<uLong>(raw.size()));
    Bytes packed(length);
    compress2(packed.data(), &length, raw.data(), static_cast<uLong>(raw.size()), 9);
    packed.resize(length);
    Bytes header;
    putBigEndian(header, size);
    putBigEndian(header, size);
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
    Bytes png(std::begin(pngSignature), std::end(pngSignature));
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", packed);
    putChunk(png, "IEND", Bytes());
    return png;
}

// A DIB of an icon (BITMAPINFOHEADER, palette, colour rows, mask rows; both
// bottom up) as RGBA rows top down; empty when it cannot be read.
Bytes decodeDib(const Bytes& dib, unsigned size) {
    if (dib.size() < 40) {
        return Bytes();
    }
    const uint32_t headerSize = littleEndian(dib, 0, 4);
    const unsigned bits = littleEndian(dib, 14, 2);
    const uint32_t used = littleEndian(dib, 32, 4);
    if (littleEndian(dib, 4, 4) != size || littleEndian(dib, 8, 4) != 2 * size
        || littleEndian(dib, 16, 4) != 0 || (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)) {
        return Bytes();
    }
    const size_t colours = bits <= 8 ? (used ? used : 1u << bits) : 0;
    const size_t palette = headerSize, pixels = palette + colours * 4;
    const size_t stride = (size * bits + 31) / 32 * 4, maskStride = (size + 31) / 32 * 4;
    const size_t mask = pixels + stride * size;
    // A 32-bit image carries its alpha and may leave the mask out.
    if (headerSize < 40 || (bits == 32 ? mask : mask + maskStride * size) > dib.size()) {
        return Bytes();
    }
    Bytes rgba(size_t(size) * size * 4);
    for (unsigned y = 0; y < size; ++y) {
        const size_t row = pixels + (size - 1 - y) * stride;
        for (unsigned x = 0; x < size; ++x) {
            uint8_t* out = &rgba[(size_t(y) * size + x) * 4];
            size_t colour = row + x * bits / 8;
            if (bits <= 8) {
                const unsigned shift = 8 - bits - (x * bits) % 8;
                const size_t index = (dib[row + x * bits / 8] >> shift) & ((1u << bits) - 1);
                if (index >= colours) {
                    return Bytes();
                }
                colour = palette + index * 4;
            }
            out[0] = dib[colour + 2];
            out[1] = dib[colour + 1];
            out[2] = dib[colour];
            if (bits == 32) {
                out[3] = dib[colour + 3];
            } else {
                const size_t maskByte = mask + (size - 1 - y) * maskStride + x / 8;
                out[3] = (dib[maskByte] >> (7 - x % 8)) & 1 ? 0 : 255;
            }
        }
    }
    return rgba;
}

bool isThemeSize(unsigned size) {
    return std::find(std::begin(themeSizes), std::end(themeSizes), size) != std::end(themeSizes);
}

} // namespace

std::map<unsigned, Bytes> hicolorIcons(const Bytes& file, const std::string& what) {
    std::map<unsigned, Bytes> icons;
    if (isPng(file)) {
        const unsigned width = bigEndian(file, 16), height = bigEndian(file, 20);
        if (width == height && isThemeSize(width)) {
            icons[width] = file;
        }
    } else {
        for (const IconImage& image : readIconFile(file, what)) {
            const unsigned size = image.width == 0 ? 256 : image.width;
            if (image.width != image.height || !isThemeSize(size) || icons.count(size)) {
                continue;
            }
            if (isPng(image.data)) {
                icons[size] = image.data;
            } else {
                const Bytes rgba = decodeDib(image.data, size);
                if (rgba.empty()) {
                    throw PackError(what + ": its " + std::to_string(size) + "x" + std::to_string(size)
                                    + " bitmap cannot be read");
                }
                icons[size] = encodePng(size, rgba);
            }
        }
    }
    if (icons.empty()) {
        std::string sizes;
        for (const unsigned size : themeSizes) {
            sizes += (sizes.empty() ? "" : ", ") + std::to_string(size);
        }
        throw PackError(what + " holds no square image of a size the desktop's icon theme has ("
                        + sizes + ")");
    }
    return icons;
}
