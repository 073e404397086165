// What an x86-64 ELF file needs of the system's libraries: its NEEDED
// entries, the symbol versions it needs of each, and its own SONAME.
#ifndef ELFFILE_H
#define ELFFILE_H

#include <map>
#include <string>
#include <vector>

#include "Bytes.h"

struct ElfLinks {
    std::string soname;
    std::vector<std::string> needed;
    // "libc.so.6" -> {"GLIBC_2.2.5", "GLIBC_2.34"}
    std::map<std::string, std::vector<std::string>> versionsNeeded;
};

// Whether `head` (the first bytes of a file) starts an ELF file.
bool isElf(const Bytes& head);

// Whether `head` (the first 20 bytes or more) starts a 64-bit ELF file for
// x86-64: native code for the images' machine.
bool isX86_64Elf(const Bytes& head);

// Throws PackError naming `what` when `file` is not a 64-bit little-endian
// ELF file or its dynamic section is cut short.
ElfLinks readElfLinks(const Bytes& file, const std::string& what);

#endif // ELFFILE_H
