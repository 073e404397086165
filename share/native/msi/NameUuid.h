// Name-based UUIDs (version 5, SHA-1): the same namespace and name always
// give the same UUID, so codes derived from an application's identity stay
// stable across builds and machines.
#ifndef NAMEUUID_H
#define NAMEUUID_H

#include <array>
#include <cstdint>
#include <string>

typedef std::array<uint8_t, 16> Uuid;

std::array<uint8_t, 20> sha1(const std::string& data);

Uuid nameUuid(const Uuid& space, const std::string& name);

// Upper-case "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", as installers write it.
std::string formatUuid(const Uuid& uuid);

// Accepts that form, with or without braces, in either case; throws
// PackError otherwise.
Uuid parseUuid(const std::string& text);

#endif // NAMEUUID_H
