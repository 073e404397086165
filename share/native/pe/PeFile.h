// A 64-bit Windows executable read into a plain model: headers, sections and
// the data appended after the image. Changes go to the model; write() lays
// the file out again and computes the checksum. Nothing is moved that the
// change does not need to move.
#ifndef PEFILE_H
#define PEFILE_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "Bytes.h"

struct PeSection {
    Bytes header;  // the 40 bytes of its section table entry
    Bytes data;    // SizeOfRawData bytes from PointerToRawData

    uint32_t virtualSize() const;
    uint32_t virtualAddress() const;
    uint32_t sizeOfRawData() const;
    uint32_t pointerToRawData() const;
    // The extent in memory: the virtual size, or the raw size if that is 0.
    uint32_t extent() const;
};

class PeFile {
public:
    enum Directory { ExportTable = 0, ResourceTable = 2, CertificateTable = 4, BaseRelocationTable = 5 };

    // `what` names the file in messages.
    static PeFile read(const Bytes& file, const std::string& what);
    Bytes write() const;

    uint32_t directoryRva(int index) const;
    uint32_t directorySize(int index) const;
    uint16_t subsystem() const;

    // `size` bytes at an address of the loaded image (zeros past raw data).
    Bytes readRva(uint32_t rva, uint32_t size) const;

    // Where new resource data would live, and then puts it there: in place
    // when the resource section holds nothing else and is the last one, or
    // the last but a .reloc section, which then moves behind it (as Windows'
    // own resource updater leaves a file); otherwise in a new section
    // appended after all others.
    uint32_t resourceRva() const;
    void setResources(const Bytes& data);

    const std::vector<PeSection>& sections() const { return sectionList; }

private:
    size_t optionalHeader() const { return peOffset + 24; }
    uint32_t optional32(size_t offset) const;
    void setOptional32(size_t offset, uint32_t value);
    int resourceSectionInPlace() const;
    bool isRelocationSection(const PeSection& s) const;
    void moveAfter(size_t index);
    size_t imageEnd() const;

    std::string what;
    Bytes headers;  // SizeOfHeaders bytes, the section table included
    size_t peOffset = 0;
    std::vector<PeSection> sectionList;
    Bytes overlay;
    size_t overlayStart = 0;  // where the appended data began when read
};

// Whether the file starts as a PE image does ("MZ", then "PE\0\0" where
// the DOS header points), whatever its name: only its first bytes are read.
bool isPeFile(const std::filesystem::path& file);

// The PE checksum of a file whose checksum field is at `checksumOffset`.
uint32_t peChecksum(const Bytes& file, size_t checksumOffset);

#endif // PEFILE_H
