// loftwick-pack.exe: UTF-16 arguments become the UTF-8 the tool works in,
// and output is written as UTF-8 bytes.
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <iostream>

#include "PackCommand.h"
#include "WinSysHeaders.h"

namespace {

std::string utf8(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

std::filesystem::path selfPath() {
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD n;
    while ((n = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size())))
           >= buffer.size()) {
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(n);
    return std::filesystem::path(buffer);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        args.push_back(utf8(argv[i]));
    }
    return packCommand(args, selfPath(), std::cout, std::cerr);
}
