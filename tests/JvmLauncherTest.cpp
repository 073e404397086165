#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "CfgFile.h"
#include "ErrorHandling.h"
#include "JvmLauncher.h"
#include "SysInfo.h"
#include "TestSupport.h"

namespace {

using testing_support::TempDir;
using testing_support::writeFile;

class JvmLauncherTest : public ::testing::Test {
protected:
    tstring_array argsFor(const std::string& cfgText) {
        writeFile(dir / L"t.cfg", cfgText);
        Jvm jvm;
        jvm.addArgument(L"launcher.exe");
        jvm.initFromConfigFile(CfgFile::load(dir / L"t.cfg"));
        return jvm.getArgs();
    }

    const tstring appPath = L"-Dloftwick.app-path=" + SysInfo::getProcessModulePath();
    TempDir dir;
};

TEST_F(JvmLauncherTest, ArgumentOrderWithEveryProperty) {
    writeFile(dir / L"splash.png", "png");
    const std::string splash = testing_support::utf8(dir / L"splash.png");
    const tstring_array args = argsFor(
        "[ArgOptions]\narguments=a1\narguments=a2\n"
        "[JavaOptions]\njava-options=-Xmx1g\njava-options=-Dx=y\n"
        "[Application]\n"
        "app.mainjar=first.jar\napp.mainjar=main.jar\napp.mainclass=Old\napp.mainclass=pkg.Main\n"
        "app.mainmodule=old/Old\napp.mainmodule=mod/pkg.Main\napp.classpath=a.jar\napp.classpath=b.jar\n"
        "app.modulepath=m1\napp.modulepath=m2\napp.splash=missing.png\napp.splash=" + splash + "\n"
        "app.runtime=ignored\napp.version=1\napp.memory=2\n"
        "[AppCDSJavaOptions]\njava-options=-Xshare:off\n");
    const tstring_array expected = {
        L"launcher.exe", L"--module-path", L"m1;m2", L"-classpath", L"a.jar;b.jar",
        L"-splash:" + (dir / L"splash.png"), L"-Xmx1g", L"-Dx=y", appPath,
        L"-m", L"mod/pkg.Main", L"pkg.Main", L"-jar", L"main.jar", L"a1", L"a2",
    };
    EXPECT_EQ(args, expected);
}

TEST_F(JvmLauncherTest, MinimalAndSingleValueForms) {
    EXPECT_EQ(argsFor("; nothing\n"), (tstring_array{L"launcher.exe", appPath}));
    EXPECT_EQ(argsFor("[Application]\napp.modulepath=only\napp.classpath=\n"),
              (tstring_array{L"launcher.exe", L"--module-path", L"only", L"-classpath", L"",
                             appPath}));
    EXPECT_EQ(argsFor("[Application]\napp.classpath=a\napp.classpath=\napp.classpath=b\n"),
              (tstring_array{L"launcher.exe", L"-classpath", L"a;;b", appPath}));
}

TEST_F(JvmLauncherTest, SplashEntryOnlyForAnExistingPath) {
    EXPECT_EQ(argsFor("[Application]\napp.splash=" + testing_support::utf8(dir.path()) + "\n"),
              (tstring_array{L"launcher.exe", L"-splash:" + dir.path(), appPath}));
    EXPECT_EQ(argsFor("[Application]\napp.splash=" + testing_support::utf8(dir / L"no.png") + "\n"),
              (tstring_array{L"launcher.exe", appPath}));
}

TEST_F(JvmLauncherTest, HasSplashArgument) {
    struct Row { tstring arg; bool expected; };
    const Row rows[] = {
        {L"-splash:", true}, {L"-splash:x.png", true}, {L"-SPLASH:x.png", false},
        {L"-splash", false}, {L" -splash:x", false},
    };
    for (const Row& row : rows) {
        Jvm jvm;
        jvm.addArgument(L"exe").addArgument(row.arg);
        EXPECT_EQ(jvm.hasSplashArgument(), row.expected) << testing_support::utf8(row.arg);
    }
    EXPECT_FALSE(Jvm().hasSplashArgument());

    // Regression: an application argument asked for a splash screen.
    writeFile(dir / L"t.cfg", "[Application]\napp.mainclass=M\n[ArgOptions]\narguments=-splash:a.png\n");
    Jvm configured;
    configured.initFromConfigFile(CfgFile::load(dir / L"t.cfg"));
    EXPECT_FALSE(configured.hasSplashArgument());
    configured.addArgument(L"-splash:b.png");
    EXPECT_FALSE(configured.hasSplashArgument());
}

struct FreeBlock {
    void operator()(JvmlLauncherData* p) const { std::free(p); }
};

TEST_F(JvmLauncherTest, BlockLayout) {
    Jvm jvm;
    jvm.setPath(L"C:\\jli.dll");  // 10 bytes
    jvm.addArgument(L"abc").addArgument(L"");
    JvmlLauncherAPI* api = jvmLauncherGetAPI();
    void* handle = jvm.makeLaunchData();
    EXPECT_EQ(api->getJvmlLauncherDataSize(handle), 64);
    const std::unique_ptr<JvmlLauncherData, FreeBlock> block(jvmLauncherMakeData(api, handle));
    ASSERT_TRUE(block);

    const char* base = reinterpret_cast<const char*>(block.get());
    EXPECT_EQ(block->jliLibPath, base + 24);
    EXPECT_STREQ(block->jliLibPath, "C:\\jli.dll");
    EXPECT_EQ(block->jliLaunchArgc, 2);
    EXPECT_EQ(reinterpret_cast<const char*>(block->jliLaunchArgv), base + 35);
    const char* slots[3];
    std::memcpy(slots, block->jliLaunchArgv, sizeof(slots));
    EXPECT_EQ(slots[0], base + 59);
    EXPECT_STREQ(slots[0], "abc");
    EXPECT_EQ(slots[1], base + 63);
    EXPECT_STREQ(slots[1], "");
    EXPECT_EQ(slots[2], nullptr);

    // The library path is UTF-8, the arguments are in the ANSI code page (1252).
    Jvm accented;
    accented.setPath(L"\u00E9");
    accented.addArgument(L"\u00E9");
    const std::unique_ptr<JvmlLauncherData, FreeBlock> encoded(
            jvmLauncherMakeData(api, accented.makeLaunchData()));
    ASSERT_TRUE(encoded);
    EXPECT_STREQ(encoded->jliLibPath, "\xC3\xA9");
    const char* arg0 = nullptr;
    std::memcpy(&arg0, encoded->jliLaunchArgv, sizeof(arg0));
    EXPECT_STREQ(arg0, "\xE9");

    Jvm empty;
    empty.setPath(L"p");
    void* emptyHandle = empty.makeLaunchData();
    EXPECT_EQ(api->getJvmlLauncherDataSize(emptyHandle), 24 + 2 + 8);
    api->closeHandle(emptyHandle);
}

// Regression: a buffer of another size than needed was written into.
TEST_F(JvmLauncherTest, InitRefusesAnyBufferOfTheWrongSize) {
    Jvm jvm;
    jvm.setPath(L"lib");
    jvm.addArgument(L"arg");
    JvmlLauncherAPI* api = jvmLauncherGetAPI();
    void* handle = jvm.makeLaunchData();
    const int size = api->getJvmlLauncherDataSize(handle);
    std::vector<char> buffer(static_cast<size_t>(size) + 16, '\x5A');
    EXPECT_EQ(api->initJvmlLauncherData(handle, buffer.data(), size - 1), nullptr);
    EXPECT_EQ(api->initJvmlLauncherData(handle, buffer.data(), size + 16), nullptr);
    EXPECT_EQ(api->initJvmlLauncherData(handle, nullptr, size), nullptr);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string(buffer.size(), '\x5A'));
    EXPECT_NE(api->initJvmlLauncherData(handle, buffer.data(), size), nullptr);
    api->closeHandle(handle);
    // Regression: a null handle from an outside caller was dereferenced.
    api->closeHandle(nullptr);
    EXPECT_EQ(api->getJvmlLauncherDataSize(nullptr), -1);
    EXPECT_EQ(api->initJvmlLauncherData(nullptr, buffer.data(), size), nullptr);
    EXPECT_EQ(jvmLauncherMakeData(api, nullptr), nullptr);
}

