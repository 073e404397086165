// Linux half of the error model: a failed call's errno and its text.
#include "ErrorHandling.h"

#include <cerrno>
#include <cstring>
#include <sstream>

SysError::SysError(const tstrings::TextBuilder& msg, const void*, unsigned long errorCode,
                   const char* label)
    : std::runtime_error(chainMessages(msg.utf8(), [&] {
          std::ostringstream os;
          os << (label ? label : "Some error") << " [" << errorCode << "]("
             << std::strerror(static_cast<int>(errorCode)) << ")";
          return os.str();
      }())) {}

unsigned long lastSystemErrorCode() {
    return static_cast<unsigned long>(errno);
}

std::string crtErrorText() {
    const int err = errno;
    return err ? std::string(std::strerror(err)) : std::string();
}
