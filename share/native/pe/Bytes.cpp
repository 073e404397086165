// Bounds-checked little-endian reads and the matching writes.
#include "Bytes.h"

#include "PackError.h"

void ByteReader::require(size_t offset, size_t length) const {
    if (offset > bytes.size() || length > bytes.size() - offset) {
        throw PackError(what + " is truncated or corrupt");
    }
}

uint8_t ByteReader::u8(size_t offset) const {
    require(offset, 1);
    return bytes[offset];
}

uint16_t ByteReader::u16(size_t offset) const {
    require(offset, 2);
    return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

uint32_t ByteReader::u32(size_t offset) const {
    require(offset, 4);
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8
            | static_cast<uint32_t>(bytes[offset + 2]) << 16
            | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

Bytes ByteReader::slice(size_t offset, size_t length) const {
    require(offset, length);
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

void putU16(Bytes& bytes, size_t offset, uint16_t value) {
    bytes.at(offset) = static_cast<uint8_t>(value);
    bytes.at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void putU32(Bytes& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes.at(offset + static_cast<size_t>(i)) = static_cast<uint8_t>(value >> (8 * i));
    }
}

void appendU16(Bytes& bytes, uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void appendU32(Bytes& bytes, uint32_t value) {
    appendU16(bytes, static_cast<uint16_t>(value));
    appendU16(bytes, static_cast<uint16_t>(value >> 16));
}

void padTo(Bytes& bytes, size_t alignment) {
    bytes.resize((bytes.size() + alignment - 1) / alignment * alignment, 0);
}
