// Shared fixtures: temp directories, files, application images, processes.
#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include <map>
#include <string>

#include "JarFixtures.h"
#include "TestFiles.h"
#include "WinSysHeaders.h"
#include "tstrings.h"

namespace testing_support {

void copyFile(const tstring& from, const tstring& to);

// Directory holding the test executables, the launcher and the stand-ins.
tstring binDir();
tstring launcherExe();  // LOFTWICK_T_LAUNCHER when set
tstring standInRuntimeDir();
// The real runtime unpacked around the stand-in jvm.dll; empty when the
// build had none to unpack.
tstring realRuntimeDir();


// Restores an environment variable (or its absence) when it goes.
class ScopedEnv {
public:
    ScopedEnv(const tstring& name, const tstring* value);
    ScopedEnv(const tstring& name, const tstring& value) : ScopedEnv(name, &value) {}
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    tstring name;
    bool hadValue;
    tstring oldValue;
};

// An application image: NAME.exe (the launcher), app\NAME.cfg, runtime\.
class AppImage {
public:
    AppImage(const tstring& root, const tstring& name);

    const tstring& root() const { return rootDir; }
    tstring exe() const;
    tstring appDir() const;
    tstring cfgPath() const;
    tstring runtimeDir() const;

    AppImage& cfg(const std::string& text);
    AppImage& withRuntime();
    AppImage& withRuntimeAt(const tstring& dir);
    // The console launcher beside the GUI one, as NAME.com.
    AppImage& withConsoleLauncher();
    tstring com() const;

private:
    tstring rootDir;
    tstring name;
};

struct ProcessResult {
    unsigned long exitCode = 0;
    bool timedOut = false;
    unsigned long processCount = 0;
    std::string stdErr;
    std::string stdOut;
};

// Runs a program with this process's environment changed by `env` (a null
// value removes the variable); standard output and error are captured, and
// `input`, when given, is its standard input through a pipe.
typedef std::map<tstring, const wchar_t*> EnvChanges;
ProcessResult runProcess(const tstring& exe, const tstring& args,
                         const EnvChanges& env = EnvChanges(),
                         const tstring& workDir = tstring(),
                         unsigned long timeoutMs = 60000,
                         const std::string* input = nullptr);

// The same as Explorer starts a double-clicked program: no handles inherited
// and no standard handles at all, so nothing it prints is captured.
ProcessResult runDoubleClicked(const tstring& exe, const tstring& args,
                               const EnvChanges& env = EnvChanges());

// Standard error of a GUI process in text mode ends lines with CR LF.
std::string crlfFree(std::string text);

// One argument quoted so that CommandLineToArgvW gives it back unchanged.
tstring quoteArg(const tstring& arg);

// Expected bytes computed without the code under test: UTF-8 by its
// definition; code page 1252, which holds ASCII and U+00A0..U+00FF as the
// same byte values (anything else throws).
std::string cp1252(const tstring& text);

// The file the stand-in runtime appends its record to.
std::map<std::string, std::string> parseRecord(const std::string& text);

} // namespace testing_support

#endif // TESTSUPPORT_H
