// A jar as the checks read it: its directory, the head of each entry, and a
// small entry whole (a manifest) up to the bound no real one reaches.
#include <cstddef>
#include <cstdint>
#include <string>

#include "PackError.h"
#include "ZipArchive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const ZipArchive zip(std::string(reinterpret_cast<const char*>(data), size), "input");
        size_t read = 0;
        for (const ZipArchive::Entry& entry : zip.entries()) {
            if (++read > 64) {
                break;
            }
            try {
                zip.read(entry, 8);
                zip.readWhole(entry, 1 << 20, "entry");
            } catch (const PackError&) {
            }
        }
    } catch (const PackError&) {
    }
    return 0;
}
