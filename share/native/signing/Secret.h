// Reading a password from where the user keeps it.
#ifndef SECRET_H
#define SECRET_H

#include <filesystem>
#include <string>

#include "ScratchDirectory.h"
#include "SigningRequest.h"

// The secret, without the line break a file ends with; empty when none is
// given. Messages name the variable or the file, never the value. Throws
// PackError.
std::string readSecret(const SecretSource& source, const std::string& what);

// A secret in a file only this user can read, for a tool that takes a
// file (gpg's --passphrase-file), removed with its folder when the scope
// ends.
class SecretFile {
public:
    explicit SecretFile(const std::string& secret);
    const std::filesystem::path& path() const { return file; }

private:
    ScratchDirectory dir;
    std::filesystem::path file;
};

#endif // SECRET_H
