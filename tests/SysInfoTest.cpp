#include <gtest/gtest.h>

#include "ErrorHandling.h"
#include "FileUtils.h"
#include "SysInfo.h"
#include "WinSysHeaders.h"
#include "TestSupport.h"

namespace {

using testing_support::ScopedEnv;

TEST(SysInfoTest, EnvironmentVariables) {
    const ScopedEnv longVar(L"LOFTWICK_T_LONG", L"0123456789abcdef");
    EXPECT_EQ(SysInfo::getEnvVariable(L"LOFTWICK_T_LONG"), L"0123456789abcdef");
    EXPECT_EQ(SysInfo::getEnvVariable(std::nothrow, L"LOFTWICK_T_LONG", L"d"),
              L"0123456789abcdef");

    // The first read has room for 9 characters and the NUL.
    const ScopedEnv nine(L"LOFTWICK_T_NINE", L"123456789");
    EXPECT_EQ(SysInfo::getEnvVariable(L"LOFTWICK_T_NINE"), L"123456789");
    const ScopedEnv ten(L"LOFTWICK_T_TEN", L"1234567890");
    EXPECT_EQ(SysInfo::getEnvVariable(L"LOFTWICK_T_TEN"), L"1234567890");

    const ScopedEnv empty(L"LOFTWICK_T_EMPTY", L"");
    EXPECT_EQ(SysInfo::getEnvVariable(L"LOFTWICK_T_EMPTY"), L"");
    EXPECT_EQ(SysInfo::getEnvVariable(std::nothrow, L"LOFTWICK_T_EMPTY", L"d"), L"");

    const ScopedEnv missing(L"LOFTWICK_T_MISSING", nullptr);
    EXPECT_EQ(SysInfo::getEnvVariable(std::nothrow, L"LOFTWICK_T_MISSING", L"d"), L"d");
    try {
        SysInfo::getEnvVariable(L"LOFTWICK_T_MISSING");
        FAIL() << "no exception";
    } catch (const TarnErrorBase& e) {
        EXPECT_EQ(std::string(e.rawMessage()).rfind(
            "GetEnvironmentVariable(LOFTWICK_T_MISSING) failed. Variable not set. "
            "System error [203](system error 203 (", 0), 0u) << e.rawMessage();
    }

    SysInfo::setEnvVariable(L"LOFTWICK_T_SET", L"v\u00E4");
    EXPECT_EQ(SysInfo::getEnvVariable(L"LOFTWICK_T_SET"), L"v\u00E4");
    const ScopedEnv cleanup(L"LOFTWICK_T_SET", nullptr);
}

TEST(SysInfoTest, ModulePathsAndSystemDirectory) {
    const tstring exe = SysInfo::getProcessModulePath();
    EXPECT_EQ(FileUtils::basename(exe), L"loftwick-unit-tests.exe");
    EXPECT_EQ(SysInfo::getCurrentModulePath(), exe);
    EXPECT_EQ(SysInfo::getCurrentModuleHandle(), GetModuleHandleW(nullptr));

    const tstring sys = SysInfo::getSystemDirectory();
    ASSERT_FALSE(sys.empty());
    EXPECT_NE(sys.back(), L'\\');
    EXPECT_TRUE(FileUtils::isFileExists(FileUtils::joinPath(sys, L"kernel32.dll")));
}

TEST(SysInfoTest, CommandArgsAreSplitLikeTheSystemDoes) {
    const testing_support::ProcessResult r = testing_support::runProcess(
            SysInfo::getProcessModulePath(),
            L"--gtest_filter=SysInfoTest.PrintArgs a \"b c\" \"\" \\\"q",
            {{L"LOFTWICK_T_PRINT_ARGS", L"1"}});
    EXPECT_NE(r.stdOut.find("args:[a][b c][][\"q]"), std::string::npos) << r.stdOut;
}

// Helper run as a child by the test above.
TEST(SysInfoTest, PrintArgs) {
    if (SysInfo::getEnvVariable(std::nothrow, L"LOFTWICK_T_PRINT_ARGS", L"").empty()) {
        GTEST_SKIP() << "runs as a child of CommandArgsAreSplitLikeTheSystemDoes";
    }
    const tstring_array with = SysInfo::getCommandArgs(SysInfo::WithProgramName);
    const tstring_array without = SysInfo::getCommandArgs(SysInfo::WithoutProgramName);
    ASSERT_EQ(with.size(), without.size() + 1);
    EXPECT_EQ(with[0], SysInfo::getProcessModulePath());
    std::string text = "args:";
    for (size_t i = 1; i < without.size(); ++i) {
        text += "[" + tstrings::encodeUtf8(without[i]) + "]";
    }
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

} // namespace
