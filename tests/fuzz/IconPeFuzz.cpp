// An icon file and a launcher executable, any bytes: the icon read (and
// made PNG for the Linux icon theme), the executable read, stamped with it
// and read back; each either works or fails with a PackError.
#include <cstddef>
#include <cstdint>

#include "HicolorIcons.h"
#include "IconFile.h"
#include "PackError.h"
#include "PeFile.h"
#include "Stamp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Bytes input(data, data + size);
    try {
        readIconFile(input, "icon");
        hicolorIcons(input, "icon");
    } catch (const PackError&) {
    }
    try {
        Branding branding;
        branding.name = "Fuzz";
        branding.fileName = "Fuzz.exe";
        branding.productName = "Fuzz";
        branding.version = "1.2.3";
        PeFile::read(stampExecutable(input, "executable", branding), "stamped");
    } catch (const PackError&) {
    }
    return 0;
}
