// The path operations that ask the file system.
#include "FileUtils.h"

#include <cstdlib>
#include <direct.h>
#include <memory>

#include "ErrorHandling.h"
#include "WinSysHeaders.h"

namespace {

struct FreeDeleter {
    void operator()(wchar_t* p) const { std::free(p); }
};
typedef std::unique_ptr<wchar_t, FreeDeleter> CrtWideBuffer;

} // namespace

namespace FileUtils {

const wchar_t pathSeparator = L'\\';
const wchar_t* const pathListSeparator = L";";

tstring stripExeSuffix(const tstring& name) {
    const size_t dot = name.find_last_of(L'.');
    const size_t sep = name.find_last_of(L"\\/");
    if (dot == tstring::npos || (sep != tstring::npos && sep > dot)) {
        return name;
    }
    return name.substr(0, dot);
}

bool isFileExists(const tstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isDirectory(const tstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isRegularFile(const tstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES
           && !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

std::filesystem::path fsPath(const tstring& path) {
    return std::filesystem::path(path);
}

bool isAbsolutePath(const tstring& path) {
    const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const bool drive = path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z')
                                            || (path[0] >= L'a' && path[0] <= L'z'))
                       && path[1] == L':' && separator(path[2]);
    return drive || (path.size() >= 2 && separator(path[0]) && separator(path[1]));
}

tstring toAbsolutePath(const tstring& path) {
    if (path.empty()) {
        const CrtWideBuffer cwd(_wgetcwd(nullptr, 0));
        if (!cwd) {
            TARN_THROW("_tgetcwd() failed", 92);
        }
        if (*cwd == L'\0') {
            TARN_THROW("_tgetcwd() returned empty string", 87);
        }
        return tstring(cwd.get());
    }
    const CrtWideBuffer full(_wfullpath(nullptr, path.c_str(), 0));
    if (!full) {
        TARN_THROW(tstrings::TextBuilder() << "_tfullpath(" << path << ") failed", 102);
    }
    return tstring(full.get());
}

} // namespace FileUtils
