// Test helper: prints the text of the message box titled argv[1], as the
// user would read it, once it appears (waits up to 30 s).
#include <cstdio>
#include <string>

#include "WinSysHeaders.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        return 2;
    }
    for (int i = 0; i < 300; ++i) {
        if (const HWND box = FindWindowW(L"#32770", argv[1])) {
            wchar_t text[4096] = {};
            // The static text control of a message box has the id 0xFFFF.
            GetDlgItemTextW(box, 0xFFFF, text, 4096);
            char utf8[4 * 4096] = {};
            WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), nullptr, nullptr);
            std::printf("%s\n", utf8);
            return 0;
        }
        Sleep(100);
    }
    return 1;
}
