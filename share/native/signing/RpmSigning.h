// Signing an .rpm with a GPG key, and checking the result as rpm will.
#ifndef RPMSIGNING_H
#define RPMSIGNING_H

#include <filesystem>
#include <string>

#include "SigningRequest.h"

// Signs `rpm` in place with request.gpgKey (the user's gpg keyring), then
// checks it with `rpm -K` against that key alone, in a database of its
// own. Returns what rpm said. Throws PackError.
std::string signRpm(const std::filesystem::path& rpm, const SigningRequest& request);

#endif // RPMSIGNING_H
