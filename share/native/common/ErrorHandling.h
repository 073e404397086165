// The error model: exceptions that carry a plain and a located message.
#ifndef ERRORHANDLING_H
#define ERRORHANDLING_H

#include <stdexcept>
#include <string>

#include "tstrings.h"

// Where an exception was raised or caught. Both texts are static.
struct SourceLocation {
    const char* file;
    const char* function;
    int line;
};

// The compiler's function text (return type, parameters, template notes)
// reduced to the qualified name, e.g. "SysInfo::{anonymous}::getModulePath".
std::string qualifiedFunctionName(const char* compilerText);

// Base name of a source path with '\' or '/' separators.
std::string sourceBaseName(const char* file);

// Used to tell the program's own exceptions from others; no virtual
// destructor by design: nobody deletes through it.
class TarnErrorBase {
public:
    virtual const char* rawMessage() const = 0;

protected:
    TarnErrorBase() = default;
    TarnErrorBase(const TarnErrorBase&) = default;
    TarnErrorBase& operator=(const TarnErrorBase&) = default;
    ~TarnErrorBase() = default;
};

std::string decorateMessage(const SourceLocation& loc, const char* message);

template <class T>
class TarnError : public TarnErrorBase, public T {
public:
    TarnError(const T& base, const SourceLocation& loc)
        : T(base), decorated(decorateMessage(loc, T::what())) {}

    const char* rawMessage() const override { return T::what(); }
    const char* what() const noexcept override { return decorated.c_str(); }

private:
    std::string decorated;
};

// A failed system call: message, error code and the system's description.
class SysError : public std::runtime_error {
public:
    SysError(const tstrings::TextBuilder& msg, const void* apiFunction,
             unsigned long errorCode, const char* label = "System error");
};

// A failure the user has already been shown by someone else (a windowed
// runtime shows its own box): reported on standard error and in the trace,
// never in a second box.
class ShownError : public std::runtime_error {
public:
    explicit ShownError(const std::string& message) : std::runtime_error(message) {}
};

// The calling thread's last system error code (GetLastError).
unsigned long lastSystemErrorCode();

TarnError<std::runtime_error> makeError(const std::runtime_error& e, const SourceLocation& loc);
TarnError<SysError> makeError(const SysError& e, const SourceLocation& loc);
TarnError<ShownError> makeError(const ShownError& e, const SourceLocation& loc);
TarnError<std::runtime_error> makeError(const char* msg, const SourceLocation& loc);
TarnError<std::runtime_error> makeError(const std::string& msg, const SourceLocation& loc);
TarnError<std::runtime_error> makeError(const tstrings::TextBuilder& msg, const SourceLocation& loc);

std::string chainMessages(const std::string& first, const std::string& second);
std::string crtErrorText();

void logErrorAt(const SourceLocation& loc, const tstring& msg);
void logCaughtError(const SourceLocation& loc, const std::runtime_error& e);
void logUnknownError(const SourceLocation& loc);

inline SourceLocation makeSourceLocation(const char* file, const char* function,
                                         int line, int fixedLine = 0) {
    return SourceLocation{file, function, fixedLine ? fixedLine : line};
}

#define TARN_SOURCE_LOCATION(...) \
    makeSourceLocation(__FILE__, __PRETTY_FUNCTION__, __LINE__, ##__VA_ARGS__)

// The one way to throw: TARN_THROW(error) records this line; sites whose
// line is part of the published diagnostics pass it: TARN_THROW(error, 87).
#define TARN_THROW(error, ...) \
    throw makeError((error), TARN_SOURCE_LOCATION(__VA_ARGS__))

// The catch convention: log what was caught with the catch site's location.
#define TARN_CATCH_ALL(...)                                        \
    catch (const std::runtime_error& e) {                          \
        logCaughtError(TARN_SOURCE_LOCATION(__VA_ARGS__), e);      \
    } catch (...) {                                                \
        logUnknownError(TARN_SOURCE_LOCATION(__VA_ARGS__));        \
    }

#endif // ERRORHANDLING_H
