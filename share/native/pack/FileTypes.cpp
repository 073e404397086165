#include "FileTypes.h"

#include <algorithm>

#include "PackError.h"

std::string checkedExtension(const std::string& given) {
    const std::string extension = given.empty() || given[0] != '.' ? "." + given : given;
    const bool plain = extension.size() > 1 && extension.size() <= 32
        && std::all_of(extension.begin() + 1, extension.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
                      || c == '_' || c == '-';
           });
    if (!plain) {
        throw PackError("the file type \"" + extension
                        + "\" is not a dot and up to 31 letters, digits, '_' or '-'");
    }
    return extension;
}
