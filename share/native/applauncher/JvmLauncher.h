// The runtime launcher object and the flat launch data handed to the runtime.
#ifndef JVMLAUNCHER_H
#define JVMLAUNCHER_H

#include <vector>

#include "tstrings.h"

class CfgFile;

// Bytes of the launch data block for these string lengths; throws when the
// block would not fit its signed 32-bit size.
int jvmlLauncherDataSize(size_t pathBytes, const std::vector<size_t>& argBytes);

class Jvm {
public:
    Jvm();
    ~Jvm();
    Jvm(const Jvm&) = delete;
    Jvm& operator=(const Jvm&) = delete;

    Jvm& initFromConfigFile(const CfgFile& cfg);

    Jvm& addArgument(const tstring& value) {
        args.push_back(value);
        return *this;
    }
    void setPath(const tstring& v) { path = v; }
    const tstring& getPath() const { return path; }
    const tstring_array& getArgs() const { return args; }

    // Only runtime options ask for a splash screen: once initFromConfigFile
    // has placed the main entry, what follows belongs to the application.
    bool hasSplashArgument() const;

    // How many leading arguments (the executable's path included) are
    // runtime options, before the main entry and the application's.
    size_t runtimeOptionCount() const;

    // A new launch data object (UTF-8 library path, ANSI arguments), owned
    // by the returned handle until the table's closeHandle.
    void* makeLaunchData() const;

    // A windowed runtime shows its errors in a message box of its own (the
    // GUI launcher has no standard error a user sees); `toldUser` answers,
    // after a failed launch, whether it did. Off by default.
    void setWindowed(bool (*toldUser)()) {
        windowed = true;
        runtimeToldUser = toldUser;
    }

    // Calls JLI_Launch of the library at getPath(); throws unless it returns
    // 0: a ShownError when the windowed runtime has told the user already.
    void launch();

    // The same call, returning what JLI_Launch returned: the exit code of a
    // console application whose main method ended.
    int callRuntime();

private:
    tstring path;
    tstring_array args;
    size_t runtimeOptionsEnd = static_cast<size_t>(-1);
    bool windowed = false;
    bool (*runtimeToldUser)() = nullptr;
};

extern "C" {

typedef void* JvmlLauncherHandle;

// The block the runtime call is made from: one malloc'ed piece, every
// pointer pointing inside it.
typedef struct {
    const char* jliLibPath;
    int jliLaunchArgc;
    char** jliLaunchArgv;
} JvmlLauncherData;

typedef void (*JvmlLauncherAPI_CloseHandleFunc)(JvmlLauncherHandle);
typedef int (*JvmlLauncherAPI_GetJvmlLauncherDataSizeFunc)(JvmlLauncherHandle);
typedef JvmlLauncherData* (*JvmlLauncherAPI_InitJvmlLauncherDataFunc)(
        JvmlLauncherHandle, void*, int);

typedef struct {
    JvmlLauncherAPI_CloseHandleFunc closeHandle;
    JvmlLauncherAPI_GetJvmlLauncherDataSizeFunc getJvmlLauncherDataSize;
    JvmlLauncherAPI_InitJvmlLauncherDataFunc initJvmlLauncherData;
} JvmlLauncherAPI;

// LOFTWICK_EXPORT is the platform's mark of an exported function (set by the build).
LOFTWICK_EXPORT JvmlLauncherAPI* jvmLauncherGetAPI(void);

JvmlLauncherData* jvmLauncherMakeData(JvmlLauncherAPI* api, JvmlLauncherHandle h);
void jvmLauncherTrace(const char* format, ...);
// windowed: the runtime's windowed-launcher flag (its errors in a box).
int jvmLauncherCallJli(const JvmlLauncherData* data, void* jliLaunch, int windowed);

} // extern "C"

#endif // JVMLAUNCHER_H
