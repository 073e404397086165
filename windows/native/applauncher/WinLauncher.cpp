// The launch sequence: in this process, or through one relaunched child.
#include <memory>
#include <vector>

#include "AppLauncher.h"
#include "Dll.h"
#include "ErrorHandling.h"
#include "FileUtils.h"
#include "JvmLauncher.h"
#include "Log.h"
#include "RuntimeBoxWatch.h"
#include "SysInfo.h"
#include "Toolbox.h"
#include "UniqueHandle.h"
#include "WinLauncher.h"
#include "WinSysHeaders.h"
#include "app.h"

namespace {

// Set by the console flavour: the runtime's result passes through instead of
// becoming an error, and the runtime writes its errors to standard error.
bool passExitCode = false;
// The exit code the application decided (the console runtime's result, or a
// relaunched child's code); while unset, the launcher's own outcome counts.
bool appExitCodeSet = false;
unsigned long appExitCode = 0;
HANDLE waitedChild = nullptr;

std::unique_ptr<Dll> loadDllWithAddDllDirectory(const tstring& dllFullPath) {
    LOG_TRACE_FUNCTION();
    const tstring dir = FileUtils::dirname(dllFullPath);

    typedef DLL_DIRECTORY_COOKIE (WINAPI *AddDllDirectoryFunc)(PCWSTR);
    const DllFunction<AddDllDirectoryFunc> addDllDirectory(
            Dll(Dll::System(L"kernel32.dll")), tstrings::TextBuilder() << "AddDllDirectory");

    if (!static_cast<AddDllDirectoryFunc>(addDllDirectory)(dir.c_str())) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "AddDllDirectory(" << dir << ") failed",
                            reinterpret_cast<const void*>(
                                static_cast<AddDllDirectoryFunc>(addDllDirectory)), err));
    }
    LOG_TRACE("AddDllDirectory(" << dir << "): OK");

    const HMODULE handle = LoadLibraryExW(dllFullPath.c_str(), nullptr,
                                          LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    LOG_TRACE("LoadLibraryEx(" << dllFullPath << ", LOAD_LIBRARY_SEARCH_DEFAULT_DIRS): "
              << static_cast<const void*>(handle));
    const auto freeHandle = atEndOfScope([handle]() {
        if (handle) {
            FreeLibrary(handle);
        }
    });
    return std::unique_ptr<Dll>(new Dll(tstrings::TextBuilder() << dllFullPath));
}

std::unique_ptr<Dll> loadDllWithAlteredPATH(const tstring& dllFullPath) {
    LOG_TRACE_FUNCTION();
    const tstring pathEnvVarName = L"PATH";
    const tstring oldPath = SysInfo::getEnvVariable(pathEnvVarName);
    const tstring newPath = oldPath + L";" + FileUtils::dirname(dllFullPath);
    SysInfo::setEnvVariable(pathEnvVarName, newPath);
    LOG_TRACE("New value of " << pathEnvVarName << ": " << newPath);

    const auto restorePath = atEndOfScope([&pathEnvVarName, &oldPath]() {
        SysInfo::setEnvVariable(pathEnvVarName, oldPath);
    });
    return std::unique_ptr<Dll>(new Dll(tstrings::TextBuilder() << dllFullPath));
}

std::unique_ptr<Dll> loadDllWithFallback(const tstring& dllFullPath) {
    try {
        return loadDllWithAddDllDirectory(dllFullPath);
    } catch (const std::exception&) {
        return loadDllWithAlteredPATH(dllFullPath);
    }
}

// Parent and child share the console, so the child gets every event too and
// decides; the parent only waits. A handler of its own, not the null one,
// because ignoring through the null handler would pass to children.
BOOL WINAPI whileTheChildRuns(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        return TRUE;
    }
    // Closing the console ends this process once the handler returns: let
    // the child finish first and leave with its code.
    DWORD code = 1;
    WaitForSingleObject(waitedChild, INFINITE);
    GetExitCodeProcess(waitedChild, &code);
    ExitProcess(code);
}

// For its lifetime, console control events are left to the child.
class LeaveControlEventsToChild {
public:
    explicit LeaveControlEventsToChild(HANDLE child) {
        waitedChild = child;
        SetConsoleCtrlHandler(whileTheChildRuns, TRUE);
    }
    ~LeaveControlEventsToChild() { SetConsoleCtrlHandler(whileTheChildRuns, FALSE); }
    LeaveControlEventsToChild(const LeaveControlEventsToChild&) = delete;
    LeaveControlEventsToChild& operator=(const LeaveControlEventsToChild&) = delete;
};

