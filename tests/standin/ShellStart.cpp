// Test helper: starts a program the way the Windows shell does for a
// double-click: no handles inherited, no standard handles passed, no console.
//   shell-start PROGRAM [ARGS...]   waits; its exit code is the program's
//   shell-start --probe FILE        starts itself that way, and the child
//                                   writes what GetStdHandle gave it to FILE
#include <cstdio>
#include <string>
#include <vector>

#include "WinSysHeaders.h"

namespace {

const wchar_t* typeName(DWORD type) {
    switch (type) {
    case FILE_TYPE_CHAR: return L"char";
    case FILE_TYPE_DISK: return L"disk";
    case FILE_TYPE_PIPE: return L"pipe";
    default: return L"unknown";
    }
}

int report(const wchar_t* file) {
    FILE* f = _wfopen(file, L"w");
    if (!f) {
        return 3;
    }
    const struct { const wchar_t* name; DWORD id; } streams[] = {
        {L"stdin", STD_INPUT_HANDLE}, {L"stdout", STD_OUTPUT_HANDLE}, {L"stderr", STD_ERROR_HANDLE}};
    for (const auto& s : streams) {
        const HANDLE h = GetStdHandle(s.id);
        SetLastError(0);
        const DWORD type = h && h != INVALID_HANDLE_VALUE ? GetFileType(h) : FILE_TYPE_UNKNOWN;
        std::fwprintf(f, L"%ls=%p type=%ls error=%lu\n", s.name, static_cast<void*>(h),
                      typeName(type), GetLastError());
    }
    std::fclose(f);
    return 0;
}

DWORD startLikeTheShell(std::wstring program, const std::wstring& commandLine) {
    std::vector<wchar_t> cmd(commandLine.begin(), commandLine.end());
    cmd.push_back(L'\0');
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    // Explorer's children have no standard handles at all. Passed none,
    // Wine would give the child the wine process's own descriptors 0-2
    // (measured), so null ones are passed explicitly.
    si.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION pi = {};
    // Under load Wine now and then fails a start it makes a moment later.
    for (int attempt = 0; !CreateProcessW(program.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                          nullptr, &si, &pi); ++attempt) {
        if (attempt == 2) {
            return 250;
        }
        Sleep(500);
    }
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 251;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

// This program's own command line after its first `skip` arguments, as typed.
std::wstring commandLineAfter(int skip) {
    const wchar_t* p = GetCommandLineW();
    for (int i = 0; i < skip; ++i) {
        bool quoted = false;
        while (*p == L' ' || *p == L'\t') {
            ++p;
        }
        for (; *p && (quoted || (*p != L' ' && *p != L'\t')); ++p) {
            if (*p == L'"') {
                quoted = !quoted;
            }
        }
    }
    while (*p == L' ' || *p == L'\t') {
        ++p;
    }
    return p;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wstring(argv[1]) == L"--report") {
        return report(argv[2]);
    }
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (argc == 3 && std::wstring(argv[1]) == L"--probe") {
        return static_cast<int>(startLikeTheShell(
                self, L"\"" + std::wstring(self) + L"\" --report \"" + argv[2] + L"\""));
    }
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: %ls PROGRAM [ARGS...] | --probe FILE\n", argv[0]);
        return 2;
    }
    return static_cast<int>(startLikeTheShell(argv[1], commandLineAfter(1)));
}
