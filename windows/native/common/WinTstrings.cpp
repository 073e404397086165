// Code page conversions and printf over the Windows API and CRT.
#include "tstrings.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cwchar>

#include "ErrorHandling.h"
#include "WinSysHeaders.h"

namespace {

// MultiByteToWideChar answers 0 both for empty input and for input that
// is not valid in the code page (MB_ERR_INVALID_CHARS): both give "".
tstring fromMultiByte(const std::string& text, UINT codePage,
                      DWORD flags = MB_ERR_INVALID_CHARS) {
    if (text.size() > static_cast<size_t>(INT_MAX)) {
        TARN_THROW("Unexpected reply from MultiByteToWideChar()");
    }
    const int length = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
    if (n < 0) {
        TARN_THROW("Unexpected reply from MultiByteToWideChar()");
    }
    if (n == 0) {
        return tstring();
    }
    tstring result(static_cast<size_t>(n), L'\0');
    if (MultiByteToWideChar(codePage, flags, text.data(), length, &result[0], n) != n) {
        TARN_THROW("Unexpected reply from MultiByteToWideChar()");
    }
    return result;
}

std::string toMultiByte(const tstring& text, UINT codePage) {
    if (text.size() > static_cast<size_t>(INT_MAX)) {
        TARN_THROW("Unexpected reply from WideCharToMultiByte()");
    }
    const int length = static_cast<int>(text.size());
    const int n = WideCharToMultiByte(codePage, 0, text.data(), length,
                                      nullptr, 0, nullptr, nullptr);
    if (n < 0) {
        TARN_THROW("Unexpected reply from WideCharToMultiByte()");
    }
    if (n == 0) {
        return std::string();
    }
    std::string result(static_cast<size_t>(n), '\0');
    if (WideCharToMultiByte(codePage, 0, text.data(), length, &result[0], n,
                            nullptr, nullptr) != n) {
        TARN_THROW("Unexpected reply from WideCharToMultiByte()");
    }
    return result;
}

const size_t formatStep = 256;

} // namespace

namespace tstrings {

tstring decodeUtf8(const std::string& text) {
    return fromMultiByte(text, CP_UTF8);
}

std::string encodeUtf8(const tstring& text) {
    return toMultiByte(text, CP_UTF8);
}

std::string encodeAnsi(const tstring& text) {
    return toMultiByte(text, CP_ACP);
}

tstring decodeAnsi(const std::string& text) {
    return fromMultiByte(text, CP_ACP, 0);
}

tstring formatPrintf(const wchar_t* format, ...) {
    if (!format) {
        throw std::invalid_argument("Destination buffer can't be NULL");
    }
    tstring result;
    size_t needed = 0;
    int count = -1;
    while (count < 0) {
        if (needed != 0 && result.size() >= needed) {
            // The buffer is large enough, yet the call fails: do not grow on.
            TARN_THROW("Failed to format text with printf format");
        }
        result.resize(result.size() + formatStep, L'\0');
        va_list args;
        va_start(args, format);
        count = _vsnwprintf_s(&result[0], result.size(), _TRUNCATE, format, args);
        va_end(args);
        if (count < 0 && needed == 0) {
            // A truncating call fails for a small buffer and for a bad format
            // or argument alike; the counting call tells them apart.
            va_start(args, format);
            const int length = _vscwprintf(format, args);
            va_end(args);
            if (length < 0) {
                TARN_THROW("Failed to format text with printf format");
            }
            needed = static_cast<size_t>(length) + 1;
        }
    }
    result.resize(static_cast<size_t>(count));
    return result;
}

} // namespace tstrings
