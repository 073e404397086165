// Resource directory tables as Microsoft's PE/COFF document describes them:
// IMAGE_RESOURCE_DIRECTORY (16 bytes) followed by 8-byte entries, named
// entries first; leaves are IMAGE_RESOURCE_DATA_ENTRY records (16 bytes)
// whose data is addressed by RVA.
#include "ResourceTree.h"

#include <set>
#include <vector>

#include "PackError.h"
#include "PeFile.h"

namespace {

const uint32_t subdirectoryFlag = 0x80000000;
const size_t directoryHeaderSize = 16;
const size_t entrySize = 8;
const size_t dataEntrySize = 16;

class Reader {
public:
    Reader(const PeFile& pe, const Bytes& section, const std::string& what)
        : pe(pe), r(section, what + " resources"), what(what + " resources") {}

    ResourceTree tree() {
        ResourceTree result;
        for (const auto& type : entries(0)) {
            ResourceNames& names = result[type.first];
            for (const auto& name : entries(subdirectory(type.second))) {
                ResourceLanguages& languages = names[name.first];
                for (const auto& language : entries(subdirectory(name.second))) {
                    if (language.first.isName || language.second & subdirectoryFlag) {
                        throw corrupt();
                    }
                    languages[language.first.id] = leaf(language.second);
                }
            }
        }
        return result;
    }

private:
    PackError corrupt() const { return PackError(what + " are corrupt"); }

    uint32_t subdirectory(uint32_t offset) const {
        if (!(offset & subdirectoryFlag)) {
            throw corrupt();
        }
        return offset & ~subdirectoryFlag;
    }

    // Each table is read once: a table reached twice is a loop or a
    // lattice, and either could make the walk endless.
    std::vector<std::pair<ResourceName, uint32_t>> entries(uint32_t offset) {
        if (!visited.insert(offset).second) {
            throw corrupt();
        }
        const size_t count = static_cast<size_t>(r.u16(offset + 12)) + r.u16(offset + 14);
        r.require(offset, directoryHeaderSize + entrySize * count);
        std::vector<std::pair<ResourceName, uint32_t>> result;
        for (size_t i = 0; i < count; ++i) {
            const size_t entry = offset + directoryHeaderSize + entrySize * i;
            const uint32_t nameField = r.u32(entry);
            ResourceName name;
            if (nameField & subdirectoryFlag) {
                name.isName = true;
                const size_t at = nameField & ~subdirectoryFlag;
                const size_t length = r.u16(at);
                r.require(at + 2, 2 * length);
                for (size_t c = 0; c < length; ++c) {
                    name.name += static_cast<char16_t>(r.u16(at + 2 + 2 * c));
                }
            } else if (nameField > 0xFFFF) {
                throw corrupt();
            } else {
                name.id = static_cast<uint16_t>(nameField);
            }
            result.emplace_back(name, r.u32(entry + 4));
        }
        return result;
    }

    ResourceLeaf leaf(uint32_t offset) const {
        r.require(offset, dataEntrySize);
        ResourceLeaf leaf;
        leaf.data = pe.readRva(r.u32(offset), r.u32(offset + 4));
        leaf.codePage = r.u32(offset + 8);
        return leaf;
    }

    const PeFile& pe;
    ByteReader r;
    std::string what;
    std::set<uint32_t> visited;
};

void writeDirectory(Bytes& out, size_t at, const std::vector<ResourceName>& names,
                    const std::vector<uint32_t>& nameOffsets, const std::vector<uint32_t>& targets) {
    size_t named = 0;
    for (const ResourceName& n : names) {
        named += n.isName;
    }
    putU16(out, at + 12, static_cast<uint16_t>(named));
    putU16(out, at + 14, static_cast<uint16_t>(names.size() - named));
    for (size_t i = 0; i < names.size(); ++i) {
        const size_t entry = at + directoryHeaderSize + entrySize * i;
        putU32(out, entry, names[i].isName ? (nameOffsets[i] | subdirectoryFlag) : names[i].id);
        putU32(out, entry + 4, targets[i]);
    }
}

size_t tableSize(size_t entries) {
    return directoryHeaderSize + entrySize * entries;
}

} // namespace

