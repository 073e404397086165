// The resource directory of an executable: type, name and language levels
// over data leaves, read from and laid out into a resource section.
#ifndef RESOURCETREE_H
#define RESOURCETREE_H

#include <cstdint>
#include <map>
#include <string>

#include "Bytes.h"

class PeFile;

// An entry of a directory level: a number, or a name (ordered first).
struct ResourceName {
    bool isName = false;
    uint16_t id = 0;
    std::u16string name;

    static ResourceName number(uint16_t id) { return ResourceName{false, id, {}}; }
    bool operator<(const ResourceName& o) const;
};

struct ResourceLeaf {
    uint32_t codePage = 0;
    Bytes data;
};

typedef std::map<uint16_t, ResourceLeaf> ResourceLanguages;
typedef std::map<ResourceName, ResourceLanguages> ResourceNames;
typedef std::map<ResourceName, ResourceNames> ResourceTree;

enum ResourceType : uint16_t { RT_ICON_TYPE = 3, RT_GROUP_ICON_TYPE = 14, RT_VERSION_TYPE = 16,
                               RT_MANIFEST_TYPE = 24 };

// An executable without resources gives an empty tree.
ResourceTree readResources(const PeFile& pe, const std::string& what);

// The section bytes of `tree` when the section starts at `sectionRva`:
// directories, data entries, names, then the data, each piece aligned.
Bytes layOutResources(const ResourceTree& tree, uint32_t sectionRva);

#endif // RESOURCETREE_H
