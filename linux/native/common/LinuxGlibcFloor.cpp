// The C++ library, linked in statically, refers to arc4random (glibc 2.36)
// for std::random_device, which the launcher never uses. Defined here, the
// reference binds to this instead, and the launcher still loads on the
// glibc 2.35 of Ubuntu 22.04.
#include <cstdint>
#include <sys/random.h>

extern "C" uint32_t arc4random(void) {
    uint32_t value = 0;
    if (getentropy(&value, sizeof(value)) != 0) {
        value = 0;
    }
    return value;
}
