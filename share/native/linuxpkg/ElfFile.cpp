// Read from the section headers, which stripping keeps: .dynamic with its
// string table, and .gnu.version_r. Every offset is bounded first.
#include "ElfFile.h"

#include <algorithm>
#include <cstdint>
#include <set>

#include "PackError.h"
#include "Quoting.h"

namespace {

const uint32_t shtDynamic = 6, shtVerneed = 0x6ffffffe;
const uint64_t dtNeeded = 1, dtSoname = 14;
const size_t maxNameLength = 255;
// Elf64_Verneed and Elf64_Vernaux are 16 bytes each.
const uint64_t versionRecordSize = 16;

bool isPlainName(const std::string& text) {
    for (const char c : text) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_'
              || c == '+' || c == '-')) {
            return false;
        }
    }
    return true;
}

class Reader {
public:
    Reader(const Bytes& file, const std::string& what) : file(file), what(what) {}

    uint64_t get(uint64_t at, unsigned size) const {
        if (at > file.size() || size > file.size() - at) {
            throw PackError(what + " is cut short: it is not a whole ELF file");
        }
        uint64_t value = 0;
        for (unsigned i = size; i-- > 0;) {
            value = value << 8 | file[at + i];
        }
        return value;
    }

    // A name of the string table: a library or version name, which no real
    // file makes longer than a few dozen characters, of the characters
    // library names are made of. Anything else is refused, so no name can
    // carry text into the files a package is made of.
    std::string name(uint64_t table, uint64_t tableSize, uint64_t offset, const char* kind) const {
        std::string text;
        for (uint64_t at = offset; at < tableSize && text.size() <= maxNameLength; ++at) {
            const char c = static_cast<char>(get(table + at, 1));
            if (c == '\0') {
                if (text.empty() || !isPlainName(text)) {
                    throw PackError(what + " names a " + kind + " " + shownValue(text) + ": not a name of "
                                    "letters, digits and \"._+-\", as every library's is");
                }
                return text;
            }
            text += c;
        }
        throw PackError(what + (text.size() > maxNameLength ? " names a " + std::string(kind) + " longer than "
                                + std::to_string(maxNameLength) + " characters, as no library's is"
                                : " has a name beyond its string table"));
    }

private:
    const Bytes& file;
    const std::string& what;
};

struct Section {
    uint32_t type;
    uint64_t offset, size;
    uint32_t link, info;
};

std::vector<Section> sections(const Reader& in) {
    const uint64_t start = in.get(0x28, 8), entrySize = in.get(0x3A, 2), count = in.get(0x3C, 2);
    std::vector<Section> list;
    for (uint64_t i = 0; i < count && entrySize >= 64; ++i) {
        const uint64_t at = start + i * entrySize;
        list.push_back({static_cast<uint32_t>(in.get(at + 4, 4)), in.get(at + 24, 8), in.get(at + 32, 8),
                        static_cast<uint32_t>(in.get(at + 40, 4)), static_cast<uint32_t>(in.get(at + 44, 4))});
    }
    return list;
}

const Section& linked(const std::vector<Section>& all, const Section& s, const std::string& what) {
    if (s.link >= all.size()) {
        throw PackError(what + " links a section to one it does not have");
    }
    return all[s.link];
}

// Each record lies inside the section, and a chain visits no more records
// than the section holds: a file whose records loop or overlap cannot make
// the reading grow.
void readVersionsNeeded(const Reader& in, const std::vector<Section>& all, const Section& s,
                        const std::string& what, ElfLinks& links) {
    const Section& strings = linked(all, s, what);
    const uint64_t end = s.offset + std::min(s.size, UINT64_MAX - s.offset);
    uint64_t budget = s.size / versionRecordSize;
    const auto record = [&](uint64_t at) {
        if (at < s.offset || at > end || end - at < versionRecordSize || budget-- == 0) {
            throw PackError(what + " has version records that lie outside their section or loop");
        }
        return at;
    };
    uint64_t at = s.offset;
    for (uint32_t i = 0; i < s.info; ++i) {
        record(at);
        const std::string library = in.name(strings.offset, strings.size, in.get(at + 4, 4), "library");
        std::set<std::string> versions(links.versionsNeeded[library].begin(), links.versionsNeeded[library].end());
        uint64_t aux = at + in.get(at + 8, 4);
        for (uint64_t j = 0, n = in.get(at + 2, 2); j < n; ++j) {
            record(aux);
            versions.insert(in.name(strings.offset, strings.size, in.get(aux + 8, 4), "symbol version"));
            aux += in.get(aux + 12, 4);
        }
        links.versionsNeeded[library].assign(versions.begin(), versions.end());
        const uint64_t next = in.get(at + 12, 4);
        if (next == 0) {
            break;
        }
        at += next;
    }
}

} // namespace

bool isElf(const Bytes& head) {
    return head.size() >= 4 && head[0] == 0x7f && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
}

bool isX86_64Elf(const Bytes& head) {
    // e_machine 0x3E read little-endian: a big-endian file has 0x00 0x3E.
    return head.size() >= 20 && isElf(head) && head[4] == 2 && head[18] == 0x3E && head[19] == 0;
}

ElfLinks readElfLinks(const Bytes& file, const std::string& what) {
    if (!isElf(file) || file.size() < 64 || file[4] != 2 || file[5] != 1) {
        throw PackError(what + " is not a 64-bit little-endian ELF file");
    }
    const Reader in(file, what);
    const std::vector<Section> all = sections(in);
    ElfLinks links;
    std::set<std::string> needed;
    unsigned dynamicSections = 0, versionSections = 0;
    for (const Section& s : all) {
        // A linker writes one of each: more would only make the reading longer.
        if ((s.type == shtDynamic && dynamicSections++) || (s.type == shtVerneed && versionSections++)) {
            throw PackError(what + " has two dynamic or two version sections, as no linker writes");
        }
        if (s.type == shtDynamic) {
            const Section& strings = linked(all, s, what);
            for (uint64_t at = s.offset; at + 16 <= s.offset + s.size; at += 16) {
                const uint64_t tag = in.get(at, 8), value = in.get(at + 8, 8);
                if (tag == dtNeeded) {
                    const std::string library = in.name(strings.offset, strings.size, value, "library");
                    if (needed.insert(library).second) {
                        links.needed.push_back(library);
                    }
                } else if (tag == dtSoname) {
                    links.soname = in.name(strings.offset, strings.size, value, "library");
                }
            }
        } else if (s.type == shtVerneed) {
            readVersionsNeeded(in, all, s, what, links);
        }
    }
    return links;
}
