// Conversions between UTF-8 and the wide strings the launcher holds, over
// iconv; printf with the wide rules the shared code is written for.
#include "tstrings.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cwchar>
#include <iconv.h>

#include "ErrorHandling.h"

namespace {

// Converts all of `in`; an empty result for input that is not valid in
// the source encoding, as the Windows side does.
template <class Out, class In>
Out convert(const In& in, const char* to, const char* from) {
    if (in.empty()) {
        return Out();
    }
    const iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        TARN_THROW("iconv_open() failed");
    }
    std::string out(in.size() * sizeof(typename In::value_type) * 4 + 16, '\0');
    char* src = const_cast<char*>(reinterpret_cast<const char*>(in.data()));
    size_t srcLeft = in.size() * sizeof(typename In::value_type);
    char* dst = &out[0];
    size_t dstLeft = out.size();
    const size_t n = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (n == static_cast<size_t>(-1) || srcLeft != 0) {
        return Out();
    }
    out.resize(out.size() - dstLeft);
    return Out(reinterpret_cast<const typename Out::value_type*>(out.data()),
               out.size() / sizeof(typename Out::value_type));
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
    return convert<tstring>(text, "WCHAR_T", "UTF-8");
}

std::string encodeUtf8(const tstring& text) {
    return convert<std::string>(text, "UTF-8", "WCHAR_T");
}

// The runtime is given UTF-8 whatever the locale (the launcher sets one
// that reads it).
std::string encodeAnsi(const tstring& text) {
    return encodeUtf8(text);
}

tstring decodeAnsi(const std::string& text) {
    const tstring utf8 = decodeUtf8(text);
    return !utf8.empty() || text.empty() ? utf8 : convert<tstring>(text, "WCHAR_T", "ISO-8859-1");
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
