// The tests' files on Linux, over std::filesystem.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "FileUtils.h"
#include "TestFiles.h"

namespace fs = std::filesystem;

namespace testing_support {

namespace {

int tempCounter = 0;

fs::path onDisk(const tstring& path) {
    return fs::u8path(tstrings::encodeUtf8(path));
}

} // namespace

TempDir::TempDir(const tstring& nameHint) {
    dir = tstrings::decodeUtf8(fs::temp_directory_path().u8string()) + L"/" + nameHint + L"-"
          + std::to_wstring(::getpid()) + L"-" + std::to_wstring(++tempCounter);
    removeTree(dir);
    makeDirs(dir);
}

void makeDirs(const tstring& path) {
    fs::create_directories(onDisk(path));
}

void removeTree(const tstring& path) {
    std::error_code ec;
    fs::remove_all(onDisk(path), ec);
}

void writeFile(const tstring& path, const std::string& bytes) {
    makeDirs(FileUtils::dirname(path));
    std::ofstream out(onDisk(path), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readFile(const tstring& path) {
    std::ifstream in(onDisk(path), std::ios::binary);
    std::ostringstream os;
    os << in.rdbuf();
    return os.str();
}

} // namespace testing_support
