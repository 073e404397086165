// The directory of a zip archive (a jar), and the first bytes of its entries.
#ifndef ZIPARCHIVE_H
#define ZIPARCHIVE_H

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

// Read from its end, as the runtime reads it: the end record, then the
// central directory. Every count, offset and size is bounded by the file's
// size before it is used; only what a check needs is read and inflated.
class ZipArchive {
public:
    struct Entry {
        std::string name;
        uint16_t method = 0;  // 0 stored, 8 deflated
        uint64_t compressedSize = 0;
        uint64_t size = 0;
        uint64_t localHeaderOffset = 0;
    };

    // Throws PackError, naming `what`, when the file is not a zip archive.
    ZipArchive(const std::filesystem::path& path, const std::string& what);

    const std::vector<Entry>& entries() const { return list; }
    const Entry* find(const std::string& name) const;

    // The first `limit` bytes of the entry's content; throws PackError when
    // they cannot be read.
    std::string read(const Entry& entry, size_t limit = SIZE_MAX) const;

private:
    std::string readAt(uint64_t offset, uint64_t size) const;
    void readDirectory();

    std::string what;
    mutable std::ifstream file;
    uint64_t fileSize = 0;
    std::vector<Entry> list;
};

#endif // ZIPARCHIVE_H
