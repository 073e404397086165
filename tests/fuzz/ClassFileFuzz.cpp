// A class file or module descriptor, any bytes: its version, module name,
// main class and the classes and strings its constant pool names.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ClassFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    javaReleaseOf(classMajorVersion(bytes));
    moduleNameOf(bytes);
    moduleMainClassOf(bytes);
    classReferencesOf(bytes);
    return 0;
}
