// Files of the tests: temp directories, reading and writing, and expected
// UTF-8 written out by the tests' own encoder. Both platforms' tests use it;
// each platform implements the file system half (TestSupport, LinuxTestFiles).
#ifndef TESTFILES_H
#define TESTFILES_H

#include <string>

#include "tstrings.h"

namespace testing_support {

// A unique directory under the temp directory, removed with everything in it.
class TempDir {
public:
    explicit TempDir(const tstring& nameHint = L"loftwick");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const tstring& path() const { return dir; }
    tstring operator/(const tstring& rel) const;

private:
    tstring dir;
};

void makeDirs(const tstring& path);
void removeTree(const tstring& path);
void writeFile(const tstring& path, const std::string& bytes);
std::string readFile(const tstring& path);

// UTF-8 by its definition, not by the code under test.
std::string utf8(const tstring& text);

} // namespace testing_support

#endif // TESTFILES_H
