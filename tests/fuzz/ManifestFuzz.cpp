// A jar's manifest, any bytes: attributes read as the runtime reads them.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Manifest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Manifest manifest(std::string(reinterpret_cast<const char*>(data), size));
    for (const char* name : {"Main-Class", "Class-Path", "Multi-Release", "Automatic-Module-Name"}) {
        manifest.get(name);
    }
    return 0;
}
