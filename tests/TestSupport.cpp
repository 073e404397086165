// Shared fixtures of the unit and end-to-end tests.
#include "TestSupport.h"

#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "FileUtils.h"
#include "SysInfo.h"
#include "WinSysHeaders.h"

namespace testing_support {

namespace {

int tempCounter = 0;

std::vector<wchar_t> environmentBlock(const EnvChanges& changes) {
    std::map<tstring, tstring> vars;
    std::map<tstring, tstring> upperToName;
    wchar_t* block = GetEnvironmentStringsW();
    for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
        const tstring entry = p;
        const size_t eq = entry.find(L'=', 1);
        if (eq == tstring::npos) {
            continue;
        }
        vars[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    FreeEnvironmentStringsW(block);
    for (const auto& change : changes) {
        // Names are case-insensitive: drop every spelling of the name first.
        for (auto it = vars.begin(); it != vars.end();) {
            if (_wcsicmp(it->first.c_str(), change.first.c_str()) == 0) {
                it = vars.erase(it);
            } else {
                ++it;
            }
        }
        if (change.second) {
            vars[change.first] = change.second;
        }
    }
    std::vector<wchar_t> result;
    for (const auto& v : vars) {
        const tstring entry = v.first + L"=" + v.second;
        result.insert(result.end(), entry.begin(), entry.end());
        result.push_back(L'\0');
    }
    result.push_back(L'\0');
    return result;
}

std::string drain(HANDLE pipe) {
    std::string out;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(pipe, buffer, sizeof(buffer), &n, nullptr) && n > 0) {
        out.append(buffer, n);
    }
    return out;
}

} // namespace

TempDir::TempDir(const tstring& nameHint) {
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, temp);
    dir = FileUtils::joinPath(temp, nameHint + L"-" + std::to_wstring(GetCurrentProcessId())
                              + L"-" + std::to_wstring(++tempCounter));
    removeTree(dir);
    makeDirs(dir);
}

void makeDirs(const tstring& path) {
    if (path.empty() || FileUtils::isFileExists(path)) {
        return;
    }
    makeDirs(FileUtils::dirname(path));
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        throw std::runtime_error("CreateDirectoryW failed: " + tstrings::encodeUtf8(path));
    }
}

void removeTree(const tstring& path) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW(FileUtils::joinPath(path, L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const tstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const tstring child = FileUtils::joinPath(path, name);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

void writeFile(const tstring& path, const std::string& bytes) {
    makeDirs(FileUtils::dirname(path));
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + tstrings::encodeUtf8(path));
    }
}

std::string readFile(const tstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream os;
    os << in.rdbuf();
    return os.str();
}

void copyFile(const tstring& from, const tstring& to) {
    makeDirs(FileUtils::dirname(to));
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
        throw std::runtime_error("CopyFileW failed: " + tstrings::encodeUtf8(to));
    }
}

tstring binDir() {
    return FileUtils::dirname(SysInfo::getProcessModulePath());
}

// LOFTWICK_T_LAUNCHER runs the suites with another launcher (a packed one).
tstring launcherExe() {
    const tstring other = SysInfo::getEnvVariable(std::nothrow, L"LOFTWICK_T_LAUNCHER", L"");
    return other.empty() ? FileUtils::joinPath(binDir(), L"loftwick-launcher.exe") : other;
}

tstring standInRuntimeDir() {
    return FileUtils::joinPath(binDir(), L"standin");
}

tstring realRuntimeDir() {
    const tstring dir = FileUtils::joinPath(FileUtils::dirname(binDir()), L"real-runtime");
    const tstring jvm = dir + L"\\bin\\server\\jvm.dll";
    return GetFileAttributesW(jvm.c_str()) == INVALID_FILE_ATTRIBUTES ? tstring() : dir;
}

namespace {

} // namespace

ScopedEnv::ScopedEnv(const tstring& name, const tstring* value) : name(name) {
    bool missing = false;
    oldValue = SysInfo::getEnvVariable(std::nothrow, name, L"\x01");
    missing = oldValue == L"\x01";
    hadValue = !missing;
    SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
}

ScopedEnv::~ScopedEnv() {
    SetEnvironmentVariableW(name.c_str(), hadValue ? oldValue.c_str() : nullptr);
}

AppImage::AppImage(const tstring& root, const tstring& name) : rootDir(root), name(name) {
    copyFile(launcherExe(), exe());
    makeDirs(appDir());
}

tstring AppImage::exe() const { return FileUtils::joinPath(rootDir, name + L".exe"); }
tstring AppImage::appDir() const { return FileUtils::joinPath(rootDir, L"app"); }
tstring AppImage::cfgPath() const {
    return FileUtils::joinPath(appDir(), name + L".cfg");
}
tstring AppImage::runtimeDir() const { return FileUtils::joinPath(rootDir, L"runtime"); }

AppImage& AppImage::cfg(const std::string& text) {
    writeFile(cfgPath(), text);
    return *this;
}

AppImage& AppImage::withConsoleLauncher() {
    copyFile(FileUtils::joinPath(binDir(), L"loftwick-launcher-console.exe"), com());
    return *this;
}

tstring AppImage::com() const { return FileUtils::joinPath(rootDir, name + L".com"); }

AppImage& AppImage::withRuntime() {
    return withRuntimeAt(runtimeDir());
}

