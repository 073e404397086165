// The physical limit of a launcher: load the runtime's jli.dll by full path,
// look up JLI_Launch and call it. Same toolchain, same flags, nothing else.
#include "WinSysHeaders.h"

typedef int (*JLI_LaunchFunc)(int, char**, int, const char**, int, const char**,
                              const char*, const char*, const char*, const char*,
                              unsigned char, unsigned char, unsigned char, int);

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) {
        return 2;
    }
    const HMODULE jli = LoadLibraryW(argv[1]);
    if (!jli) {
        return 3;
    }
    const JLI_LaunchFunc launch = reinterpret_cast<JLI_LaunchFunc>(
            reinterpret_cast<void*>(GetProcAddress(jli, "JLI_Launch")));
    if (!launch) {
        return 4;
    }
    static char arg0[] = "baseline.exe";
    static char arg1[] = "-Dloftwick.app-path=baseline.exe";
    static char arg2[] = "hello.Main";
    char* args[] = {arg0, arg1, arg2, nullptr};
    return launch(3, args, 0, nullptr, 0, nullptr, "", "", "java", "java", 0, 0, 0, 0);
}
