// The pure text operations on paths.
#include "FileUtils.h"

namespace {

const wchar_t* const separators = L"\\/";

bool isSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

} // namespace

namespace FileUtils {

tstring basename(const tstring& path) {
    const size_t pos = path.find_last_of(separators);
    return pos == tstring::npos ? path : path.substr(pos + 1);
}

tstring dirname(const tstring& path) {
    size_t searchEnd = path.size();
    if (tstrings::hasSuffix(path, L"\\.") || tstrings::hasSuffix(path, L"/.")) {
        searchEnd -= 2;
    }
    if (searchEnd == 0) {
        return tstring();
    }
    const size_t sep = path.find_last_of(separators, searchEnd - 1);
    if (sep == tstring::npos) {
        return tstring();
    }
    const size_t last = path.find_last_not_of(separators, sep);
    if (last == tstring::npos) {
        return tstring();
    }
    return path.substr(0, last + 1);
}

tstring removeTrailingSlash(const tstring& path) {
    size_t end = path.size();
    while (end > 0 && isSeparator(path[end - 1])) {
        --end;
    }
    return path.substr(0, end);
}

tstring joinPath(const tstring& first, const tstring& second) {
    if (first.empty()) {
        return second;
    }
    if (second.empty()) {
        return first;
    }
    const size_t skip = isSeparator(second[0]) ? 1 : 0;
    return removeTrailingSlash(first) + pathSeparator + second.substr(skip);
}

} // namespace FileUtils
