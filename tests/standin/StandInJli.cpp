// A stand-in for the runtime's jli.dll: records what JLI_Launch received.
//
// STANDIN_RECORD names the file to append the record to (UTF-8 text, the
// arguments as the raw bytes received); STANDIN_EXIT is the value returned;
// STANDIN_EXIT_PROCESS ends the process with that code instead, as an
// application's own exit (or a crash) ends a real runtime.
// Console behaviour: STANDIN_ECHO copies one line of standard input to
// standard output and error; STANDIN_WAIT_CTRL waits for a console control
// event, records it and returns 130.
// STANDIN_HELPER starts the launcher again, as a long-lived helper process
// that inherits this one's output and sleeps STANDIN_SLEEP milliseconds,
// then prints an error and returns 2.
// Built with STANDIN_PRINT it prints the command line instead, for the demo.
#include "WinSysHeaders.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <psapi.h>
#include <string>

namespace {

std::string utf8(const std::wstring& w) {
    if (w.empty()) {
        return std::string();
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n,
                        nullptr, nullptr);
    return s;
}

std::wstring env(const wchar_t* name) {
    wchar_t buffer[32768];
    const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
    return n > 0 && n < 32768 ? std::wstring(buffer, n) : std::wstring();
}

[[maybe_unused]] std::wstring moduleOf(const wchar_t* name) {
    HMODULE h = GetModuleHandleW(name);
    wchar_t buffer[32768] = {};
    if (h) {
        GetModuleFileNameW(h, buffer, 32768);
    }
    return buffer;
}

HANDLE ctrlSeen = nullptr;
DWORD ctrlEvent = 0;

BOOL WINAPI onCtrl(DWORD event) {
    ctrlEvent = event;
    SetEvent(ctrlSeen);
    return TRUE;
}

// What a command-line application does with its console; the result is
// returned, or -1 when no such behaviour was asked for.
[[maybe_unused]] int consoleBehaviour(FILE* record) {
    if (!env(L"STANDIN_ECHO").empty()) {
        char line[1024] = {};
        if (!std::fgets(line, sizeof(line), stdin)) {
            std::strcpy(line, "(no input)\n");
        }
        std::printf("out: %s", line);
        std::fprintf(stderr, "err: %s", line);
        std::fflush(nullptr);
    }
    if (!env(L"STANDIN_WAIT_CTRL").empty()) {
        ctrlSeen = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        SetConsoleCtrlHandler(onCtrl, TRUE);
        std::printf("waiting for a control event\n");
        std::fflush(stdout);
        const bool seen = WaitForSingleObject(ctrlSeen, 30000) == WAIT_OBJECT_0;
        if (record) {
            std::fprintf(record, "ctrl=%s\n", seen ? std::to_string(ctrlEvent).c_str() : "none");
        }
        return 130;
    }
    return -1;
}

// A process left behind that holds this one's standard output and error.
[[maybe_unused]] void startHelper(FILE* record) {
    wchar_t self[32768] = {};
    GetModuleFileNameW(nullptr, self, 32768);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\"";
    SetEnvironmentVariableW(L"STANDIN_SLEEP", L"120000");
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (CreateProcessW(self, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(record, "helper=%lu\n", static_cast<unsigned long>(pi.dwProcessId));
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    SetEnvironmentVariableW(L"STANDIN_SLEEP", nullptr);
    std::fprintf(stderr, "Error: failed after starting a helper\n");
    std::fflush(stderr);
}

int exitValue() {
    const std::wstring end = env(L"STANDIN_EXIT_PROCESS");
    if (!end.empty()) {
        std::fflush(nullptr);
        ExitProcess(static_cast<UINT>(std::wcstoul(end.c_str(), nullptr, 0)));
    }
    const std::wstring v = env(L"STANDIN_EXIT");
    return v.empty() ? 0 : _wtoi(v.c_str());
}

} // namespace

extern "C" __declspec(dllexport) int JLI_Launch(
        int argc, char** argv, int jargc, const char** jargv, int appclassc,
        const char** appclassv, const char* fullversion, const char* dotversion,
        const char* pname, const char* lname, unsigned char javaargs,
        unsigned char cpwildcard, unsigned char javaw, int ergo) {
#ifdef STANDIN_PRINT
    (void)jargc; (void)jargv; (void)appclassc; (void)appclassv; (void)fullversion;
    (void)dotversion; (void)lname; (void)javaargs; (void)cpwildcard; (void)javaw; (void)ergo;
    std::printf("%s received %d arguments (process %lu):\n", pname, argc,
                static_cast<unsigned long>(GetCurrentProcessId()));
    for (int i = 0; i < argc; ++i) {
        std::printf("  [%d] %s\n", i, argv[i]);
    }
    const std::string path = utf8(env(L"PATH"));
    std::printf("PATH ends with: ...%s\n", path.substr(path.size() > 60 ? path.size() - 60 : 0).c_str());
    std::fflush(stdout);
    return exitValue();
#else
    if (!env(L"STANDIN_SLEEP").empty()) {
        Sleep(static_cast<DWORD>(_wtoi(env(L"STANDIN_SLEEP").c_str())));
        return 0;
    }
    const std::wstring recordPath = env(L"STANDIN_RECORD");
    FILE* f = recordPath.empty() ? nullptr : _wfopen(recordPath.c_str(), L"ab");
    if (!f) {
        return 97;
    }
    wchar_t dllDir[32768] = {};
    GetDllDirectoryW(32768, dllDir);
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));

    std::fprintf(f, "pid=%lu\n", static_cast<unsigned long>(GetCurrentProcessId()));
    std::fprintf(f, "argc=%d\n", argc);
    for (int i = 0; i < argc; ++i) {
        std::fprintf(f, "argv[%d]=%s\n", i, argv[i]);
    }
    std::fprintf(f, "argv[argc]=%s\n", argv[argc] ? "set" : "null");
    std::fprintf(f, "jargc=%d jargv=%s appclassc=%d appclassv=%s\n", jargc,
                 jargv ? "set" : "null", appclassc, appclassv ? "set" : "null");
    std::fprintf(f, "fullversion=[%s] dotversion=[%s] pname=[%s] lname=[%s]\n",
                 fullversion, dotversion, pname, lname);
    std::fprintf(f, "javaargs=%d cpwildcard=%d javaw=%d ergo=%d\n", javaargs, cpwildcard,
                 javaw, ergo);
    std::fprintf(f, "PATH=%s\n", utf8(env(L"PATH")).c_str());
    std::fprintf(f, "LOFTWICK_PARENT_REPORTS=%s\n", utf8(env(L"LOFTWICK_PARENT_REPORTS")).c_str());
    std::fprintf(f, "dlldir=%s\n", utf8(dllDir).c_str());
    std::fprintf(f, "jvm.dll loaded=%s\n", utf8(moduleOf(L"jvm.dll")).c_str());
    std::fprintf(f, "splashscreen.dll loaded=%s\n", utf8(moduleOf(L"splashscreen.dll")).c_str());
    std::fprintf(f, "peakworkingset=%llu\n", static_cast<unsigned long long>(pmc.PeakWorkingSetSize));
    std::fprintf(f, "end\n");
    const int console = consoleBehaviour(f);
    if (!env(L"STANDIN_HELPER").empty()) {
        startHelper(f);
        std::fclose(f);
        return 2;
    }
    std::fclose(f);
    return console >= 0 ? console : exitValue();
#endif
}
