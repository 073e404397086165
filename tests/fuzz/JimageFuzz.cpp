// A runtime's lib/modules, any bytes: its package table.
#include <cstddef>
#include <cstdint>
#include <string>

#include "JimageFile.h"
#include "PackError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        jimagePackagesOf(std::string(reinterpret_cast<const char*>(data), size), "fuzz");
    } catch (const PackError&) {
    }
    return 0;
}
