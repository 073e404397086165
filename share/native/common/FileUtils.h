// Path helpers: '\' and '/' are both read as separators, the platform's is
// written.
#ifndef FILEUTILS_H
#define FILEUTILS_H

#include <filesystem>

#include "tstrings.h"

namespace FileUtils {

tstring basename(const tstring& path);
tstring dirname(const tstring& path);
tstring removeTrailingSlash(const tstring& path);
tstring joinPath(const tstring& first, const tstring& second);

// The platform's separators: written between the parts of a path, and
// between the entries of a path list (a class path).
extern const wchar_t pathSeparator;
extern const wchar_t* const pathListSeparator;

// These ask the platform (WinFileUtils).
tstring stripExeSuffix(const tstring& name);
bool isFileExists(const tstring& path);
bool isDirectory(const tstring& path);
// A file, not a folder, pipe or device: what can be read to its end.
bool isRegularFile(const tstring& path);
// The path as the file system library takes it: the same name on Windows,
// the same bytes on Linux.
std::filesystem::path fsPath(const tstring& path);
tstring toAbsolutePath(const tstring& path);
// Absolute whatever the current directory: "C:\x" or "\\server\share".
bool isAbsolutePath(const tstring& path);

} // namespace FileUtils

#endif // FILEUTILS_H
