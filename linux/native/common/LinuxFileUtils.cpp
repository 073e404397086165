// The path operations that ask the file system, on Linux.
#include "FileUtils.h"

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "ErrorHandling.h"

namespace FileUtils {

const wchar_t pathSeparator = L'/';
const wchar_t* const pathListSeparator = L":";

// A Linux executable has no suffix to strip: "my.app" reads "my.app.cfg".
tstring stripExeSuffix(const tstring& name) {
    return name;
}

bool isFileExists(const tstring& path) {
    struct stat st;
    return ::stat(tstrings::encodeAnsi(path).c_str(), &st) == 0;
}

bool isDirectory(const tstring& path) {
    struct stat st;
    return ::stat(tstrings::encodeAnsi(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const tstring& path) {
    struct stat st;
    return ::stat(tstrings::encodeAnsi(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::filesystem::path fsPath(const tstring& path) {
    return std::filesystem::path(tstrings::encodeAnsi(path));
}

bool isAbsolutePath(const tstring& path) {
    return !path.empty() && path[0] == L'/';
}

tstring toAbsolutePath(const tstring& path) {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof(cwd))) {
        TARN_THROW("getcwd() failed");
    }
    const tstring dir = tstrings::decodeAnsi(cwd);
    return path.empty() ? dir : isAbsolutePath(path) ? path : joinPath(dir, path);
}

} // namespace FileUtils
