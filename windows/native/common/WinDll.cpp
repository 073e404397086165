// Library handles over LoadLibraryW, GetModuleHandleExW and FreeLibrary.
#include "Dll.h"

#include "ErrorHandling.h"
#include "FileUtils.h"
#include "SysInfo.h"
#include "WinSysHeaders.h"

namespace {

HMODULE loadLibrary(const tstring& path) {
    const HMODULE h = LoadLibraryW(path.c_str());
    if (!h) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "LoadLibraryW(" << path << ") failed",
                            reinterpret_cast<const void*>(LoadLibraryW), err));
    }
    return h;
}

} // namespace

Dll::Dll(const tstrings::TextBuilder& path) : path(path.wide()), handle(loadLibrary(this->path)) {}

Dll::Dll(const System& system)
    : path(FileUtils::joinPath(SysInfo::getSystemDirectory(), system.name)),
      handle(loadLibrary(path)) {}

Dll::Dll(const Dll& other) : path(other.path), handle(nullptr) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(0, path.c_str(), &module)) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "GetModuleHandleExW(" << path << ") failed",
                            reinterpret_cast<const void*>(GetModuleHandleExW), err));
    }
    handle = module;
}

Dll::~Dll() {
    if (handle) {
        FreeLibrary(static_cast<HMODULE>(handle));
    }
}

void* Dll::getFunction(const std::string& name, bool throwIfNotFound) const {
    void* const address = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name.c_str()));
    if (!address && throwIfNotFound) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "GetProcAddress(" << path << ", "
                            << name << ") failed",
                            reinterpret_cast<const void*>(GetProcAddress), err));
    }
    return address;
}
