// Platform-neutral half of the error model: decoration, chaining, catch sites.
#include "ErrorHandling.h"

#include <cerrno>
#include <cstring>
#include <sstream>

#include "Log.h"

namespace {

bool isClassicSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string trimRight(const std::string& s) {
    size_t end = s.size();
    while (end > 0 && isClassicSpace(s[end - 1])) {
        --end;
    }
    return s.substr(0, end);
}

std::string trim(const std::string& s) {
    const std::string r = trimRight(s);
    size_t begin = 0;
    while (begin < r.size() && isClassicSpace(r[begin])) {
        ++begin;
    }
    return r.substr(begin);
}

// Index of the '(' that opens the parameter list ending at text[close].
size_t matchingOpenParen(const std::string& text, size_t close) {
    int depth = 0;
    for (size_t i = close + 1; i-- > 0;) {
        if (text[i] == ')') {
            ++depth;
        } else if (text[i] == '(' && --depth == 0) {
            return i;
        }
    }
    return std::string::npos;
}

} // namespace

std::string qualifiedFunctionName(const char* compilerText) {
    std::string text = compilerText ? compilerText : "";
    const size_t with = text.find(" [with ");
    if (with != std::string::npos) {
        text.erase(with);
    }
    const size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return text;
    }
    const size_t open = matchingOpenParen(text, close);
    if (open == std::string::npos || open == 0) {
        return text;
    }
    // The name starts after the last blank outside template brackets.
    int angle = 0;
    size_t begin = 0;
    for (size_t i = open; i-- > 0;) {
        const char c = text[i];
        if (c == '>') {
            ++angle;
        } else if (c == '<') {
            --angle;
        } else if (c == ' ' && angle == 0) {
            begin = i + 1;
            break;
        }
    }
    while (begin < open && (text[begin] == '*' || text[begin] == '&')) {
        ++begin;
    }
    return text.substr(begin, open - begin);
}

std::string sourceBaseName(const char* file) {
    const std::string path = file ? file : "";
    const size_t pos = path.find_last_of("\\/");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string decorateMessage(const SourceLocation& loc, const char* message) {
    std::ostringstream os;
    os << sourceBaseName(loc.file) << "(" << loc.line << ") at "
       << qualifiedFunctionName(loc.function) << "(): " << message;
    return os.str();
}

TarnError<std::runtime_error> makeError(const std::runtime_error& e, const SourceLocation& loc) {
    return TarnError<std::runtime_error>(e, loc);
}

TarnError<SysError> makeError(const SysError& e, const SourceLocation& loc) {
    return TarnError<SysError>(e, loc);
}

TarnError<ShownError> makeError(const ShownError& e, const SourceLocation& loc) {
    return TarnError<ShownError>(e, loc);
}

TarnError<std::runtime_error> makeError(const char* msg, const SourceLocation& loc) {
    return makeError(std::runtime_error(msg), loc);
}

TarnError<std::runtime_error> makeError(const std::string& msg, const SourceLocation& loc) {
    return makeError(std::runtime_error(msg), loc);
}

TarnError<std::runtime_error> makeError(const tstrings::TextBuilder& msg, const SourceLocation& loc) {
    return makeError(std::runtime_error(msg.utf8()), loc);
}

std::string chainMessages(const std::string& first, const std::string& second) {
    const std::string head = trimRight(first);
    const std::string tail = trim(second);
    if (head.empty()) {
        return tail;
    }
    if (tail.empty()) {
        return head;
    }
    const bool punctuated = std::strchr(";.,:!?", head.back()) != nullptr;
    return head + (punctuated ? " " : ". ") + tail;
}

// Catch sites run in destructors and sinks: a failure to log is the one
// failure nobody can be told of, so it ends here.
void logErrorAt(const SourceLocation& loc, const tstring& msg) {
    try {
        Logger::instance().log(LOG_ERROR, loc, msg);
    } catch (...) {
    }
}

void logCaughtError(const SourceLocation& loc, const std::runtime_error& e) {
    // Messages are UTF-8, so the record shows what the error box shows; a
    // text from elsewhere that is not UTF-8 still appears byte by byte.
    try {
        const std::string what = e.what();
        tstring text = tstrings::decodeUtf8(what);
        if (text.empty() && !what.empty()) {
            text = (tstrings::TextBuilder() << what.c_str()).wide();
        }
        logErrorAt(loc, L"Exception with message '" + text + L"' caught");
    } catch (...) {
    }
}

void logUnknownError(const SourceLocation& loc) {
    logErrorAt(loc, L"Unknown exception caught");
}
