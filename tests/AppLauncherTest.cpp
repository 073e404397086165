#include <gtest/gtest.h>

#include <memory>

#include "AppLauncher.h"
#include "CfgFile.h"
#include "ErrorHandling.h"
#include "JvmLauncher.h"
#include "SysInfo.h"
#include "TestSupport.h"

namespace {

using namespace testing_support;

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const TarnErrorBase& e) {
        return e.rawMessage();
    }
    return "no error";
}

TEST(AppLauncherTest, LibraryPathMatchesWholeEntriesIgnoringAsciiCase) {
    AppLauncher launcher;
    launcher.setAppDir(L"C:\\Apps\\Foo\\app").setLibraryPathVariable(L"LOFTWICK_T_PATH");
    struct Row { const wchar_t* value; bool expected; };
    const Row rows[] = {
        {L"C:\\x;c:\\apps\\foo\\APP", true}, {L"C:\\Apps\\Foo\\app", true},
        {L"C:\\Apps\\Foo\\app\\", false}, {L" C:\\Apps\\Foo\\app", false},
        {L"C:/Apps/Foo/app", false}, {L"C:\\Apps\\Foo\\app2;C:\\Apps", false}, {L"", false},
    };
    for (const Row& row : rows) {
        const ScopedEnv env(L"LOFTWICK_T_PATH", row.value);
        EXPECT_EQ(launcher.libraryPathHasAppDir(), row.expected) << testing_support::utf8(row.value);
    }
    const ScopedEnv unset(L"LOFTWICK_T_PATH", nullptr);
    EXPECT_FALSE(launcher.libraryPathHasAppDir());
    // Non-ASCII letters must match in case.
    launcher.setAppDir(L"C:\\\u00C4pp");
    const ScopedEnv other(L"LOFTWICK_T_PATH", L"c:\\\u00E4pp");
    EXPECT_FALSE(launcher.libraryPathHasAppDir());
}

TEST(AppLauncherTest, FindJvmLib) {
    TempDir dir;
    writeFile(dir / L"cfg", "[Application]\napp.runtime=" + testing_support::utf8(dir / L"first")
              + "\napp.runtime=" + testing_support::utf8(dir / L"jre") + "\n");
    const CfgFile withRuntime = CfgFile::load(dir / L"cfg");
    makeDirs(dir / L"jre\\bin\\jli.dll");  // a directory counts as found
    EXPECT_EQ(findJvmLib(withRuntime, dir / L"fallback", {L"bin\\jli.dll"}),
              dir / L"jre\\bin\\jli.dll");
    EXPECT_EQ(findJvmLib(withRuntime, dir / L"fallback", {L"none.dll", L"bin\\jli.dll"}),
              dir / L"jre\\bin\\jli.dll");
    EXPECT_EQ(errorOf([&] { findJvmLib(withRuntime, dir / L"fallback", {}); }),
              "Failed to find JVM in \"" + testing_support::utf8(dir / L"jre") + "\" directory.");

    writeFile(dir / L"empty", "");
    const CfgFile none = CfgFile::load(dir / L"empty");
    EXPECT_EQ(errorOf([&] { findJvmLib(none, dir / L"fallback", {L"bin\\jli.dll"}); }),
              "Failed to find JVM in \"" + testing_support::utf8(dir / L"fallback") + "\" directory.");
    EXPECT_EQ(findJvmLib(none, dir / L"jre", {L"bin\\jli.dll"}), dir / L"jre\\bin\\jli.dll");
}

// "\rt" names a folder of the current drive, not of the image: rooted, but
// not absolute, it is taken beside the executable as every relative one.
TEST(AppLauncherTest, RootedRuntimeIsBesideTheExecutable) {
    TempDir dir;
    writeFile(dir / L"app\\loftwick-unit-tests.cfg", "[Application]\napp.runtime=\\rt\napp.mainclass=M\n");
    makeDirs(dir / L"rt\\bin\\jli.dll");
    AppLauncher launcher;
    launcher.setRootDir(dir.path()).setAppDir(dir / L"app").setLibraryPathVariable(L"LOFTWICK_T_PATH")
            .setFallbackRuntimeDir(dir / L"runtime").addJvmLibCandidate(L"bin\\jli.dll");
    const ScopedEnv env(L"LOFTWICK_T_PATH", nullptr);
    const std::unique_ptr<Jvm> jvm(launcher.createJvmLauncher());
    EXPECT_EQ(jvm->getPath(), dir / L"rt\\bin\\jli.dll");
}

TEST(AppLauncherTest, CreateJvmLauncherReplacesArgumentsAndExtendsPath) {
    TempDir dir;
    const tstring appDir = dir / L"app";
    writeFile(appDir + L"\\loftwick-unit-tests.cfg",
              "[ArgOptions]\narguments=$APPDIR\narguments=configured\n");
    makeDirs(dir / L"runtime\\bin\\jli.dll");
    AppLauncher launcher;
    launcher.setRootDir(dir.path()).setAppDir(appDir).setLibraryPathVariable(L"LOFTWICK_T_PATH")
            .setFallbackRuntimeDir(dir / L"runtime").addJvmLibCandidate(L"bin\\jli.dll");
    EXPECT_EQ(launcher.cfgFilePath(), appDir + L"\\loftwick-unit-tests.cfg");

    const ScopedEnv env(L"LOFTWICK_T_PATH", L"C:\\x;");
    launcher.setCommandLineArgs({});
    std::unique_ptr<Jvm> jvm(launcher.createJvmLauncher());
    EXPECT_EQ(jvm->getPath(), dir / L"runtime\\bin\\jli.dll");
    ASSERT_GE(jvm->getArgs().size(), 3u);
    EXPECT_EQ(jvm->getArgs().front(), SysInfo::getProcessModulePath());
    EXPECT_EQ(tstring_array(jvm->getArgs().end() - 2, jvm->getArgs().end()),
              (tstring_array{appDir, L"configured"}));
    EXPECT_EQ(SysInfo::getEnvVariable(L"LOFTWICK_T_PATH"), L"C:\\x;;" + appDir);

    launcher.setCommandLineArgs({L"$APPDIR", L"b"});
    jvm.reset(launcher.createJvmLauncher());
    EXPECT_EQ(tstring_array(jvm->getArgs().end() - 2, jvm->getArgs().end()),
              (tstring_array{L"$APPDIR", L"b"}));
    EXPECT_EQ(SysInfo::getEnvVariable(L"LOFTWICK_T_PATH"), L"C:\\x;;" + appDir);

    const ScopedEnv unset(L"LOFTWICK_T_PATH", nullptr);
    jvm.reset(launcher.createJvmLauncher());
    EXPECT_EQ(SysInfo::getEnvVariable(L"LOFTWICK_T_PATH"), L";" + appDir);
}

} // namespace
