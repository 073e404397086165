// Little-endian access to a byte buffer. Every read is bounds-checked and
// fails with a PackError naming what was being read, so corrupt input ends
// in a message, never in a read past the buffer.
#ifndef BYTES_H
#define BYTES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

class ByteReader {
public:
    ByteReader(const Bytes& bytes, const std::string& what) : bytes(bytes), what(what) {}

    uint8_t u8(size_t offset) const;
    uint16_t u16(size_t offset) const;
    uint32_t u32(size_t offset) const;
    Bytes slice(size_t offset, size_t length) const;
    void require(size_t offset, size_t length) const;
    size_t size() const { return bytes.size(); }

private:
    const Bytes& bytes;
    std::string what;
};

void putU16(Bytes& bytes, size_t offset, uint16_t value);
void putU32(Bytes& bytes, size_t offset, uint32_t value);
void appendU16(Bytes& bytes, uint16_t value);
void appendU32(Bytes& bytes, uint32_t value);
void padTo(Bytes& bytes, size_t alignment);

inline uint32_t alignUp(uint32_t value, uint32_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

#endif // BYTES_H
