// Read from the section headers, which stripping keeps: .dynamic with its
// string table, and .gnu.version_r. Every offset is bounded first.
#include "ElfFile.h"

#include <cstdint>

#include "PackError.h"

namespace {

const uint32_t shtDynamic = 6, shtVerneed = 0x6ffffffe;
const uint64_t dtNeeded = 1, dtSoname = 14;

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

    std::string string(uint64_t table, uint64_t tableSize, uint64_t offset) const {
        std::string text;
        for (uint64_t at = offset; at < tableSize; ++at) {
            const char c = static_cast<char>(get(table + at, 1));
            if (c == '\0') {
                return text;
            }
            text += c;
        }
        throw PackError(what + " has a name beyond its string table");
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

void readVersionsNeeded(const Reader& in, const std::vector<Section>& all, const Section& s,
                        const std::string& what, ElfLinks& links) {
    const Section& strings = linked(all, s, what);
    uint64_t at = s.offset;
    for (uint32_t i = 0; i < s.info; ++i) {
        const std::string library = in.string(strings.offset, strings.size, in.get(at + 4, 4));
        uint64_t aux = at + in.get(at + 8, 4);
        for (uint64_t j = 0, n = in.get(at + 2, 2); j < n; ++j) {
            links.versionsNeeded[library].push_back(in.string(strings.offset, strings.size, in.get(aux + 8, 4)));
            aux += in.get(aux + 12, 4);
        }
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
    for (const Section& s : all) {
        if (s.type == shtDynamic) {
            const Section& strings = linked(all, s, what);
            for (uint64_t at = s.offset; at + 16 <= s.offset + s.size; at += 16) {
                const uint64_t tag = in.get(at, 8), value = in.get(at + 8, 8);
                if (tag == dtNeeded) {
                    links.needed.push_back(in.string(strings.offset, strings.size, value));
                } else if (tag == dtSoname) {
                    links.soname = in.string(strings.offset, strings.size, value);
                }
            }
        } else if (s.type == shtVerneed) {
            readVersionsNeeded(in, all, s, what, links);
        }
    }
    return links;
}
