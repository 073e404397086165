// File names as Windows holds and compares them: the one check of every
// name that packing writes and the installer installs.
#ifndef WINDOWSNAMES_H
#define WINDOWSNAMES_H

#include <string>

// Why Windows cannot hold `name` (UTF-8) as the name of one file or folder,
// as the end of a sentence that starts with the name; empty when it can.
std::string windowsNameProblem(const std::string& name);

// `name` as Windows compares file names: ASCII letters in lower case.
std::string caseFolded(std::string name);

#endif // WINDOWSNAMES_H
