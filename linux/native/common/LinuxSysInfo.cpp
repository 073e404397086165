// System information on Linux: /proc for the process, the C library for the
// environment and the clock.
#include "SysInfo.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <fstream>
#include <iterator>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

#include "ErrorHandling.h"

namespace SysInfo {

namespace {

// A name the C library hands back, in bytes that may not be UTF-8.
tstring fromBytes(const std::string& bytes) {
    return tstrings::decodeAnsi(bytes);
}

} // namespace

tstring getSystemDirectory() {
    return L"/usr/lib";
}

// The executable itself, links resolved: started as /usr/bin/myapp, a link
// to the image, it is the image's launcher.
tstring getProcessModulePath() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            const int err = errno;
            TARN_THROW(SysError(tstrings::TextBuilder() << "readlink(/proc/self/exe) failed",
                                nullptr, static_cast<unsigned long>(err)));
        }
        if (static_cast<size_t>(n) < buffer.size()) {
            return fromBytes(std::string(buffer.data(), static_cast<size_t>(n)));
        }
        buffer.resize(buffer.size() * 2);
    }
}

void* getCurrentModuleHandle() {
    Dl_info info = {};
    return dladdr(reinterpret_cast<void*>(&getCurrentModuleHandle), &info) ? info.dli_fbase : nullptr;
}

tstring getCurrentModulePath() {
    Dl_info info = {};
    if (dladdr(reinterpret_cast<void*>(&getCurrentModulePath), &info) && info.dli_fname
        && info.dli_fname[0] == '/') {
        return fromBytes(info.dli_fname);
    }
    return getProcessModulePath();
}

tstring_array getCommandArgs(CommandArgProgramNameMode mode) {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    tstring_array args;
    size_t start = 0;
    while (start < all.size()) {
        const size_t end = all.find('\0', start);
        args.push_back(fromBytes(all.substr(start, end - start)));
        start = end == std::string::npos ? all.size() : end + 1;
    }
    if (mode == WithoutProgramName && !args.empty()) {
        args.erase(args.begin());
    }
    return args;
}

tstring getEnvVariable(const tstring& name) {
    const char* value = std::getenv(tstrings::encodeAnsi(name).c_str());
    if (!value) {
        TARN_THROW(tstrings::TextBuilder() << "getenv(" << name << ") found no such variable");
    }
    return fromBytes(value);
}

tstring getEnvVariable(const std::nothrow_t&, const tstring& name, const tstring& defValue) {
    const char* value = std::getenv(tstrings::encodeAnsi(name).c_str());
    return value ? fromBytes(value) : defValue;
}

void setEnvVariable(const tstring& name, const tstring& value) {
    if (::setenv(tstrings::encodeAnsi(name).c_str(), tstrings::encodeAnsi(value).c_str(), 1) != 0) {
        const int err = errno;
        TARN_THROW(SysError(tstrings::TextBuilder() << "setenv(" << name << ") failed", nullptr,
                            static_cast<unsigned long>(err)));
    }
}

LocalTime localTime() {
    struct timeval now = {};
    ::gettimeofday(&now, nullptr);
    struct tm t = {};
    ::localtime_r(&now.tv_sec, &t);
    return {static_cast<unsigned>(t.tm_year + 1900), static_cast<unsigned>(t.tm_mon + 1),
            static_cast<unsigned>(t.tm_mday), static_cast<unsigned>(t.tm_hour),
            static_cast<unsigned>(t.tm_min), static_cast<unsigned>(t.tm_sec),
            static_cast<unsigned>(now.tv_usec / 1000)};
}

unsigned long processId() {
    return static_cast<unsigned long>(::getpid());
}

unsigned long threadId() {
    return static_cast<unsigned long>(::syscall(SYS_gettid));
}

} // namespace SysInfo
