// The plain-function layer: builds the block through the table and calls the
// runtime. It uses no class of the launcher and no logger on purpose.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "JvmLauncher.h"

namespace {

typedef unsigned char jboolean;

typedef int (*JLI_LaunchFunc)(int argc, char** argv,
                              int jargc, const char** jargv,
                              int appclassc, const char** appclassv,
                              const char* fullversion, const char* dotversion,
                              const char* pname, const char* lname,
                              jboolean javaargs, jboolean cpwildcard,
                              jboolean javaw, int ergo);

bool isTraceEnabled() {
    const char* value = std::getenv("LOFTWICK_DEBUG");
    return value && std::strcmp(value, "true") == 0;
}

} // namespace

extern "C" {

JvmlLauncherData* jvmLauncherMakeData(JvmlLauncherAPI* api, JvmlLauncherHandle h) {
    if (!h) {
        return nullptr;
    }
    JvmlLauncherData* result = nullptr;
    void* memory = nullptr;
    const int size = api->getJvmlLauncherDataSize(h);
    if (size > 0) {
        memory = std::malloc(static_cast<size_t>(size));
        if (!memory) {
            jvmLauncherTrace("%s", std::strerror(errno));
        } else {
            result = api->initJvmlLauncherData(h, memory, size);
        }
    }
    api->closeHandle(h);
    if (!result) {
        std::free(memory);
    }
    return result;
}

void jvmLauncherTrace(const char* format, ...) {
    if (!isTraceEnabled()) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputs("\n", stderr);
}

int jvmLauncherCallJli(const JvmlLauncherData* data, void* jliLaunch, int windowed) {
    jvmLauncherTrace("jli lib: [%s]", data->jliLibPath);
    char* const* argv = data->jliLaunchArgv;
    for (int i = 0; i < data->jliLaunchArgc; ++i) {
        // The array is not aligned: read each slot byte-wise.
        const char* arg = nullptr;
        std::memcpy(&arg, reinterpret_cast<const char*>(argv) + sizeof(char*) * i, sizeof(arg));
        jvmLauncherTrace("jli arg[%d]: [%s]", i, arg);
    }
    const JLI_LaunchFunc launch = reinterpret_cast<JLI_LaunchFunc>(jliLaunch);
    return launch(data->jliLaunchArgc, data->jliLaunchArgv, 0, nullptr, 0, nullptr,
                  "", "", "java", "java", 0, 0, windowed ? 1 : 0, 0);
}

} // extern "C"
