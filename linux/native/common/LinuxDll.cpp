// Library handles over dlopen, dlsym and dlclose.
#include "Dll.h"

#include <dlfcn.h>

#include "ErrorHandling.h"

namespace {

void* loadLibrary(const tstring& path) {
    void* const h = dlopen(tstrings::encodeAnsi(path).c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!h) {
        const char* why = dlerror();
        TARN_THROW(tstrings::TextBuilder() << "dlopen(" << path << ") failed: "
                   << tstrings::decodeAnsi(why ? why : "unknown error"));
    }
    return h;
}

} // namespace

Dll::Dll(const tstrings::TextBuilder& path) : path(path.wide()), handle(loadLibrary(this->path)) {}

// The dynamic loader's own search finds a system library by its name.
Dll::Dll(const System& system) : path(system.name), handle(loadLibrary(path)) {}

Dll::Dll(const Dll& other) : path(other.path), handle(loadLibrary(other.path)) {}

Dll::~Dll() {
    if (handle) {
        dlclose(handle);
    }
}

void* Dll::getFunction(const std::string& name, bool throwIfNotFound) const {
    dlerror();
    void* const address = dlsym(handle, name.c_str());
    if (!address && throwIfNotFound) {
        const char* why = dlerror();
        TARN_THROW(tstrings::TextBuilder() << "dlsym(" << path << ", " << name << ") failed: "
                   << tstrings::decodeAnsi(why ? why : "no such symbol"));
    }
    return address;
}
