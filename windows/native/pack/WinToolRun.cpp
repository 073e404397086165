// On Windows build machines: CreateProcessW with the command line quoted
// as CommandLineToArgvW reads it, and the output captured in a file.
#include "ToolRun.h"


#include "Packager.h"
#include "ScratchDirectory.h"
#include "SearchPath.h"
#include "UniqueHandle.h"

namespace fs = std::filesystem;

namespace {

std::wstring wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

// Backslashes are literal except before a quote, where they double.
std::wstring quoted(const std::wstring& arg) {
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(2 * slashes, L'\\');
    return out + L"\"";
}

} // namespace

fs::path findProgram(const std::string& name) {
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring dirs(size, L'\0');
    dirs.resize(GetEnvironmentVariableW(L"PATH", &dirs[0], size));
    return searchPath(dirs, L';', fs::path(wide(name) + L".exe"));
}

namespace {

// `input`, when given, is written into a pipe that becomes the program's
// standard input; it is small enough that the pipe holds it all.
bool run(const fs::path& program, const std::vector<std::string>& args,
         const fs::path& workingDirectory, const std::string* input, std::string& output,
         const fs::path& stdoutFile = fs::path()) {
    const ScratchDirectory scratch(fs::temp_directory_path() / "loftwick-run");
    const fs::path log = scratch.path / "output.txt";
    bool ok = false;
    {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        const UniqueHandle file(CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        const UniqueHandle made(stdoutFile.empty() ? nullptr
                                : CreateFileW(stdoutFile.c_str(), GENERIC_WRITE, 0, &inherit,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        if (input && !CreatePipe(&readEnd, &writeEnd, &inherit, 64 * 1024)) {
            output = "cannot make a pipe (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        const UniqueHandle reader(readEnd);
        UniqueHandle writer(writeEnd);
        if (writer.get()) {
            SetHandleInformation(writer.get(), HANDLE_FLAG_INHERIT, 0);
            DWORD written = 0;
            WriteFile(writer.get(), input->data(), static_cast<DWORD>(input->size()), &written, nullptr);
            writer.reset();
        }
        std::wstring commandLine = quoted(program.wstring());
        for (const std::string& arg : args) {
            commandLine += L" " + quoted(wide(arg));
        }
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = reader.get();
        startup.hStdOutput = startup.hStdError = file.get();
        if (!stdoutFile.empty()) {
            startup.hStdOutput = made.get();
        }
        PROCESS_INFORMATION process = {};
        if (file.get() != INVALID_HANDLE_VALUE
            && CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                              CREATE_NO_WINDOW, nullptr, workingDirectory.c_str(), &startup, &process)) {
            const UniqueHandle thread(process.hThread), child(process.hProcess);
            DWORD code = 1;
            WaitForSingleObject(child.get(), INFINITE);
            ok = GetExitCodeProcess(child.get(), &code) && code == 0;
        } else {
            output = "cannot start " + program.u8string() + " (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
    }
    output = fileTail(log, toolOutputLimit);
    return ok;
}

} // namespace

bool runProgram(const fs::path& program, const std::vector<std::string>& args,
                const fs::path& workingDirectory, std::string& output) {
    return run(program, args, workingDirectory, nullptr, output);
}

bool runProgramWithInput(const fs::path& program, const std::vector<std::string>& args,
                         const fs::path& workingDirectory, const std::string& input,
                         std::string& output) {
    return run(program, args, workingDirectory, &input, output);
}

bool runProgramToFile(const fs::path& program, const std::vector<std::string>& args,
                      const fs::path& workingDirectory, const fs::path& stdoutFile, std::string& output) {
    return run(program, args, workingDirectory, nullptr, output, stdoutFile);
}

const char* standardInputFile() {
    return "-";
}
