// Running another program (the MSI builder) from the packaging tool: one
// implementation per kind of build machine.
#ifndef TOOLRUN_H
#define TOOLRUN_H

#include <filesystem>
#include <string>
#include <vector>

// The program `name` found on PATH (".exe" is added on Windows), or an
// empty path.
std::filesystem::path findProgram(const std::string& name);

// What a failed tool says is at the end of its output: no more is kept.
const size_t toolOutputLimit = 64 * 1024;

// Runs `program` with `args` (UTF-8) in the directory `workingDirectory`
// and waits. Returns whether it exited with 0; `output` receives everything
// it wrote to standard output and standard error (its last
// toolOutputLimit bytes).
bool runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                const std::filesystem::path& workingDirectory, std::string& output);

// The same, with `input` as the program's standard input: how a password
// reaches a tool without appearing in any process's arguments. At most a
// few KiB, which a pipe holds without waiting for the reader.
bool runProgramWithInput(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::filesystem::path& workingDirectory, const std::string& input,
                         std::string& output);

// runProgram, with standard output going to the file `stdoutFile` (for a
// tool that writes what it makes there); `output` gets standard error alone.
bool runProgramToFile(const std::filesystem::path& program, const std::vector<std::string>& args,
                      const std::filesystem::path& workingDirectory, const std::filesystem::path& stdoutFile,
                      std::string& output);

// A name a tool can open to read its standard input, where a platform has
// one ("/dev/stdin"); "-" elsewhere.
const char* standardInputFile();

#endif // TOOLRUN_H
