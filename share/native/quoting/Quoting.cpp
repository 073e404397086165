#include "Quoting.h"

#include <cstdio>

#include "PackError.h"

namespace {

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// The length of the UTF-8 sequence at `at`, or 0 where none starts.
size_t utf8Length(const std::string& text, size_t at) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    const size_t length = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3
                        : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    const unsigned char next = length > 1 ? static_cast<unsigned char>(text[at + 1]) : 0;
    // Overlong forms, UTF-16 surrogates and code points past U+10FFFF.
    if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next >= 0xA0) || (c == 0xF0 && next < 0x90)
        || (c == 0xF4 && next >= 0x90)) {
        return 0;
    }
    return length;
}

[[noreturn]] void refuse(const std::string& what, const std::string& value, const std::string& why) {
    throw PackError(what + " " + shownValue(value) + " " + why);
}

void refuseControls(const std::string& value, const std::string& what, const char* allowed,
                    const std::string& syntax) {
    for (const char c : value) {
        if (isControl(static_cast<unsigned char>(c)) && std::string(allowed).find(c) == std::string::npos) {
            refuse(what, value, std::string(c == '\n' || c == '\r' ? "holds a line break" : "holds a control "
                                "character") + ", which " + syntax + " cannot carry");
        }
    }
}

} // namespace

std::string shellWord(const std::string& value) {
    std::string out = "'";
    for (const char c : value) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::string rpmMacroText(const std::string& value, const std::string& what) {
    refuseControls(value, what, "\t", "a line of rpmbuild's recipe");
    std::string out;
    for (const char c : value) {
        out += c == '%' ? std::string("%%") : std::string(1, c);
    }
    return out;
}

std::string rpmFilePath(const std::string& path, const std::string& what) {
    for (const char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                           || std::string("/._+-").find(c) != std::string::npos;
        if (!plain) {
            refuse(what, path, std::string("holds '") + (isControl(static_cast<unsigned char>(c)) ? '?' : c)
                               + "', which rpmbuild's file list reads as a macro, a pattern or a separator");
        }
    }
    return path;
}

std::string controlFieldValue(const std::string& value, const std::string& what) {
    if (value.empty()) {
        throw PackError(what + " is empty");
    }
    refuseControls(value, what, "", "a field of a package's control data");
    if (value.front() == ' ' || value.back() == ' ') {
        refuse(what, value, "starts or ends with a space, which a control field drops");
    }
    return value;
}

std::string yumRepoValue(const std::string& value, const std::string& what) {
    if (value.empty()) {
        throw PackError(what + " is empty");
    }
    refuseControls(value, what, "", "a line of a .repo file");
    if (value.find('$') != std::string::npos) {
        refuse(what, value, "holds '$', which dnf reads as the start of a variable");
    }
    if (value.front() == ' ' || value.back() == ' ') {
        refuse(what, value, "starts or ends with a space, which a .repo file drops");
    }
    return value;
}

std::string controlContinuation(const std::string& text, const std::string& what) {
    refuseControls(text, what, "\n", "a field of a package's control data");
    std::string out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        const std::string line = text.substr(start, end - start);
        out += line.find_first_not_of(' ') == std::string::npos ? " .\n" : " " + line + "\n";
        start = end + 1;
    }
    return out;
}

std::string desktopEntryString(const std::string& value, const std::string& what) {
    refuseControls(value, what, "\n\t\r", "a desktop entry");
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        out += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : c == '\r' ? "\\r"
             : c == ' ' && i == 0 ? "\\s" : std::string(1, c);
    }
    return out;
}

std::string desktopEntryListItem(const std::string& value, const std::string& what) {
    std::string out;
    for (const char c : desktopEntryString(value, what)) {
        out += c == ';' ? std::string("\\;") : std::string(1, c);
    }
    return out;
}

std::string xmlText(const std::string& value, const std::string& what) {
    refuseControls(value, what, "\t\n\r", "XML");
    std::string out;
    for (const char c : value) {
        out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;"
             : c == '\'' ? "&apos;" : std::string(1, c);
    }
    return out;
}

std::string tomlString(const std::string& value) {
    std::string out = "\"";
    for (const unsigned char c : value) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04X", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string roffText(const std::string& value) {
    std::string out = value.empty() || (value[0] != '.' && value[0] != '\'') ? "" : "\\&";
    for (const char c : value) {
        out += c == '\\' ? "\\e" : c == '-' ? "\\-" : c == '"' ? "\\(dq" : c == '\n' ? " " : std::string(1, c);
    }
    return out;
}

std::string regexLiteral(const std::string& value) {
    std::string out;
    for (const char c : value) {
        out += std::string("\\.+*?()[]{}|^$").find(c) != std::string::npos ? "\\" + std::string(1, c)
                                                                          : std::string(1, c);
    }
    return out;
}

std::string shownValue(const std::string& value) {
    std::string out = "\"";
    for (size_t i = 0; i < value.size();) {
        const size_t length = utf8Length(value, i);
        const unsigned char c = static_cast<unsigned char>(value[i]);
        if (length == 0 || (length == 1 && isControl(c))) {
            char escape[8];
            std::snprintf(escape, sizeof(escape), "\\x%02X", c);
            out += escape;
            ++i;
        } else {
            out += value.substr(i, length);
            i += length;
        }
    }
    return out + "\"";
}
