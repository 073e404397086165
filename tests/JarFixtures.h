// Jars and class files written by the tests themselves, so the readers under
// test are checked against writers of their own: zip archives with stored
// entries, class headers, module descriptors. Shared by the Windows and the
// native tests; broken ones are made from these by hand.
#ifndef JARFIXTURES_H
#define JARFIXTURES_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// The files packing requires of a Java runtime: the runtime library,
// lib/jvm.cfg, and the virtual machine it names; for Windows or Linux.
inline std::vector<std::pair<std::string, std::string>> runtimeFiles(bool forLinux, const std::string& jli) {
    const std::string cfg = "-server KNOWN\n-client IGNORE\n";
    if (forLinux) {
        return {{"lib/libjli.so", jli}, {"lib/jvm.cfg", cfg}, {"lib/server/libjvm.so", "vm"}};
    }
    return {{"bin/jli.dll", jli}, {"lib/jvm.cfg", cfg}, {"bin/server/jvm.dll", "vm"}};
}

namespace stored_zip {

inline uint32_t crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

inline void put(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

} // namespace stored_zip

// One entry as the archive holds it: its bytes as written (stored or
// deflated), and what the headers say of them.
struct ZipEntryRecord {
    std::string name;
    std::string data;
    uint16_t method;        // 0 stored, 8 deflated
    uint32_t crc;
    uint32_t declaredSize;  // the size its content claims
};

// Entries in the order given (a name may repeat), and the archive's comment.
inline std::string zipOf(const std::vector<ZipEntryRecord>& entries, const std::string& comment = std::string()) {
    using stored_zip::put;
    std::string out, directory;
    for (const ZipEntryRecord& e : entries) {
        const uint32_t offset = static_cast<uint32_t>(out.size());
        const uint32_t packed = static_cast<uint32_t>(e.data.size());
        const uint32_t nameSize = static_cast<uint32_t>(e.name.size());
        const uint32_t version = e.method == 8 ? 20 : 10;  // what the entry needs to be read
        put(out, 0x04034b50, 4);  // local header: version, flags, method, time, date
        put(out, version, 2); put(out, 0, 2); put(out, e.method, 2); put(out, 0, 4);
        put(out, e.crc, 4); put(out, packed, 4); put(out, e.declaredSize, 4);
        put(out, nameSize, 2); put(out, 0, 2);
        out += e.name + e.data;
        put(directory, 0x02014b50, 4);
        put(directory, version, 2); put(directory, version, 2); put(directory, 0, 2); put(directory, e.method, 2);
        put(directory, 0, 4); put(directory, e.crc, 4); put(directory, packed, 4); put(directory, e.declaredSize, 4);
        put(directory, nameSize, 2); put(directory, 0, 2); put(directory, 0, 2);
        put(directory, 0, 2); put(directory, 0, 2); put(directory, 0, 4); put(directory, offset, 4);
        directory += e.name;
    }
    const uint32_t directoryOffset = static_cast<uint32_t>(out.size());
    out += directory;
    put(out, 0x06054b50, 4);
    put(out, 0, 2); put(out, 0, 2);
    put(out, static_cast<uint32_t>(entries.size()), 2); put(out, static_cast<uint32_t>(entries.size()), 2);
    put(out, static_cast<uint32_t>(directory.size()), 4); put(out, directoryOffset, 4);
    put(out, static_cast<uint32_t>(comment.size()), 2);
    return out + comment;
}

inline std::string storedZipOf(const std::vector<std::pair<std::string, std::string>>& files,
                               const std::string& comment = std::string()) {
    std::vector<ZipEntryRecord> entries;
    for (const auto& file : files) {
        const uint32_t size = static_cast<uint32_t>(file.second.size());
        entries.push_back({file.first, file.second, 0, stored_zip::crc32(file.second), size});
    }
    return zipOf(entries, comment);
}

inline std::string storedZip(const std::map<std::string, std::string>& files) {
    return storedZipOf(std::vector<std::pair<std::string, std::string>>(files.begin(), files.end()));
}

// The first bytes of a class file of this major_version (61 is Java 17):
// all a check reads of it.
inline std::string classFile(unsigned major) {
    return std::string("\xCA\xFE\xBA\xBE\0\0\0", 7) + static_cast<char>(major);
}

// A module-info.class declaring the module `name`, nothing else.
inline std::string moduleInfo(const std::string& name) {
    std::string b = classFile(53);
    const auto u2 = [&b](size_t v) { b += static_cast<char>(v >> 8); b += static_cast<char>(v & 0xFF); };
    const auto utf8 = [&](const std::string& text) { b += '\1'; u2(text.size()); b += text; };
    u2(6);                                   // constant_pool_count
    utf8("module-info");                     // #1
    b += '\7'; u2(1);                        // #2 Class module-info
    utf8("Module");                          // #3
    utf8(name);                              // #4
    b += '\x13'; u2(4);                      // #5 Module name
    u2(0x8000); u2(2); u2(0); u2(0); u2(0); u2(0);  // ACC_MODULE, this, super, counts
    u2(1); u2(3);                            // one attribute: Module
    b += std::string("\0\0\0\x10", 4);       // attribute_length 16
    u2(5); u2(0); u2(0);                     // module_name_index, flags, version
    for (int i = 0; i < 5; ++i) {
        u2(0);                               // requires, exports, opens, uses, provides
    }
    return b;
}

#endif // JARFIXTURES_H
