// Reading and writing the parts of a PE32+ file that stamping touches. Field
// offsets are those of Microsoft's PE/COFF document.
#include "PeFile.h"

#include <algorithm>
#include <fstream>

#include "PackError.h"

namespace {

const uint16_t imageDosSignature = 0x5A4D;           // "MZ"
const uint32_t imageNtSignature = 0x00004550;        // "PE\0\0"
const uint16_t pe32PlusMagic = 0x20B;
const size_t sectionHeaderSize = 40;
const uint32_t resourceSectionFlags = 0x40000040;    // initialized data, readable

// Optional header (PE32+) field offsets.
const size_t sizeOfInitializedDataField = 8;
const size_t sectionAlignmentField = 32;
const size_t fileAlignmentField = 36;
const size_t sizeOfImageField = 56;
const size_t sizeOfHeadersField = 60;
const size_t checkSumField = 64;
const size_t subsystemField = 68;
const size_t numberOfRvaAndSizesField = 108;
const size_t dataDirectoriesField = 112;

// COFF file header field offsets, from the start of the PE signature.
const size_t numberOfSectionsField = 6;
const size_t pointerToSymbolTableField = 12;
const size_t sizeOfOptionalHeaderField = 20;

bool isPowerOfTwo(uint32_t v) {
    return v != 0 && (v & (v - 1)) == 0;
}

uint32_t headerU32(const Bytes& header, size_t offset) {
    return ByteReader(header, "section header").u32(offset);
}

} // namespace

uint32_t PeSection::virtualSize() const { return headerU32(header, 8); }
uint32_t PeSection::virtualAddress() const { return headerU32(header, 12); }
uint32_t PeSection::sizeOfRawData() const { return headerU32(header, 16); }
uint32_t PeSection::pointerToRawData() const { return headerU32(header, 20); }
uint32_t PeSection::extent() const { return virtualSize() ? virtualSize() : sizeOfRawData(); }

PeFile PeFile::read(const Bytes& file, const std::string& what) {
    const ByteReader r(file, what);
    PeFile pe;
    pe.what = what;
    if (r.u16(0) != imageDosSignature || r.u32(r.u32(0x3C)) != imageNtSignature) {
        throw PackError(what + " is not a Windows executable");
    }
    pe.peOffset = r.u32(0x3C);
    const size_t opt = pe.optionalHeader();
    if (r.u16(opt) != pe32PlusMagic) {
        throw PackError(what + " is not a 64-bit Windows executable");
    }
    const uint32_t optionalSize = r.u16(pe.peOffset + sizeOfOptionalHeaderField);
    const uint32_t directories = r.u32(opt + numberOfRvaAndSizesField);
    const uint32_t fileAlignment = r.u32(opt + fileAlignmentField);
    const uint32_t sectionAlignment = r.u32(opt + sectionAlignmentField);
    const uint32_t sizeOfHeaders = r.u32(opt + sizeOfHeadersField);
    const size_t sectionCount = r.u16(pe.peOffset + numberOfSectionsField);
    const size_t table = opt + optionalSize;
    if (directories < 5 || directories > 16 || dataDirectoriesField + 8 * directories > optionalSize
        || !isPowerOfTwo(fileAlignment) || fileAlignment < 512 || fileAlignment > 65536
        || !isPowerOfTwo(sectionAlignment) || sectionAlignment < fileAlignment
        || sectionCount == 0 || sectionCount > 96
        || table + sectionHeaderSize * sectionCount > sizeOfHeaders || sizeOfHeaders > file.size()) {
        throw PackError(what + " has corrupt PE headers");
    }
    pe.headers = r.slice(0, sizeOfHeaders);
    uint64_t previousEnd = 0;
    for (size_t i = 0; i < sectionCount; ++i) {
        PeSection s;
        s.header = r.slice(table + sectionHeaderSize * i, sectionHeaderSize);
        if (s.sizeOfRawData() > 0) {
            s.data = r.slice(s.pointerToRawData(), s.sizeOfRawData());
        }
        // Sections follow each other in memory: the next one starts after
        // this one, which is where an appended section goes.
        if (s.virtualAddress() < previousEnd) {
            throw PackError(what + " has overlapping sections");
        }
        previousEnd = static_cast<uint64_t>(s.virtualAddress()) + s.extent();
        pe.sectionList.push_back(s);
    }
    pe.overlayStart = pe.imageEnd();
    pe.overlay = Bytes(file.begin() + static_cast<std::ptrdiff_t>(pe.overlayStart), file.end());
    return pe;
}