bool ResourceName::operator<(const ResourceName& o) const {
    if (isName != o.isName) {
        return isName;
    }
    return isName ? name < o.name : id < o.id;
}

ResourceTree readResources(const PeFile& pe, const std::string& what) {
    const uint32_t rva = pe.directoryRva(PeFile::ResourceTable);
    if (rva == 0) {
        return ResourceTree();
    }
    for (const PeSection& s : pe.sections()) {
        if (rva >= s.virtualAddress() && rva - s.virtualAddress() < s.data.size()) {
            const Bytes section(s.data.begin() + (rva - s.virtualAddress()), s.data.end());
            return Reader(pe, section, what).tree();
        }
    }
    throw PackError(what + " resources are outside its sections");
}

Bytes layOutResources(const ResourceTree& tree, uint32_t sectionRva) {
    // Offsets of the tables: the root, the name tables, the language tables.
    size_t size = tableSize(tree.size());
    std::vector<size_t> nameTables, languageTables;
    for (const auto& type : tree) {
        nameTables.push_back(size);
        size += tableSize(type.second.size());
    }
    for (const auto& type : tree) {
        for (const auto& name : type.second) {
            languageTables.push_back(size);
            size += tableSize(name.second.size());
        }
    }
    const size_t dataEntries = size;
    size_t leaves = 0;
    for (const auto& type : tree) {
        for (const auto& name : type.second) {
            leaves += name.second.size();
        }
    }
    size += dataEntrySize * leaves;

    // Name strings: a count and UTF-16 code units.
    std::map<std::u16string, uint32_t> strings;
    const auto addString = [&](const ResourceName& n) {
        if (n.isName && !strings.count(n.name)) {
            strings[n.name] = static_cast<uint32_t>(size);
            size += 2 + 2 * n.name.size();
        }
    };
    for (const auto& type : tree) {
        addString(type.first);
        for (const auto& name : type.second) {
            addString(name.first);
        }
    }

    Bytes out(size, 0);
    for (const auto& s : strings) {
        putU16(out, s.second, static_cast<uint16_t>(s.first.size()));
        for (size_t c = 0; c < s.first.size(); ++c) {
            putU16(out, s.second + 2 + 2 * c, s.first[c]);
        }
    }
    const auto offsetsOf = [&](const std::vector<ResourceName>& names) {
        std::vector<uint32_t> offsets;
        for (const ResourceName& n : names) {
            offsets.push_back(n.isName ? strings.at(n.name) : 0);
        }
        return offsets;
    };

    std::vector<ResourceName> typeNames;
    std::vector<uint32_t> typeTargets;
    size_t typeIndex = 0, nameIndex = 0, leafIndex = 0;
    for (const auto& type : tree) {
        typeNames.push_back(type.first);
        typeTargets.push_back(static_cast<uint32_t>(nameTables[typeIndex]) | subdirectoryFlag);
        std::vector<ResourceName> names;
        std::vector<uint32_t> nameTargets;
        for (const auto& name : type.second) {
            names.push_back(name.first);
            nameTargets.push_back(static_cast<uint32_t>(languageTables[nameIndex]) | subdirectoryFlag);
            std::vector<ResourceName> languages;
            std::vector<uint32_t> languageTargets;
            for (const auto& language : name.second) {
                const size_t entry = dataEntries + dataEntrySize * leafIndex++;
                languages.push_back(ResourceName::number(language.first));
                languageTargets.push_back(static_cast<uint32_t>(entry));
                padTo(out, 8);
                putU32(out, entry, sectionRva + static_cast<uint32_t>(out.size()));
                putU32(out, entry + 4, static_cast<uint32_t>(language.second.data.size()));
                putU32(out, entry + 8, language.second.codePage);
                out.insert(out.end(), language.second.data.begin(), language.second.data.end());
            }
            writeDirectory(out, languageTables[nameIndex++], languages, offsetsOf(languages),
                           languageTargets);
        }
        writeDirectory(out, nameTables[typeIndex++], names, offsetsOf(names), nameTargets);
    }
    writeDirectory(out, 0, typeNames, offsetsOf(typeNames), typeTargets);
    return out;
}
