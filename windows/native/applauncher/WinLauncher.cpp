// The launch sequence: in this process, or through one relaunched child.
#include <memory>
#include <vector>

#include "AppLauncher.h"
#include "ChildOutput.h"
#include "Dll.h"
#include "ErrorHandling.h"
#include "FileUtils.h"
#include "JvmLauncher.h"
#include "Log.h"
#include "OutputTail.h"
#include "RuntimeBoxWatch.h"
#include "SysInfo.h"
#include "Toolbox.h"
#include "UniqueHandle.h"
#include "WinLauncher.h"
#include "WinSysHeaders.h"
#include "app.h"

namespace {

// Who tells the user what went wrong, which decides the road and how the
// runtime reports its own errors.
enum class Audience {
    // The console flavour: everything on standard error, the runtime's
    // result passes through as the exit code.
    Console,
    // A GUI launcher with a standard error someone reads (started from a
    // console, a script, a test): the runtime writes there; the launcher's
    // own errors also get a box.
    GuiWithStandardError,
    // A double-clicked GUI launcher: nobody reads its standard error. A
    // relaunching parent reads its child's output and shows the failure.
    GuiAlone,
    // The child of such a parent: it writes everything to the pipe it was
    // given and shows nothing itself; its exit code passes through.
    ReportingParent,
};

Audience audience = Audience::GuiAlone;

// The variable a reporting parent hands its child.
const wchar_t* const parentReportsVariable = L"LOFTWICK_PARENT_REPORTS";
// Lines of output a failure box holds at most.
const size_t failureBoxLines = 20;

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
    switch (audience) {
    case Audience::Console:
    case Audience::ReportingParent:
        appExitCode = static_cast<unsigned long>(jvm.callRuntime());
        appExitCodeSet = true;
        break;
    case Audience::GuiWithStandardError:
        jvm.launch();
        break;
    case Audience::GuiAlone: {
        // Nobody reads standard error and nobody reports for this process:
        // the runtime shows what it can in boxes of its own.
        jvm.setWindowed(RuntimeBoxWatch::boxShown);
        const RuntimeBoxWatch watch(static_cast<HMODULE>(jliDll->getHandle()));
        jvm.launch();
        break;
    }
    }
}

// Starts this executable again with the same command line and the current
// environment; `si` says which standard handles the child gets.
UniqueHandle startChild(const tstring& launcherPath, STARTUPINFOW& si, UniqueHandle& thread) {
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
    thread.reset(pi.hThread);
    return UniqueHandle(pi.hProcess);
}

// The child's code becomes this process's: it is the application's.
unsigned long takeExitCode(HANDLE process) {
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process, &exitCode)) {
        const DWORD err = GetLastError();
        TARN_THROW(SysError(tstrings::TextBuilder() << "GetExitCodeProcess() failed",
                            reinterpret_cast<const void*>(GetExitCodeProcess), err));
    }
    appExitCode = exitCode;
    appExitCodeSet = true;
    return exitCode;
}

tstring crashText(unsigned long exitCode) {
    return L"Child process exited with code " + tstrings::formatPrintf(L"0x%08lX", exitCode);
}

// The child reports whatever goes wrong itself, where its standard error
// leads; only a crash would pass unseen.
void relaunch(std::unique_ptr<Jvm>& jvm, const tstring& launcherPath) {
    jvm.reset();

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    passStandardHandles(si);
    UniqueHandle thread;
    const UniqueHandle process = startChild(launcherPath, si, thread);

    // Installed once the child exists, so the child inherits nothing of it.
    std::unique_ptr<LeaveControlEventsToChild> leaveEvents;
    if (audience == Audience::Console) {
        leaveEvents.reset(new LeaveControlEventsToChild(process.get()));
    }
    WaitForSingleObject(process.get(), INFINITE);

    const unsigned long exitCode = takeExitCode(process.get());
    if (audience != Audience::Console && isExceptionStatus(exitCode)) {
        TARN_THROW(tstrings::TextBuilder() << crashText(exitCode));
    }
}