size_t PeFile::imageEnd() const {
    size_t end = headers.size();
    for (const PeSection& s : sectionList) {
        if (s.sizeOfRawData() > 0) {
            end = std::max(end, static_cast<size_t>(s.pointerToRawData()) + s.sizeOfRawData());
        }
    }
    return end;
}

uint32_t PeFile::optional32(size_t offset) const {
    return ByteReader(headers, what).u32(optionalHeader() + offset);
}

void PeFile::setOptional32(size_t offset, uint32_t value) {
    putU32(headers, optionalHeader() + offset, value);
}

uint32_t PeFile::directoryRva(int index) const {
    return optional32(dataDirectoriesField + 8 * static_cast<size_t>(index));
}

uint32_t PeFile::directorySize(int index) const {
    return optional32(dataDirectoriesField + 8 * static_cast<size_t>(index) + 4);
}

uint16_t PeFile::subsystem() const {
    return ByteReader(headers, what).u16(optionalHeader() + subsystemField);
}

Bytes PeFile::readRva(uint32_t rva, uint32_t size) const {
    for (const PeSection& s : sectionList) {
        const uint64_t start = s.virtualAddress();
        if (rva >= start && rva - start + static_cast<uint64_t>(size) <= s.data.size()) {
            return ByteReader(s.data, what).slice(rva - start, size);
        }
    }
    throw PackError(what + " has an address outside its sections");
}

// Relocation blocks name addresses in other sections, never their own, so
// the section that holds only them can move.
bool PeFile::isRelocationSection(const PeSection& s) const {
    const char name[8] = {'.', 'r', 'e', 'l', 'o', 'c', 0, 0};
    return std::equal(name, name + 8, s.header.begin()) && directorySize(BaseRelocationTable) != 0
            && directoryRva(BaseRelocationTable) == s.virtualAddress();
}

int PeFile::resourceSectionInPlace() const {
    const size_t count = sectionList.size();
    const bool relocationLast = count >= 2 && isRelocationSection(sectionList.back());
    const size_t index = relocationLast ? count - 2 : count - 1;
    const PeSection& rsrc = sectionList[index];
    const PeSection& last = sectionList.back();
    if (directoryRva(ResourceTable) == 0 || rsrc.virtualAddress() != directoryRva(ResourceTable)) {
        return -1;
    }
    for (size_t i = 0; i < count; ++i) {
        const PeSection& s = sectionList[i];
        const bool behind = i > index;
        if (s.sizeOfRawData() > 0 && i != index
            && (s.pointerToRawData() >= rsrc.pointerToRawData()) != behind) {
            return -1;
        }
    }
    const uint32_t directories = optional32(numberOfRvaAndSizesField);
    const uint32_t end = last.virtualAddress() + last.extent();
    for (uint32_t i = 0; i < directories; ++i) {
        const uint32_t rva = directoryRva(static_cast<int>(i));
        // The certificate table holds a file offset, not an address.
        const bool moves = i == ResourceTable || i == CertificateTable
                || (relocationLast && i == BaseRelocationTable);
        if (!moves && rva >= rsrc.virtualAddress() && rva < end) {
            return -1;
        }
    }
    return static_cast<int>(index);
}

// The section after `index` goes right behind it, in memory and in the file.
void PeFile::moveAfter(size_t index) {
    const PeSection& before = sectionList[index];
    PeSection& moved = sectionList[index + 1];
    const uint32_t rva = alignUp(before.virtualAddress() + before.extent(),
                                 optional32(sectionAlignmentField));
    const uint32_t offsetInSection = directoryRva(BaseRelocationTable) - moved.virtualAddress();
    putU32(moved.header, 12, rva);
    putU32(moved.header, 20, before.pointerToRawData() + before.sizeOfRawData());
    setOptional32(dataDirectoriesField + 8 * BaseRelocationTable, rva + offsetInSection);
}

uint32_t PeFile::resourceRva() const {
    const int inPlace = resourceSectionInPlace();
    if (inPlace >= 0) {
        return sectionList[static_cast<size_t>(inPlace)].virtualAddress();
    }
    const PeSection& last = sectionList.back();
    return alignUp(last.virtualAddress() + last.extent(), optional32(sectionAlignmentField));
}

