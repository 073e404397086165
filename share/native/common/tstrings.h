// Wide strings, code page conversions at the edges, and the message builder.
#ifndef TSTRINGS_H
#define TSTRINGS_H

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

typedef std::wstring tstring;
typedef std::vector<tstring> tstring_array;

namespace tstrings {

tstring decodeUtf8(const std::string& text);
std::string encodeUtf8(const tstring& text);
std::string encodeAnsi(const tstring& text);
// Never fails: what the ANSI code page cannot map becomes its default character.
tstring decodeAnsi(const std::string& text);

// printf with the platform's wide rules ("%s" takes a wide string).
tstring formatPrintf(const wchar_t* format, ...);

tstring asciiLower(const tstring& text);
bool hasPrefix(const tstring& text, const tstring& prefix);
bool hasSuffix(const tstring& text, const tstring& suffix);
tstring_array splitOn(const tstring& text, const tstring& delimiter);
tstring replaceEvery(const tstring& text, const tstring& pattern,
                     const tstring& replacement);

template <class It>
tstring joinWith(It begin, It end, const tstring& delimiter) {
    tstring result;
    for (It it = begin; it != end; ++it) {
        if (it != begin) {
            result += delimiter;
        }
        result += *it;
    }
    return result;
}

template <class Range>
tstring joinWith(const Range& range, const tstring& delimiter) {
    return joinWith(std::begin(range), std::end(range), delimiter);
}

// Composes messages before they are logged or thrown.
class TextBuilder {
public:
    TextBuilder() = default;
    explicit TextBuilder(const std::string& utf8) { os << decodeUtf8(utf8); }
    TextBuilder(const TextBuilder&) = delete;
    TextBuilder& operator=(const TextBuilder&) = delete;

    // A narrow C string goes in byte by byte (classic locale): only ASCII
    // passes unchanged. A std::string is UTF-8 and is decoded.
    TextBuilder& operator<<(const char* v) { os << v; return *this; }
    TextBuilder& operator<<(const std::string& v) { os << decodeUtf8(v); return *this; }
    TextBuilder& operator<<(const tstring& v) { os << v; return *this; }
    TextBuilder& operator<<(const wchar_t* v) { os << v; return *this; }
    TextBuilder& operator<<(wchar_t v) { os << v; return *this; }
    TextBuilder& operator<<(char v) { os << v; return *this; }
    TextBuilder& operator<<(const TextBuilder& v) { os << v.wide(); return *this; }
    TextBuilder& operator<<(const void* v) { os << v; return *this; }
    TextBuilder& operator<<(int v) { os << v; return *this; }
    TextBuilder& operator<<(unsigned v) { os << v; return *this; }
    TextBuilder& operator<<(long v) { os << v; return *this; }
    TextBuilder& operator<<(unsigned long v) { os << v; return *this; }
    TextBuilder& operator<<(long long v) { os << v; return *this; }
    TextBuilder& operator<<(unsigned long long v) { os << v; return *this; }

    tstring wide() const { return os.str(); }
    std::string utf8() const { return encodeUtf8(wide()); }

private:
    std::wostringstream os;
};

inline std::ostream& operator<<(std::ostream& os, const TextBuilder& tb) {
    return os << tb.utf8();
}

} // namespace tstrings

#endif // TSTRINGS_H