AppImage& AppImage::withRuntimeAt(const tstring& dir) {
    const tstring from = standInRuntimeDir();
    copyFile(from + L"\\bin\\jli.dll", dir + L"\\bin\\jli.dll");
    copyFile(from + L"\\bin\\splashscreen.dll", dir + L"\\bin\\splashscreen.dll");
    copyFile(from + L"\\bin\\server\\jvm.dll", dir + L"\\bin\\server\\jvm.dll");
    copyFile(from + L"\\lib\\jvm.cfg", dir + L"\\lib\\jvm.cfg");
    return *this;
}

namespace {

ProcessResult run(const tstring& exe, const tstring& args, const EnvChanges& env,
                  const tstring& workDir, unsigned long timeoutMs, const std::string* input,
                  bool standardHandles) {
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE errRead = nullptr, errWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    CreatePipe(&errRead, &errWrite, &sa, 0);
    CreatePipe(&outRead, &outWrite, &sa, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE inRead = nullptr, inWrite = nullptr;
    if (input) {
        CreatePipe(&inRead, &inWrite, &sa, 0);
        SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
        DWORD written = 0;
        WriteFile(inWrite, input->data(), static_cast<DWORD>(input->size()), &written, nullptr);
        CloseHandle(inWrite);
    }

    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    if (standardHandles) {
        si.hStdInput = input ? inRead : GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = outWrite;
        si.hStdError = errWrite;
    }
    PROCESS_INFORMATION pi = {};

    tstring cmd = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
    std::vector<wchar_t> cmdLine(cmd.begin(), cmd.end());
    cmdLine.push_back(L'\0');
    std::vector<wchar_t> block = environmentBlock(env);

    // A job holds the whole process tree, so a hung relaunched child is
    // ended too and the number of processes started can be read.
    const HANDLE job = CreateJobObjectW(nullptr, nullptr);
    ProcessResult result;
    // Wine refuses an application name beyond MAX_PATH; the quoted command
    // line names the program as well.
    const wchar_t* appName = exe.size() < MAX_PATH ? exe.c_str() : nullptr;
    // Under load Wine now and then fails a start with an internal error, and
    // makes the same start a moment later; any other error is the test's.
    BOOL ok = FALSE;
    DWORD createError = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        ok = CreateProcessW(appName, cmdLine.data(), nullptr, nullptr, standardHandles,
                            CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED, block.data(),
                            workDir.empty() ? nullptr : workDir.c_str(), &si, &pi);
        createError = GetLastError();
        if (ok || createError != ERROR_INTERNAL_ERROR) {
            break;
        }
        Sleep(500);
    }
    CloseHandle(errWrite);
    CloseHandle(outWrite);
    if (inRead) {
        CloseHandle(inRead);
    }
    if (!ok) {
        CloseHandle(errRead);
        CloseHandle(outRead);
        CloseHandle(job);
        throw std::runtime_error("CreateProcessW failed for " + tstrings::encodeUtf8(exe) + ": error "
                                 + std::to_string(createError));
    }
    AssignProcessToJobObject(job, pi.hProcess);
    ResumeThread(pi.hThread);

    std::string out, err;
    std::thread outReader([&]() { out = drain(outRead); });
    std::thread errReader([&]() { err = drain(errRead); });

    if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        result.timedOut = true;
    }
    // Whatever the launcher left behind goes with it.
    TerminateJobObject(job, 255);
    WaitForSingleObject(pi.hProcess, 10000);
    outReader.join();
    errReader.join();

    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
    if (QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info,
                                  sizeof(info), nullptr)) {
        result.processCount = info.TotalProcesses;
    }
    GetExitCodeProcess(pi.hProcess, &result.exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(errRead);
    CloseHandle(outRead);
    CloseHandle(job);
    result.stdErr = err;
    result.stdOut = out;
    return result;
}

} // namespace

ProcessResult runProcess(const tstring& exe, const tstring& args, const EnvChanges& env,
                         const tstring& workDir, unsigned long timeoutMs,
                         const std::string* input) {
    // The launcher's own relaunch meets the same failure of Wine's under
    // load (and reports it, exit code 1): the run is made again. No test
    // expects that error; on Windows it does not come and go.
    ProcessResult result;
    for (int attempt = 0; attempt < 3; ++attempt) {
        result = run(exe, args, env, workDir, timeoutMs, input, true);
        if (result.exitCode != 1 || result.stdErr.find("CreateProcessW() failed. System error [1359]")
                                        == std::string::npos) {
            break;
        }
        Sleep(500);
    }
    return result;
}

ProcessResult runDoubleClicked(const tstring& exe, const tstring& args, const EnvChanges& env) {
    return run(exe, args, env, tstring(), 60000, nullptr, false);
}

std::string crlfFree(std::string text) {
    size_t pos = 0;
    while ((pos = text.find("\r\n", pos)) != std::string::npos) {
        text.erase(pos, 1);
    }
    return text;
}

tstring quoteArg(const tstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == tstring::npos) {
        return arg;
    }
    tstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are literal unless a quote follows: then they double.
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::string cp1252(const tstring& text) {
    std::string out;
    for (const wchar_t c : text) {
        if (c >= 0x80 && (c < 0xA0 || c > 0xFF)) {
            throw std::invalid_argument("no literal 1252 byte for this character");
        }
        out += static_cast<char>(c);
    }
    return out;
}

std::map<std::string, std::string> parseRecord(const std::string& text) {
    std::map<std::string, std::string> fields;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) {
            fields[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    return fields;
}

} // namespace testing_support
