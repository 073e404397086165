// Conversions between the wide strings the launcher holds and the bytes
// Linux hands it; printf with the wide rules the shared code is written for.
//
// A Linux file name or argument is bytes, not always UTF-8. Bytes from the
// system (decodeAnsi) keep every byte that is not UTF-8 as a lone surrogate
// U+DC80..U+DCFF, and bytes for the system (encodeAnsi) turn it back, so a
// path or an argument reaches the runtime exactly as it came. Text
// (decodeUtf8, encodeUtf8) stays strict UTF-8. Written here rather than over
// iconv, which knows no such escape and wants four times the input's size.
#include "tstrings.h"

#include <cstdarg>
#include <cwchar>

#include "ErrorHandling.h"

namespace {

const wchar_t firstEscape = 0xDC80, lastEscape = 0xDCFF;
const wchar_t replacement = 0xFFFD;

// The UTF-8 sequence at `at`: its length, and its code point in `c`; 0
// where none starts (overlong forms, surrogates and values past U+10FFFF
// included, as Windows rejects them too).
size_t decodeOne(const std::string& s, size_t at, wchar_t& c) {
    const unsigned char b = static_cast<unsigned char>(s[at]);
    if (b < 0x80) {
        c = b;
        return 1;
    }
    const size_t length = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (length == 0 || s.size() - at < length) {
        return 0;
    }
    unsigned long value = b & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(s[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        value = value << 6 | (next & 0x3F);
    }
    static const unsigned long smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    c = static_cast<wchar_t>(value);
    return length;
}

void encodeOne(wchar_t wc, std::string& out) {
    unsigned long c = static_cast<unsigned long>(wc);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        c = replacement;
    }
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// `escape`: bytes that are not UTF-8 become escapes instead of failing.
tstring decode(const std::string& text, bool escape) {
    tstring out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        wchar_t c = 0;
        const size_t length = decodeOne(text, at, c);
        if (length == 0 && !escape) {
            return tstring();
        }
        out += length ? c : static_cast<wchar_t>(firstEscape - 0x80 + static_cast<unsigned char>(text[at]));
        at += length ? length : 1;
    }
    return out;
}

// `unescape`: escapes become their bytes again; elsewhere U+FFFD.
std::string encode(const tstring& text, bool unescape) {
    std::string out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        if (unescape && c >= firstEscape && c <= lastEscape) {
            out += static_cast<char>(c - firstEscape + 0x80);
        } else {
            encodeOne(c, out);
        }
    }
    return out;
}

// The shared code writes "%s" for a wide string, as Windows reads it.
tstring wideFormat(const wchar_t* format) {
    tstring result;
    for (const wchar_t* p = format; *p; ++p) {
        result += *p;
        if (*p != L'%') {
            continue;
        }
        if (p[1] == L'%') {
            result += *++p;
            continue;
        }
        bool longModifier = false;
        while (p[1] && std::wcschr(L"0123456789.-+ #lhz", p[1])) {
            longModifier = longModifier || p[1] == L'l';
            result += *++p;
        }
        if (p[1] == L's' && !longModifier) {
            result += L'l';
        }
    }
    return result;
}

} // namespace

namespace tstrings {

tstring decodeUtf8(const std::string& text) {
    return decode(text, false);
}

std::string encodeUtf8(const tstring& text) {
    return encode(text, false);
}

// The runtime is given UTF-8 whatever the locale (the launcher sets one
// that reads it), and every byte it was given.
std::string encodeAnsi(const tstring& text) {
    return encode(text, true);
}

tstring decodeAnsi(const std::string& text) {
    return decode(text, true);
}

tstring formatPrintf(const wchar_t* format, ...) {
    if (!format) {
        throw std::invalid_argument("Destination buffer can't be NULL");
    }
    const tstring wide = wideFormat(format);
    tstring result(256, L'\0');
    for (;;) {
        va_list args;
        va_start(args, format);
        const int n = std::vswprintf(&result[0], result.size(), wide.c_str(), args);
        va_end(args);
        if (n >= 0) {
            result.resize(static_cast<size_t>(n));
            return result;
        }
        if (result.size() >= 1u << 24) {
            TARN_THROW("Failed to format text with printf format");
        }
        result.resize(result.size() * 2);
    }
}

} // namespace tstrings
