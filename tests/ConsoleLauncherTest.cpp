// The console launcher as a terminal user meets it: the application's exit
// code on both roads, standard handles that reach the application, and
// MyApp.com beside MyApp.exe on one configuration.
#include <gtest/gtest.h>

#include "FileUtils.h"
#include "SysInfo.h"
#include "TestSupport.h"
#include "WinSysHeaders.h"

namespace {

using namespace testing_support;

class ConsoleLauncherTest : public ::testing::Test {
protected:
    ConsoleLauncherTest() : image(dir / L"Con App", L"MyApp") {
        image.cfg("[Application]\napp.mainclass=hello.Main\n").withRuntime().withConsoleLauncher();
    }

    ProcessResult run(const tstring& exe, bool inProcess, EnvChanges env,
                      const std::string* input = nullptr, const tstring& args = L"x") {
        tstring path = SysInfo::getEnvVariable(std::nothrow, L"PATH", L"");
        path = inProcess ? image.appDir() + L";" + path : path;
        env[L"PATH"] = path.c_str();
        env[L"STANDIN_RECORD"] = record.c_str();
        env[L"LOFTWICK_DEBUG"] = nullptr;
        DeleteFileW(record.c_str());
        ProcessResult r = runProcess(exe, args, env, image.root(), 30000, input);
        EXPECT_FALSE(r.timedOut);
        return r;
    }

    TempDir dir{L"loftwick-console"};
    AppImage image;
    const tstring record = dir / L"record.txt";
};

TEST_F(ConsoleLauncherTest, TheApplicationsExitCodeOnBothRoads) {
    for (bool inProcess : {true, false}) {
        SCOPED_TRACE(inProcess ? "in process" : "relaunched");
        struct Row { const wchar_t* variable; const wchar_t* value; unsigned long code; };
        for (const Row& row : {Row{L"STANDIN_EXIT_PROCESS", L"0", 0}, Row{L"STANDIN_EXIT_PROCESS", L"3", 3},
                               Row{L"STANDIN_EXIT_PROCESS", L"255", 255},
                               Row{L"STANDIN_EXIT_PROCESS", L"0xC0000005", 3221225477UL},
                               Row{L"STANDIN_EXIT", L"3", 3}}) {
            const ProcessResult r = run(image.com(), inProcess, {{row.variable, row.value}});
            EXPECT_EQ(r.exitCode, row.code) << utf8(row.value);
            EXPECT_EQ(r.stdErr, "") << utf8(row.value);
            EXPECT_EQ(r.processCount, inProcess ? 1u : 2u) << utf8(row.value);
        }
    }
    // Not windowed: the runtime writes its own errors to standard error.
    EXPECT_EQ(parseRecord(readFile(record)).at("javaargs"), "0 cpwildcard=0 javaw=0 ergo=0");
}

TEST_F(ConsoleLauncherTest, ErrorsAreOneLineOnStandardError) {
    DeleteFileW(image.cfgPath().c_str());
    const ProcessResult r = run(image.com(), false, {});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(crlfFree(r.stdErr), "Error opening \"" + utf8(image.cfgPath())
              + "\" file: No such file or directory\n");
    EXPECT_EQ(r.processCount, 1u);
}

TEST_F(ConsoleLauncherTest, StandardHandlesThroughPipesOnBothRoads) {
    const std::string input = "from a pipe\n";
    for (bool inProcess : {true, false}) {
        const ProcessResult r = run(image.com(), inProcess, {{L"STANDIN_ECHO", L"1"}}, &input);
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(crlfFree(r.stdOut), "out: from a pipe\n");
        EXPECT_EQ(crlfFree(r.stdErr), "err: from a pipe\n");
    }
}

// cmd finds MyApp.com before MyApp.exe (PATHEXT); files as standard handles.
TEST_F(ConsoleLauncherTest, CmdRunsTheComWithFilesAsHandles) {
    writeFile(image.root() + L"\\in.txt", "from a file\n");
    const tstring cmd = FileUtils::joinPath(SysInfo::getSystemDirectory(), L"cmd.exe");
    for (bool inProcess : {true, false}) {
        const ProcessResult r = run(cmd, inProcess, {{L"STANDIN_ECHO", L"1"}, {L"STANDIN_EXIT", L"7"}},
                                    nullptr, L"/c MyApp a \"b c\" < in.txt > out.txt 2> err.txt");
        EXPECT_EQ(r.exitCode, 7u);
        EXPECT_EQ(crlfFree(readFile(image.root() + L"\\out.txt")), "out: from a file\n");
        EXPECT_EQ(crlfFree(readFile(image.root() + L"\\err.txt")), "err: from a file\n");
        const auto fields = parseRecord(readFile(record));
        EXPECT_EQ(fields.at("argv[0]"), cp1252(image.com()));
        EXPECT_EQ(fields.at("argv[3]") + "|" + fields.at("argv[4]"), "a|b c");
    }
}

TEST_F(ConsoleLauncherTest, ComAndExeReadTheSameConfiguration) {
    image.cfg("[Application]\napp.mainclass=hello.Main\n[ArgOptions]\narguments=configured\n");
    std::vector<std::string> seen;
    for (const tstring& exe : {image.exe(), image.com()}) {
        const ProcessResult r = run(exe, true, {}, nullptr, L"");
        EXPECT_EQ(r.exitCode, 0u) << r.stdErr;
        const auto fields = parseRecord(readFile(record));
        ASSERT_EQ(fields.count("argv[3]"), 1u);
        seen.push_back(fields.at("argv[2]") + " " + fields.at("argv[3]"));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"hello.Main configured", "hello.Main configured"}));
}

} // namespace
