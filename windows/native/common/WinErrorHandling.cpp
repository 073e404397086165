// Windows half of the error model: the text of a failed system call.
#include "ErrorHandling.h"

#include <sstream>

#include "Log.h"
#include "WinSysHeaders.h"

namespace {

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
