// A native library of an image, any bytes: what it links against, read with
// every bound, or refused with a PackError.
#include <cstddef>
#include <cstdint>

#include "ElfFile.h"
#include "PackError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Bytes file(data, data + size);
    isX86_64Elf(file);
    try {
        readElfLinks(file, "input");
    } catch (const PackError&) {
    }
    return 0;
}
