#include "RuntimeBoxWatch.h"

#include <atomic>
#include <cstring>

namespace {

// The runtime shows its boxes from a thread of its own.
std::atomic<bool> shown(false);
decltype(&MessageBoxA) originalA = nullptr;
decltype(&MessageBoxW) originalW = nullptr;

int WINAPI watchedA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    shown = true;
    return originalA(owner, text, caption, type);
}

int WINAPI watchedW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    shown = true;
    return originalW(owner, text, caption, type);
}

// The import address table slot through which `module` calls user32's
// `name`, or null when it does not import it by name.
void** importSlot(HMODULE module, const char* name) {
    BYTE* const base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
            nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress) {
        return nullptr;
    }
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         d->Name; ++d) {
        if (_stricmp(reinterpret_cast<const char*>(base + d->Name), "user32.dll") != 0
            || !d->OriginalFirstThunk) {
            continue;
        }
        auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const auto* byName =
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) == 0) {
                return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

void* exchange(void** slot, void* value) {
    DWORD protection = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection)) {
        return nullptr;
    }
    void* const old = *slot;
    *slot = value;
    VirtualProtect(slot, sizeof(void*), protection, &protection);
    return old;
}

} // namespace

RuntimeBoxWatch::RuntimeBoxWatch(HMODULE module) {
    shown = false;
    originalA = &MessageBoxA;  // user32's own, whatever the slots held
    originalW = &MessageBoxW;
    if (!module) {
        return;
    }
    const struct {
        const char* name;
        void* watched;
    } targets[] = {{"MessageBoxA", reinterpret_cast<void*>(watchedA)},
                   {"MessageBoxW", reinterpret_cast<void*>(watchedW)}};
    for (size_t i = 0; i < 2; ++i) {
        if (void** slot = importSlot(module, targets[i].name)) {
            if (void* old = exchange(slot, targets[i].watched)) {
                patches[i] = Patch{slot, old};
            }
        }
    }
}

RuntimeBoxWatch::~RuntimeBoxWatch() {
    for (const Patch& p : patches) {
        if (p.slot) {
            exchange(p.slot, p.original);
        }
    }
}

bool RuntimeBoxWatch::boxShown() {
    return shown;
}
