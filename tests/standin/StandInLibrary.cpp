// A stand-in for jvm.dll or splashscreen.dll: notes its loading in the
// record file, so tests see what the launcher loaded and from where.
#include "WinSysHeaders.h"

#include <cstdio>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) {
        return TRUE;
    }
    wchar_t record[32768];
    const DWORD n = GetEnvironmentVariableW(L"STANDIN_RECORD", record, 32768);
    if (n == 0 || n >= 32768) {
        return TRUE;
    }
    wchar_t path[32768] = {};
    GetModuleFileNameW(self, path, 32768);
    char utf8[4 * 32768] = {};
    WideCharToMultiByte(CP_UTF8, 0, path, -1, utf8, sizeof(utf8), nullptr, nullptr);
    if (FILE* f = _wfopen(record, L"ab")) {
        std::fprintf(f, "loaded=%s\n", utf8);
        std::fclose(f);
    }
    return TRUE;
}