// The table is the seam to a failing entry: no block, the handle consumed once.
int fakeSize = 0;
int closedHandles = 0;
TEST_F(JvmLauncherTest, MakeDataWhenAnEntryFails) {
    JvmlLauncherAPI failing = {
        [](JvmlLauncherHandle) { ++closedHandles; },
        [](JvmlLauncherHandle) { return fakeSize; },
        [](JvmlLauncherHandle, void*, int) -> JvmlLauncherData* { return nullptr; },
    };
    int handle = 0;
    for (int size : {-1, 0, 64}) {
        fakeSize = size;
        closedHandles = 0;
        EXPECT_EQ(jvmLauncherMakeData(&failing, &handle), nullptr) << size;
        EXPECT_EQ(closedHandles, 1) << size;
    }
}

// Regression: the signed 32-bit size wrapped for huge argument lists.
TEST_F(JvmLauncherTest, OversizedBlockFailsCleanly) {
    EXPECT_EQ(jvmlLauncherDataSize(10, {3, 0}), 64);
    const std::vector<size_t> fits(1, 2147483647 - 24 - 1 - 16 - 1);
    EXPECT_EQ(jvmlLauncherDataSize(0, fits), 2147483647);
    const std::vector<size_t> oneMore(1, 2147483647 - 24 - 1 - 16);
    EXPECT_THROW(jvmlLauncherDataSize(0, oneMore), std::runtime_error);
    const std::vector<size_t> wraps(3, 2000000000);
    EXPECT_THROW(jvmlLauncherDataSize(0, wraps), std::runtime_error);
}

TEST_F(JvmLauncherTest, LaunchErrors) {
    Jvm missing;
    missing.setPath(dir / L"no\\jli.dll");
    missing.addArgument(L"x");
    try {
        missing.launch();
        FAIL() << "no exception";
    } catch (const TarnErrorBase& e) {
        EXPECT_EQ(std::string(e.rawMessage()).rfind(
            "LoadLibraryW(" + testing_support::utf8(dir / L"no\\jli.dll") + ") failed. System error [", 0), 0u)
            << e.rawMessage();
    }
}

} // namespace
