// The one error of the packaging tool: a message for the user, nothing more.
#ifndef PACKERROR_H
#define PACKERROR_H

#include <stdexcept>
#include <string>

class PackError : public std::runtime_error {
public:
    explicit PackError(const std::string& message) : std::runtime_error(message) {}
};

#endif // PACKERROR_H
