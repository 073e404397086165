// End to end through a real runtime's jli.dll (the stand-in jvm.dll records
// what reaches the virtual machine), on both roads. Expected values are
// written out from the image each test lays out.
#include <gtest/gtest.h>

#include "SysInfo.h"
#include "TestSupport.h"

namespace {

using namespace testing_support;

class RealRuntimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        runtime = realRuntimeDir();
        if (runtime.empty()) {
            GTEST_SKIP() << "no real runtime in the build tree (../shared/runtime is absent): "
                            "the tests through a real jli.dll are skipped";
        }
        image.reset(new AppImage(dir / L"Real App", L"MyApp"));
        image->withConsoleLauncher();
    }

    // The [Application] lines, then app.runtime, then the other sections.
    void cfg(const std::string& application, const std::string& rest = std::string()) {
        image->cfg("[Application]\n" + application + "app.runtime=" + utf8(runtime) + "\n" + rest);
    }

    std::map<std::string, std::string> run(const tstring& exe, bool inProcess,
                                           const tstring& args = L"",
                                           const wchar_t* behaviour = nullptr) {
        tstring path = SysInfo::getEnvVariable(std::nothrow, L"PATH", L"");
        path = inProcess ? image->appDir() + L";" + path : path;
        const tstring record = dir / L"record.txt";
        DeleteFileW(record.c_str());
        result = runProcess(exe, args, {{L"PATH", path.c_str()}, {L"STANDIN_RECORD", record.c_str()},
                                        {L"STANDIN_JVM", behaviour}, {L"LOFTWICK_DEBUG", nullptr}});
        EXPECT_FALSE(result.timedOut);
        return parseRecord(readFile(record));
    }

    static std::vector<std::string> options(const std::map<std::string, std::string>& r) {
        std::vector<std::string> list;
        for (int i = 0; r.count("jvm.option[" + std::to_string(i) + "]"); ++i) {
            list.push_back(r.at("jvm.option[" + std::to_string(i) + "]"));
        }
        return list;
    }

    std::string ansi(const tstring& path) const { return cp1252(path); }

    TempDir dir{L"loftwick-real"};
    tstring runtime;
    std::unique_ptr<AppImage> image;
    ProcessResult result;
};

TEST_F(RealRuntimeTest, ClassPathOptionsAndArgumentsArriveExactly) {
    cfg("app.classpath=$APPDIR\\a.jar\napp.classpath=$APPDIR\\lib\\b.jar\napp.mainclass=hello.Main\n",
        "[JavaOptions]\njava-options=-Xmx64m\njava-options=-Dspaced=a b\n"
        "[ArgOptions]\narguments=one\narguments=t\xC3\xA9 two\n");
    const std::string app = ansi(image->appDir());
    for (bool inProcess : {true, false}) {
        SCOPED_TRACE(inProcess ? "in process" : "relaunched");
        const auto r = run(image->exe(), inProcess);
        EXPECT_EQ(result.exitCode, 0u) << result.stdErr;
        EXPECT_EQ(options(r), (std::vector<std::string>{
                "-Djava.class.path=" + app + "\\a.jar;" + app + "\\lib\\b.jar", "-Xmx64m",
                "-Dspaced=a b", "-Dloftwick.app-path=" + ansi(image->exe()),
                "-Dsun.java.command=hello.Main one t\xE9 two", "-Dsun.java.launcher=SUN_STANDARD"}));
        EXPECT_EQ(r.at("jvm.mainmode"), "1");
        EXPECT_EQ(r.at("jvm.mainname"), "hello.Main");
        EXPECT_EQ(r.at("jvm.main.argc"), "2");
        EXPECT_EQ(r.at("jvm.main.arg[0]"), "one");
        EXPECT_EQ(r.at("jvm.main.arg[1]"), "t\xE9 two");  // é in code page 1252
    }
}

