// Windows half of the error model: the text of a failed system call.
#include "ErrorHandling.h"

#include <cerrno>
#include <sstream>

#include "Log.h"
#include "WinSysHeaders.h"

namespace {

// Inserts are ignored when formatting ("%1 is not a valid Win32
// application"): the message names the subject already, so each one reads
// "it" instead of showing its placeholder.
tstring withoutInserts(const tstring& text) {
    tstring result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 1 < text.size() && text[i + 1] >= L'1' && text[i + 1] <= L'9') {
            i += 1;
            while (i + 1 < text.size() && text[i + 1] >= L'0' && text[i + 1] <= L'9') {
                ++i;
            }
            const size_t format = i + 1 < text.size() && text[i + 1] == L'!'
                    ? text.find(L'!', i + 2) : tstring::npos;
            if (format != tstring::npos) {
                i = format;
            }
            result += L"it";
        } else {
            result += text[i];
        }
    }
    return result;
}

tstring lookupSystemMessage(DWORD code, HMODULE module) {
    const DWORD systemFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER
            | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM;
    const DWORD flags = module ? systemFlags | FORMAT_MESSAGE_FROM_HMODULE : systemFlags;

    LPWSTR buffer = nullptr;
    DWORD n = FormatMessageW(flags, module, code, 0,
                             reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    if (n == 0 && module) {
        n = FormatMessageW(systemFlags, nullptr, code, 0,
                           reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    }
    if (n == 0) {
        return L"No description available";
    }

    tstring text(buffer, n);
    LocalFree(buffer);
    text = withoutInserts(text);
    for (wchar_t& c : text) {
        if (c < L' ') {
            c = L' ';
        }
    }
    while (!text.empty() && (text.back() <= L' ' || text.back() == L'.')) {
        text.pop_back();
    }
    return text;
}

tstring describeSystemError(DWORD code, HMODULE module) {
    return (tstrings::TextBuilder() << "system error " << static_cast<unsigned long>(code)
            << " (" << lookupSystemMessage(code, module) << ")").wide();
}

std::string makeMessage(const std::string& msg, const char* label,
                        const void* apiFunction, DWORD code) {
    std::ostringstream os;
    os << (label ? label : "Some error") << " [" << static_cast<unsigned long>(code) << "]";

    HMODULE module = nullptr;
    bool haveModule = true;
    if (apiFunction) {
        haveModule = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS
                                        | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                        static_cast<LPCWSTR>(apiFunction), &module) != 0;
        if (!haveModule) {
            LOG_WARNING("GetModuleHandleEx() failed for " << apiFunction << " address.");
        }
    }
    if (haveModule) {
        os << "(" << tstrings::encodeUtf8(describeSystemError(code, module)) << ")";
    }
    return chainMessages(msg, os.str());
}

} // namespace

SysError::SysError(const tstrings::TextBuilder& msg, const void* apiFunction,
                   unsigned long errorCode, const char* label)
    : std::runtime_error(makeMessage(msg.utf8(), label, apiFunction, errorCode)) {}

unsigned long lastSystemErrorCode() {
    return GetLastError();
}

std::string crtErrorText() {
    const int err = errno;
    wchar_t buffer[2048] = {};
    if (_wcserror_s(buffer, sizeof(buffer) / sizeof(buffer[0]), err) != 0) {
        return std::string();
    }
    return tstrings::encodeUtf8(buffer);
}
