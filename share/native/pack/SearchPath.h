// Looking a program up in a PATH-style list of directories, for either
// kind of build machine (narrow UTF-8 with ':' or wide with ';').
#ifndef SEARCHPATH_H
#define SEARCHPATH_H

#include <filesystem>
#include <string>
#include <system_error>

// The first existing regular file `dir/name` of the list, or an empty path;
// empty entries are skipped.
template <class Char>
std::filesystem::path searchPath(const std::basic_string<Char>& dirs, Char separator,
                                 const std::filesystem::path& name) {
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(separator, start);
        end = end == std::basic_string<Char>::npos ? dirs.size() : end;
        const std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / name;
        std::error_code ec;
        if (end > start && std::filesystem::is_regular_file(candidate, ec)) {
            return candidate;
        }
        start = end + 1;
    }
    return std::filesystem::path();
}

#endif // SEARCHPATH_H