// Output to a pipe or a file, and input from one, go to the child as they
// come to this process; only inheritable handles can be passed.
void passStandardHandles(STARTUPINFOW& si) {
    si.dwFlags |= STARTF_USESTDHANDLES;
    HANDLE* const targets[] = {&si.hStdInput, &si.hStdOutput, &si.hStdError};
    const DWORD ids[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int i = 0; i < 3; ++i) {
        *targets[i] = GetStdHandle(ids[i]);
        if (*targets[i] && *targets[i] != INVALID_HANDLE_VALUE) {
            SetHandleInformation(*targets[i], HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        }
    }
}

// A status Windows ends a crashed process with (an access violation is
// 0xC0000005); no application chooses one: System.exit(-1) is 0xFFFFFFFF.
bool isExceptionStatus(DWORD code) {
    return code >= 0xC0000000UL && code <= 0xC000FFFFUL;
}

void launchInProcess(Jvm& jvm) {
    const tstring libDir = FileUtils::dirname(jvm.getPath());
    SetDllDirectoryW(libDir.c_str());
    LOG_TRACE("SetDllDirectory to: " << libDir);

    const std::unique_ptr<Dll> jliDll = loadDllWithFallback(jvm.getPath());
    std::unique_ptr<Dll> splashDll;
    if (jvm.hasSplashArgument()) {
        // The splash library needs the JVM library only while it loads.
        const std::unique_ptr<Dll> jvmDll = loadDllWithFallback(
                FileUtils::joinPath(FileUtils::joinPath(libDir, L"server"), L"jvm.dll"));
        splashDll = loadDllWithFallback(FileUtils::joinPath(libDir, L"splashscreen.dll"));
    }
    if (passExitCode) {
        appExitCode = static_cast<unsigned long>(jvm.callRuntime());
        appExitCodeSet = true;
    } else {
        jvm.setWindowed(RuntimeBoxWatch::boxShown);
        const RuntimeBoxWatch watch(jliDll->getHandle());
        jvm.launch();
    }
}

void relaunch(std::unique_ptr<Jvm>& jvm, const tstring& launcherPath) {
    jvm.reset();

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    if (passExitCode) {
        passStandardHandles(si);
    }
    PROCESS_INFORMATION pi = {};

    // CreateProcessW may write into its command line, and GetCommandLineW()
    // is this process's own buffer: hand it a copy.
    const tstring commandLineText = GetCommandLineW();
    std::vector<wchar_t> commandLine(commandLineText.begin(), commandLineText.end());
    commandLine.push_back(L'\0');

    if (!CreateProcessW(launcherPath.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                        0, nullptr, nullptr, &si, &pi)) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "CreateProcessW() failed",
                            reinterpret_cast<const void*>(CreateProcessW), err));
    }
    // Declared process first so that the thread handle is closed first.
    const UniqueHandle process(pi.hProcess);
    const UniqueHandle thread(pi.hThread);

    // Installed once the child exists, so the child inherits nothing of it.
    std::unique_ptr<LeaveControlEventsToChild> leaveEvents;
    if (passExitCode) {
        leaveEvents.reset(new LeaveControlEventsToChild(process.get()));
    }
    WaitForSingleObject(process.get(), INFINITE);

    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.get(), &exitCode)) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "GetExitCodeProcess() failed",
                            reinterpret_cast<const void*>(GetExitCodeProcess), err));
    }
    // The child has reported whatever went wrong, once; its code is the
    // application's. Only a crash would pass unseen.
    appExitCode = exitCode;
    appExitCodeSet = true;
    if (!passExitCode && isExceptionStatus(exitCode)) {
        TARN_THROW(tstrings::TextBuilder() << "Child process exited with code "
                   << tstrings::formatPrintf(L"0x%08lX", static_cast<unsigned long>(exitCode)));
    }
}

void launchApp() {
    AllowSetForegroundWindow(ASFW_ANY);

    const tstring launcherPath = SysInfo::getProcessModulePath();
    AppLauncher appLauncher;
    configureForImage(appLauncher, launcherPath);

    const bool hadAppDir = appLauncher.libraryPathHasAppDir();
    std::unique_ptr<Jvm> jvm(appLauncher.createJvmLauncher());

    // A child sees the environment as it is now. When even the extended PATH
    // cannot list the app dir (a ';' in its name), the child would relaunch
    // again, and so on forever: start in this process instead.
    const bool relaunchHelps = !hadAppDir && appLauncher.libraryPathHasAppDir();
    if (!hadAppDir && !relaunchHelps) {
        LOG_TRACE("PATH cannot list " << appLauncher.getAppDir() << "; starting in this process");
    }
    if (relaunchHelps) {
        relaunch(jvm, launcherPath);
    } else {
        launchInProcess(*jvm);
    }
}

} // namespace

int launchConsole() {
    passExitCode = true;
    const int result = app::launch(std::nothrow, launchApp, nullptr);
    return appExitCodeSet ? static_cast<int>(appExitCode) : result;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    const int result = app::wlaunch(std::nothrow, launchApp);
    return appExitCodeSet ? static_cast<int>(appExitCode) : result;
}