// Nobody reads this process's standard error: the child's output comes
// here instead, and when the application fails after printing, the user
// sees the end of it in one box.
void relaunchReporting(std::unique_ptr<Jvm>& jvm, const tstring& launcherPath) {
    jvm.reset();

    ChildOutput output;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    passStandardHandles(si);
    si.hStdOutput = output.writeEnd();
    si.hStdError = output.writeEnd();
    SysInfo::setEnvVariable(parentReportsVariable, L"1");
    const auto unset = atEndOfScope([]() {
        SetEnvironmentVariableW(parentReportsVariable, nullptr);
    });
    UniqueHandle thread;
    const UniqueHandle process = startChild(launcherPath, si, thread);
    output.closeWriteEnd();

    OutputTail tail;
    output.collect(process.get(), tail);
    const unsigned long exitCode = takeExitCode(process.get());
    if (isExceptionStatus(exitCode)) {
        TARN_THROW(tstrings::TextBuilder() << crashText(exitCode)
                   << (tail.printedSomething() ? L"\n\n" + tail.text(failureBoxLines) : L""));
    }
    // An application that ends with a code of its own choice and says
    // nothing (System.exit(4)) has nothing to report.
    if (exitCode != 0 && tail.printedSomething()) {
        TARN_THROW(tstrings::TextBuilder() << tail.text(failureBoxLines)
                   << "\n\nThe application ended with exit code " << exitCode << ".");
    }
}

// A handle someone may read: a console, a pipe, a file. A double-clicked
// program has none (null), or one that leads nowhere.
bool hasUsableStandardError() {
    const HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    return h && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

void launchApp() {
    AllowSetForegroundWindow(ASFW_ANY);
    if (audience == Audience::GuiAlone && hasUsableStandardError()) {
        audience = Audience::GuiWithStandardError;
    }

    const tstring launcherPath = SysInfo::getProcessModulePath();
    AppLauncher appLauncher;
    configureForImage(appLauncher, launcherPath);

    const bool hadAppDir = appLauncher.libraryPathHasAppDir();
    LauncherSettings settings;
    std::unique_ptr<Jvm> jvm(appLauncher.createJvmLauncher(nullptr, &settings));

    // A child sees the environment as it is now. When even the extended PATH
    // cannot list the app dir (a ';' in its name), the child would relaunch
    // again, and so on forever: start in this process instead.
    const bool childStartsInProcess = appLauncher.libraryPathHasAppDir();
    if (!childStartsInProcess) {
        LOG_TRACE("PATH cannot list " << appLauncher.getAppDir() << "; starting in this process");
    }
    if (audience == Audience::ReportingParent) {
        launchInProcess(*jvm);
    } else if (audience == Audience::GuiAlone && settings.failureBox && childStartsInProcess) {
        relaunchReporting(jvm, launcherPath);
    } else if (!hadAppDir && childStartsInProcess) {
        relaunch(jvm, launcherPath);
    } else {
        launchInProcess(*jvm);
    }
}

void noBox(const tstring&, const tstring&) {}

} // namespace

int launchConsole() {
    audience = Audience::Console;
    const int result = app::launch(std::nothrow, launchApp, nullptr);
    return appExitCodeSet ? static_cast<int>(appExitCode) : result;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    // Read once and removed, so that no program the application starts
    // takes this process's parent for its own. Without the pipe a reporting
    // parent gives, the variable was set by someone else.
    if (!SysInfo::getEnvVariable(std::nothrow, parentReportsVariable, L"").empty()) {
        SetEnvironmentVariableW(parentReportsVariable, nullptr);
        if (hasUsableStandardError()) {
            audience = Audience::ReportingParent;
        }
    }
    const int result = app::wlaunch(std::nothrow, launchApp,
                                    audience == Audience::ReportingParent ? noBox : nullptr);
    return appExitCodeSet ? static_cast<int>(appExitCode) : result;
}
