// The VS_VERSIONINFO resource: fixed file information and one string table
// (US English, Unicode) whose translation entry matches it.
#ifndef VERSIONRESOURCE_H
#define VERSIONRESOURCE_H

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Bytes.h"

struct VersionInfo {
    std::array<uint16_t, 4> version{};  // fixed file and product version
    // Key and UTF-8 value, in the order written.
    std::vector<std::pair<std::string, std::string>> strings;
};

// One to four numbers separated by '.', each 0..65535; throws otherwise.
std::array<uint16_t, 4> parseVersion(const std::string& text);

Bytes versionResource(const VersionInfo& info);

// The fixed version and the strings of the first string table, as Windows'
// version API reads them; throws PackError naming `what` on corrupt data.
VersionInfo readVersionInfo(const Bytes& resource, const std::string& what);

// The value of `key` in `info`, or "" when it has none.
std::string versionString(const VersionInfo& info, const std::string& key);

const uint16_t versionLanguage = 0x0409;   // US English
const uint16_t versionCodePage = 1200;     // Unicode

#endif // VERSIONRESOURCE_H
