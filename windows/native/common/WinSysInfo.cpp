// System information: the Windows calls behind SysInfo.
#include "SysInfo.h"

#include <memory>
#include <vector>

#include "ErrorHandling.h"
#include "FileUtils.h"
#include "WinSysHeaders.h"

namespace SysInfo {

namespace {

typedef UINT (WINAPI *SystemDirFunc)(LPWSTR, UINT);

tstring getSystemDirImpl(SystemDirFunc func, const tstring& label) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const UINT n = func(buffer.data(), static_cast<UINT>(buffer.size()));
        if (n == 0) {
            const DWORD err = GetLastError();
            TARN_THROW(SysError(tstrings::TextBuilder() << label << " failed",
                                reinterpret_cast<const void*>(func), err), 55);
        }
        if (n < buffer.size()) {
            return FileUtils::removeTrailingSlash(tstring(buffer.data()));
        }
        buffer.assign(n + 1, L'\0');
    }
    TARN_THROW(tstrings::TextBuilder() << "Unexpected reply from " << label, 62);
}

tstring getModulePath(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    while (n >= buffer.size()) {
        buffer.assign(buffer.size() * 2, L'\0');
        n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    }
    if (n == 0) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "GetModuleFileName failed",
                            reinterpret_cast<const void*>(GetModuleFileNameW), err), 92);
    }
    return tstring(buffer.data(), n);
}

tstring getEnvVariableImpl(const tstring& name, bool* errorOccurred) {
    std::vector<wchar_t> buffer(10);
    SetLastError(0);
    DWORD n = GetEnvironmentVariableW(name.c_str(), buffer.data(),
                                      static_cast<DWORD>(buffer.size()));
    DWORD err = GetLastError();
    if (err == ERROR_ENVVAR_NOT_FOUND) {
        if (errorOccurred) {
            *errorOccurred = true;
            return tstring();
        }
        TARN_THROW(SysError(tstrings::TextBuilder() << "GetEnvironmentVariable("
                            << name << ") failed. Variable not set",
                            reinterpret_cast<const void*>(GetEnvironmentVariableW), err), 163);
    }
    if (n > buffer.size()) {
        buffer.assign(n, L'\0');
        n = GetEnvironmentVariableW(name.c_str(), buffer.data(),
                                    static_cast<DWORD>(buffer.size()));
        err = GetLastError();
        if (err != 0) {
            if (errorOccurred) {
                *errorOccurred = true;
                return tstring();
            }
            TARN_THROW(SysError(tstrings::TextBuilder() << "GetEnvironmentVariable("
                                << name << ") failed",
                                reinterpret_cast<const void*>(GetEnvironmentVariableW), err), 175);
        }
    }
    if (errorOccurred) {
        *errorOccurred = false;
    }
    return tstring(buffer.data());
}

struct LocalFreeDeleter {
    void operator()(LPWSTR* p) const { LocalFree(p); }
};

} // namespace

tstring getSystemDirectory() {
    return getSystemDirImpl(GetSystemDirectoryW, L"GetSystemDirectory");
}

tstring getProcessModulePath() {
    return FileUtils::toAbsolutePath(getModulePath(nullptr));
}

void* getCurrentModuleHandle() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS
                            | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&getCurrentModuleHandle), &module)) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "GetModuleHandleExW failed",
                            reinterpret_cast<const void*>(GetModuleHandleExW), err), 112);
    }
    return module;
}

tstring getCurrentModulePath() {
    return getModulePath(static_cast<HMODULE>(getCurrentModuleHandle()));
}

tstring_array getCommandArgs(CommandArgProgramNameMode mode) {
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreeDeleter> argv(
            CommandLineToArgvW(GetCommandLineW(), &count));
    if (!argv) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "CommandLineToArgvW failed",
                            reinterpret_cast<const void*>(CommandLineToArgvW), err), 139);
    }
    tstring_array result;
    for (int i = (mode == WithoutProgramName ? 1 : 0); i < count; ++i) {
        result.push_back(argv.get()[i]);
    }
    return result;
}

tstring getEnvVariable(const tstring& name) {
    return getEnvVariableImpl(name, nullptr);
}

tstring getEnvVariable(const std::nothrow_t&, const tstring& name,
                       const tstring& defValue) {
    bool errorOccurred = false;
    const tstring value = getEnvVariableImpl(name, &errorOccurred);
    return errorOccurred ? defValue : value;
}

void setEnvVariable(const tstring& name, const tstring& value) {
    if (!SetEnvironmentVariableW(name.c_str(), value.c_str())) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "SetEnvironmentVariable("
                            << name << ", " << value << ") failed",
                            reinterpret_cast<const void*>(SetEnvironmentVariableW), err), 123);
    }
}

LocalTime localTime() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

unsigned long processId() {
    return GetCurrentProcessId();
}

unsigned long threadId() {
    return GetCurrentThreadId();
}

} // namespace SysInfo
