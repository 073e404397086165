// A stand-in for wixl.exe, for loftwick-pack.exe under Wine (there is no
// Windows wixl here): it checks the command line the tool gives it, then
// copies the WiX source, read from its working directory, to the output.
// STANDIN_WIXL_WARN makes it warn on standard error and succeed, as wixl
// does for what it ignores.
#include <cstdio>
#include <cstdlib>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 6 || std::wcscmp(argv[1], L"--arch") || std::wcscmp(argv[2], L"x64")
        || std::wcscmp(argv[3], L"--output")) {
        std::fprintf(stderr, "stand-in wixl: unexpected command line\n");
        return 2;
    }
    FILE* in = _wfopen(argv[5], L"rb");
    FILE* out = _wfopen(argv[4], L"wb");
    if (!in || !out) {
        std::fprintf(stderr, "stand-in wixl: cannot open its files\n");
        return 1;
    }
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof(buffer), in)) > 0;) {
        std::fwrite(buffer, 1, n, out);
    }
    std::fclose(in);
    std::fclose(out);
    if (std::getenv("STANDIN_WIXL_WARN")) {
        std::fprintf(stderr, "warning: stand-in wixl ignored something\n");
    }
    return 0;
}
