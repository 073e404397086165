// Reading a password from where the user keeps it.
#ifndef SECRET_H
#define SECRET_H

#include <string>

#include "SigningRequest.h"

// The secret, without the line break a file ends with; empty when none is
// given. Messages name the variable or the file, never the value. Throws
// PackError.
std::string readSecret(const SecretSource& source, const std::string& what);

#endif // SECRET_H
