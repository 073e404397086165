// Deflated entries read three ways (from the file, after loadWhole, from
// bytes in memory) give the same bytes, however the sizes the directory
// declares and the stream itself disagree.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <zlib.h>

#include "JarFixtures.h"
#include "PackError.h"
#include "ZipArchive.h"

namespace fs = std::filesystem;

namespace {

std::string rawDeflate(const std::string& content) {
    z_stream z = {};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(content.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    z.avail_in = static_cast<uInt>(content.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

struct Deflated {
    std::string name;
    std::string content;
    uint32_t declaredSize;  // what the directory says the content holds
};

// A zip whose entries are deflated, each declaring the size given.
std::string deflatedZipOf(const std::vector<Deflated>& files) {
    std::vector<ZipEntryRecord> entries;
    for (const Deflated& f : files) {
        entries.push_back({f.name, rawDeflate(f.content), 8, stored_zip::crc32(f.content), f.declaredSize});
    }
    return zipOf(entries);
}

// Bytes that deflate hardly shrinks: a big entry then takes several reads.
std::string noise(size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

class ZipArchiveTest : public ::testing::Test {
protected:
    ZipArchiveTest() : path(fs::temp_directory_path() / "loftwick-zip-archive-test.zip") {}
    ~ZipArchiveTest() override { fs::remove(path); }

    // Each entry read whole and by its first 8 bytes, from the file, from
    // the file loaded whole, and from memory.
    std::vector<std::string> readAll(const std::string& zip, size_t limit) {
        std::ofstream(path, std::ios::binary) << zip;
        const ZipArchive fromFile(path, "the jar");
        const ZipArchive loaded(path, "the jar");
        loaded.loadWhole();
        const ZipArchive inMemory(zip, "the jar");
        std::vector<std::string> results;
        for (const ZipArchive* archive : {&fromFile, &loaded, &inMemory}) {
            std::string all;
            for (const ZipArchive::Entry& e : archive->entries()) {
                all += archive->read(e, limit) + "|";
            }
            results.push_back(all);
        }
        return results;
    }

    fs::path path;
};

TEST_F(ZipArchiveTest, EveryWayOfReadingGivesTheSameBytes) {
    const std::string big = noise(200000);
    const std::string cls = std::string("\xCA\xFE\xBA\xBE\0\0\0\x3D", 8) + std::string(3000, 'x');
    const std::string zip = deflatedZipOf({{"a/Big.class", big, static_cast<uint32_t>(big.size())},
                                           {"a/C.class", cls, static_cast<uint32_t>(cls.size())},
                                           {"a/Empty.class", "", 0}});
    for (const std::string& got : readAll(zip, SIZE_MAX)) {
        EXPECT_TRUE(got == big + "|" + cls + "||") << got.size();
    }
    for (const std::string& got : readAll(zip, 8)) {
        EXPECT_EQ(got, big.substr(0, 8) + "|" + cls.substr(0, 8) + "||");
    }
}

TEST_F(ZipArchiveTest, ADeclaredSizeBoundsWhatIsMade) {
    // A stream longer than its entry declares gives the declared bytes and
    // no more; a shorter one gives what it holds.
    const std::string text(5000, 'k');
    const std::string zip = deflatedZipOf({{"Short.class", text, 100}, {"Long.class", text, 9000}});
    for (const std::string& got : readAll(zip, SIZE_MAX)) {
        EXPECT_EQ(got, text.substr(0, 100) + "|" + text + "|");
    }
}

TEST_F(ZipArchiveTest, ACorruptStreamIsAPackError) {
    std::string zip = deflatedZipOf({{"C.class", noise(2000), 2000}});
    zip[30 + 7] = '\xFF';  // the first block's header: a reserved block type
    std::ofstream(path, std::ios::binary) << zip;
    const ZipArchive archive(path, "the jar");
    archive.loadWhole();
    EXPECT_THROW(archive.read(archive.entries().front(), SIZE_MAX), PackError);
}

} // namespace
