// The file types an installer or package makes the application the opener
// of: one rule for what an extension may be, for every installer kind.
#ifndef FILETYPES_H
#define FILETYPES_H

#include <string>

struct FileAssociation {
    std::string extension;    // ".ext"
    std::string description;  // what the file manager calls such a file
};

// `given` with its leading dot (added when missing). Throws PackError when
// it is not a dot and up to 31 letters, digits, '_' or '-'.
std::string checkedExtension(const std::string& given);

#endif // FILETYPES_H
