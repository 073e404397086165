// Demo helper: prints what Windows reads from an executable's resources, the
// version strings and the icon sizes its group icon offers.
#include <cstdio>
#include <string>
#include <vector>

#include "WinSysHeaders.h"

namespace {

void printUtf8(const wchar_t* label, const wchar_t* text) {
    char buffer[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
    char name[256] = {};
    WideCharToMultiByte(CP_UTF8, 0, label, -1, name, sizeof(name), nullptr, nullptr);
    std::printf("  %-17s %s\n", name, buffer);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 2;
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
    std::vector<char> info(size ? size : 1);
    if (!size || !GetFileVersionInfoW(argv[1], 0, size, info.data())) {
        std::printf("  no version information\n");
        return 1;
    }
    for (const wchar_t* key : {L"FileDescription", L"ProductName", L"CompanyName", L"FileVersion",
                               L"LegalCopyright", L"OriginalFilename"}) {
        void* value = nullptr;
        UINT length = 0;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        if (VerQueryValueW(info.data(), path.c_str(), &value, &length) && value) {
            printUtf8(key, static_cast<const wchar_t*>(value));
        }
    }
    const HMODULE module = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HRSRC group = module ? FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)) : nullptr;
    std::string sizes;
    if (group) {
        auto* dir = static_cast<BYTE*>(LockResource(LoadResource(module, group)));
        for (const int s : {16, 32, 48, 256}) {
            const int id = LookupIconIdFromDirectoryEx(dir, TRUE, s, s, LR_DEFAULTCOLOR);
            const HANDLE icon = LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, s, s, 0);
            if (id > 0 && icon) {
                sizes += (sizes.empty() ? "" : ", ") + std::to_string(s) + " (image " + std::to_string(id) + ")";
                DestroyIcon(static_cast<HICON>(icon));
            }
        }
    }
    std::printf("  %-17s %s\n", "Icon", sizes.empty() ? "the generic executable icon" : sizes.c_str());
    return 0;
}