void PeFile::setResources(const Bytes& data) {
    const int inPlace = resourceSectionInPlace();
    const uint32_t rva = resourceRva();
    const uint32_t rawSize = alignUp(static_cast<uint32_t>(data.size()),
                                     optional32(fileAlignmentField));
    uint32_t initializedData = optional32(sizeOfInitializedDataField) + rawSize;
    PeSection s;
    if (inPlace >= 0) {
        s = sectionList[static_cast<size_t>(inPlace)];
        initializedData -= s.sizeOfRawData();
    } else {
        const size_t table = optionalHeader()
                + ByteReader(headers, what).u16(peOffset + sizeOfOptionalHeaderField);
        if (table + sectionHeaderSize * (sectionList.size() + 1) > headers.size()) {
            throw PackError(what + " has no room for another section header");
        }
        s.header = Bytes(sectionHeaderSize, 0);
        const char name[] = ".rsrc";
        std::copy(name, name + 5, s.header.begin());
        putU32(s.header, 20, alignUp(static_cast<uint32_t>(imageEnd()),
                                     optional32(fileAlignmentField)));
        putU32(s.header, 36, resourceSectionFlags);
    }
    putU32(s.header, 8, static_cast<uint32_t>(data.size()));
    putU32(s.header, 12, rva);
    putU32(s.header, 16, rawSize);
    s.data = data;
    s.data.resize(rawSize, 0);
    if (inPlace >= 0) {
        sectionList[static_cast<size_t>(inPlace)] = s;
        if (static_cast<size_t>(inPlace) + 1 < sectionList.size()) {
            moveAfter(static_cast<size_t>(inPlace));
        }
    } else {
        sectionList.push_back(s);
    }
    const PeSection& last = sectionList.back();

    setOptional32(sizeOfInitializedDataField, initializedData);
    setOptional32(dataDirectoriesField + 8 * ResourceTable, rva);
    setOptional32(dataDirectoriesField + 8 * ResourceTable + 4, static_cast<uint32_t>(data.size()));
    setOptional32(sizeOfImageField, alignUp(last.virtualAddress() + last.extent(),
                                            optional32(sectionAlignmentField)));
}

Bytes PeFile::write() const {
    Bytes out = headers;
    const ByteReader original(headers, what);
    const size_t table = optionalHeader() + original.u16(peOffset + sizeOfOptionalHeaderField);
    putU16(out, peOffset + numberOfSectionsField, static_cast<uint16_t>(sectionList.size()));
    for (size_t i = 0; i < sectionList.size(); ++i) {
        std::copy(sectionList[i].header.begin(), sectionList[i].header.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(table + sectionHeaderSize * i));
    }
    for (const PeSection& s : sectionList) {
        if (s.sizeOfRawData() == 0) {
            continue;
        }
        const size_t end = static_cast<size_t>(s.pointerToRawData()) + s.sizeOfRawData();
        out.resize(std::max(out.size(), end), 0);
        std::copy(s.data.begin(), s.data.end(),
                  out.begin() + static_cast<std::ptrdiff_t>(s.pointerToRawData()));
    }
    // A symbol table among the appended data moves with it.
    const uint32_t symbols = original.u32(peOffset + pointerToSymbolTableField);
    const size_t imageSize = out.size();
    out.insert(out.end(), overlay.begin(), overlay.end());
    if (symbols != 0 && symbols >= overlayStart) {
        putU32(out, peOffset + pointerToSymbolTableField,
               static_cast<uint32_t>(symbols - overlayStart + imageSize));
    }
    putU32(out, optionalHeader() + checkSumField, 0);
    putU32(out, optionalHeader() + checkSumField, peChecksum(out, optionalHeader() + checkSumField));
    return out;
}

uint32_t peChecksum(const Bytes& file, size_t checksumOffset) {
    const auto byteAt = [&](size_t i) -> uint32_t {
        const bool inField = i >= checksumOffset && i < checksumOffset + 4;
        return i < file.size() && !inField ? file[i] : 0;
    };
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        sum += byteAt(i) | byteAt(i + 1) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + file.size());
}

bool isPeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    unsigned char head[64] = {};
    if (!in.read(reinterpret_cast<char*>(head), sizeof(head)) || head[0] != 'M' || head[1] != 'Z') {
        return false;
    }
    const uint32_t offset = head[60] | head[61] << 8 | head[62] << 16 | static_cast<uint32_t>(head[63]) << 24;
    char signature[4] = {};
    in.seekg(offset);
    return offset < (1u << 20) && in.read(signature, 4) && std::equal(signature, signature + 4, "PE\0\0");
}
