// Path helpers: '\' and '/' are both read as separators, '\' is written.
#ifndef FILEUTILS_H
#define FILEUTILS_H

#include "tstrings.h"

namespace FileUtils {

tstring basename(const tstring& path);
tstring dirname(const tstring& path);
tstring removeTrailingSlash(const tstring& path);
tstring joinPath(const tstring& first, const tstring& second);

// These ask the platform (WinFileUtils).
tstring stripExeSuffix(const tstring& name);
bool isFileExists(const tstring& path);
bool isDirectory(const tstring& path);
tstring toAbsolutePath(const tstring& path);
// Absolute whatever the current directory: "C:\x" or "\\server\share".
bool isAbsolutePath(const tstring& path);

} // namespace FileUtils

#endif // FILEUTILS_H