TEST_F(RealRuntimeTest, MainJarAndMainModule) {
    writeFile(image->appDir() + L"\\hello.jar", storedZip({{"META-INF/MANIFEST.MF",
              "Manifest-Version: 1.0\r\nMain-Class: hello.Main\r\n\r\n"}}));
    cfg("app.mainjar=$APPDIR\\hello.jar\n");
    const std::string jar = ansi(image->appDir()) + "\\hello.jar";
    for (bool inProcess : {true, false}) {
        const auto r = run(image->exe(), inProcess, L"x");
        EXPECT_EQ(result.exitCode, 0u) << result.stdErr;
        EXPECT_EQ(r.at("jvm.option[1]"), "-Djava.class.path=" + jar);
        EXPECT_EQ(r.at("jvm.mainmode"), "2");
        EXPECT_EQ(r.at("jvm.mainname"), jar);
        EXPECT_EQ(r.at("jvm.main.arg[0]"), "x");
    }

    cfg("app.mainmodule=hello/hello.Main\napp.modulepath=$APPDIR\\mods\napp.modulepath=$APPDIR\\more\n");
    const std::string app = ansi(image->appDir());
    for (bool inProcess : {true, false}) {
        const auto r = run(image->exe(), inProcess);
        EXPECT_EQ(result.exitCode, 0u) << result.stdErr;
        EXPECT_EQ(options(r), (std::vector<std::string>{
                "--module-path=" + app + "\\mods;" + app + "\\more",
                "-Dloftwick.app-path=" + ansi(image->exe()), "-Djdk.module.main=hello",
                "-Dsun.java.command=hello/hello.Main", "-Dsun.java.launcher=SUN_STANDARD"}));
        EXPECT_EQ(r.at("jvm.mainmode"), "3");
        EXPECT_EQ(r.at("jvm.mainname"), "hello/hello.Main");
    }
}

TEST_F(RealRuntimeTest, SplashLoadsTheRuntimesOwnLibraries) {
    // A 1x1 PNG.
    const unsigned char png[] = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
        0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x90,
        0x77, 0x53, 0xde, 0x00, 0x00, 0x00, 0x0c, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8,
        0xcf, 0xc0, 0x00, 0x00, 0x03, 0x01, 0x01, 0x00, 0xc9, 0xfe, 0x92, 0xef, 0x00, 0x00, 0x00,
        0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    writeFile(image->appDir() + L"\\splash.png", std::string(png, png + sizeof(png)));
    cfg("app.mainclass=hello.Main\napp.splash=$APPDIR\\splash.png\n");
    for (bool inProcess : {true, false}) {
        const auto r = run(image->exe(), inProcess);
        EXPECT_EQ(result.exitCode, 0u) << result.stdErr;
        EXPECT_EQ(r.at("jvm.java.dll"), utf8(runtime + L"\\bin\\java.dll"));
        EXPECT_EQ(r.at("jvm.splashscreen.dll"), utf8(runtime + L"\\bin\\splashscreen.dll"));
        // The runtime's launcher consumes the splash option itself.
        for (const std::string& option : options(r)) {
            EXPECT_EQ(option.find("splash"), std::string::npos) << option;
        }
    }
}

TEST_F(RealRuntimeTest, ConsoleLauncherReturnsTheApplicationsCode) {
    cfg("app.mainclass=hello.Main\n");
    struct Row { const wchar_t* behaviour; unsigned long code; const char* stdErr; };
    for (bool inProcess : {true, false}) {
        SCOPED_TRACE(inProcess ? "in process" : "relaunched");
        for (const Row& row : {Row{nullptr, 0, ""}, Row{L"exit:3", 3, ""},
                               Row{L"throw", 1,
                                   "Exception in thread \"main\" java.lang.IllegalStateException: "
                                   "boom from main\n\tat Thrower.main(Thrower.java:1)\n"}}) {
            run(image->com(), inProcess, L"", row.behaviour);
            EXPECT_EQ(result.exitCode, row.code);
            EXPECT_EQ(crlfFree(result.stdErr), row.stdErr);
        }
    }
    // Not windowed: the runtime's own errors go to standard error.
    writeFile(image->appDir() + L"\\bad.jar", "not a zip");
    cfg("app.mainjar=$APPDIR\\bad.jar\n");
    run(image->com(), false);
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_EQ(crlfFree(result.stdErr),
              "Error: Invalid or corrupt jarfile " + ansi(image->appDir()) + "\\bad.jar\n");
}

} // namespace
