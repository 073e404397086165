// The directory of a zip archive (a jar), and the first bytes of its entries.
#ifndef ZIPARCHIVE_H
#define ZIPARCHIVE_H

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
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
    // The same of an archive in memory.
    ZipArchive(std::string bytes, const std::string& what);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    const std::vector<Entry>& entries() const { return list; }
    const Entry* find(const std::string& name) const;

    // Inflates entries one after another; setting one up costs more than
    // inflating a class header. One per thread.
    class Inflater {
    public:
        Inflater();
        ~Inflater();
        Inflater(const Inflater&) = delete;
        Inflater& operator=(const Inflater&) = delete;
        struct z_stream_s* stream() { return z.get(); }

    private:
        std::unique_ptr<struct z_stream_s> z;
    };

    // The first `limit` bytes of the entry's content; throws PackError when
    // they cannot be read. Threads may read one archive at once, each with
    // an inflater of its own.
    std::string read(const Entry& entry, size_t limit, Inflater& inflater) const;
    std::string read(const Entry& entry, size_t limit) const;

    // The whole content of a small entry (a manifest, a module descriptor).
    // Throws PackError, naming it as `what`, when the entry claims more than
    // `limit` bytes: such a claim is never real, and is not allocated.
    std::string readWhole(const Entry& entry, size_t limit, const std::string& what) const;

    // Every entry of that name: a name may stand twice in a zip's directory.
    std::vector<const Entry*> findAll(const std::string& name) const;

    // Before many entries are read: one read of the whole file instead of
    // one for each (up to a size that memory holds easily).
    void loadWhole() const;

private:
    // The bytes at `offset`, in place once the file is loaded, else read
    // into `storage`; throws PackError past the file's end.
    std::string_view viewAt(uint64_t offset, uint64_t size, std::string& storage) const;
    std::string readFile(uint64_t offset, uint64_t size) const;
    template <class More>
    std::string inflateTo(size_t wanted, bool entire, std::string_view& piece, const uint64_t& given,
                          const Entry& entry, const More& more, Inflater& inflater) const;
    void readDirectory();

    std::string what;
    mutable std::ifstream file;
    uint64_t fileSize = 0;
    std::vector<Entry> list;
    mutable std::mutex fileLock;  // a seek and its read go together
    mutable std::string whole;    // the file, once loadWhole has read it
    mutable std::atomic<bool> loaded{false};  // then `whole` never changes: read without a lock
    mutable std::mutex loadLock;
    static const uint64_t maxLoadedSize = 256 << 20;
    mutable std::unique_ptr<Inflater> ownInflater;
};

#endif // ZIPARCHIVE_H
