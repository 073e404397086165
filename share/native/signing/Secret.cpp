#include "Secret.h"

#include <cstdlib>
#include <fstream>

#include "PackError.h"
#include "Packager.h"

std::string readSecret(const SecretSource& source, const std::string& what) {
    // Longer than any password; a key file given by mistake is not one.
    const size_t limit = 4096;
    std::string value;
    if (!source.environment.empty()) {
        const char* text = std::getenv(source.environment.c_str());
        if (!text) {
            throw PackError("the " + what + " was to come from the environment variable "
                            + source.environment + ", which is not set");
        }
        value = text;
    } else if (!source.file.empty()) {
        const Bytes bytes = readBinaryFile(source.file, limit + 1);
        value.assign(bytes.begin(), bytes.end());
        if (value.size() > limit) {
            throw PackError("the " + what + " file " + shown(source.file) + " holds more than "
                            + std::to_string(limit) + " bytes: give a file with the " + what + " alone");
        }
        if (!value.empty() && value.back() == '\n') {
            value.pop_back();
        }
        if (!value.empty() && value.back() == '\r') {
            value.pop_back();
        }
    }
    if (value.find_first_of("\r\n") != std::string::npos || value.find('\0') != std::string::npos) {
        throw PackError("the " + what + " holds a line break or a NUL: a tool reads only its first line");
    }
    return value;
}

SecretFile::SecretFile(const std::string& secret)
    : dir(std::filesystem::temp_directory_path() / "loftwick-secret"), file(dir.path / "secret") {
    namespace fs = std::filesystem;
    fs::permissions(dir.path, fs::perms::owner_all, fs::perm_options::replace);
    std::ofstream out(file, std::ios::binary);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
    out << secret;
    if (!out.flush()) {
        throw PackError("cannot write a file in " + shown(dir.path));
    }
}
