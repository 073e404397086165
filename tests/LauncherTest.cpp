// End to end: real application images in temp directories, the real
// launcher, and the stand-in runtime recording what it was handed.
#include <gtest/gtest.h>

#include "FileUtils.h"
#include "SysInfo.h"
#include "TestSupport.h"

namespace {

using namespace testing_support;

std::string crlfToLf(std::string s) {
    size_t pos;
    while ((pos = s.find("\r\n")) != std::string::npos) {
        s.erase(pos, 1);
    }
    return s;
}

class LauncherTest : public ::testing::Test {
protected:
    LauncherTest() : image(dir / L"My App \u00E9", L"MyApp") {}

    // PATH of the test run, without or with the image's app directory.
    ProcessResult run(const tstring& args, bool appDirInPath, EnvChanges env = EnvChanges()) {
        return runExe(image.exe(), args, appDirInPath ? image.appDir() : tstring(), env);
    }

    ProcessResult runExe(const tstring& exe, const tstring& args, const tstring& pathPrefix,
                         EnvChanges env = EnvChanges()) {
        path = SysInfo::getEnvVariable(std::nothrow, L"PATH", L"");
        if (!pathPrefix.empty()) {
            path = pathPrefix + L";" + path;
        }
        recordPath = dir / L"record.txt";
        env[L"PATH"] = path.c_str();
        env[L"STANDIN_RECORD"] = recordPath.c_str();
        if (!env.count(L"LOFTWICK_DEBUG")) {
            env[L"LOFTWICK_DEBUG"] = nullptr;
        }
        ProcessResult r = doubleClick ? runDoubleClicked(exe, args, env) : runProcess(exe, args, env);
        EXPECT_FALSE(r.timedOut);
        r.stdErr = crlfToLf(r.stdErr);
        return r;
    }

    std::string record() const { return readFile(recordPath); }
    std::map<std::string, std::string> fields() const { return parseRecord(record()); }

    std::vector<std::string> argv() const {
        const auto f = fields();
        std::vector<std::string> result;
        const int argc = f.count("argc") ? std::stoi(f.at("argc")) : 0;
        for (int i = 0; i < argc; ++i) {
            result.push_back(f.at("argv[" + std::to_string(i) + "]"));
        }
        return result;
    }

    const std::string basicCfg =
        "[Application]\napp.classpath=$APPDIR\\hello.jar\napp.mainclass=hello.Main\n"
        "[JavaOptions]\njava-options=-Xmx64m\n[ArgOptions]\narguments=$APPDIR\narguments=two\n";

    TempDir dir;
    AppImage image;
    bool doubleClick = false;
    tstring path;
    tstring recordPath;
};

TEST_F(LauncherTest, InProcessRoadHandsTheRuntimeTheExactCommandLine) {
    image.cfg(basicCfg).withRuntime();
    const ProcessResult r = run(L"", true);
    EXPECT_EQ(r.exitCode, 0u) << r.stdErr;
    EXPECT_EQ(r.stdErr, "");
    // The arguments arrive in the ANSI code page (1252 here): "\u00E9" as E9.
    const std::vector<std::string> expected = {
        cp1252(image.exe()), "-classpath",
        cp1252(image.appDir() + L"\\hello.jar"), "-Xmx64m",
        cp1252(L"-Dloftwick.app-path=" + image.exe()), "hello.Main",
        cp1252(image.appDir()), "two",
    };
    EXPECT_EQ(argv(), expected);
    const auto f = fields();
    EXPECT_EQ(f.at("argv[argc]"), "null");
    EXPECT_EQ(f.at("jargc"), "0 jargv=null appclassc=0 appclassv=null");
    EXPECT_EQ(f.at("fullversion"), "[] dotversion=[] pname=[java] lname=[java]");
    // Not windowed: the runtime writes its errors to the standard error
    // someone reads.
    EXPECT_EQ(f.at("javaargs"), "0 cpwildcard=0 javaw=0 ergo=0");
    EXPECT_EQ(f.at("dlldir"), utf8(image.runtimeDir() + L"\\bin"));
    EXPECT_EQ(f.at("PATH"), utf8(path));
    EXPECT_EQ(f.at("jvm.dll loaded"), "");
    EXPECT_EQ(r.processCount, 1u);
}

TEST_F(LauncherTest, RelaunchRoadStartsExactlyOneChild) {
    image.cfg(basicCfg).withRuntime();
    const ProcessResult r = run(L"a \"b c\" $APPDIR", false);
    EXPECT_EQ(r.exitCode, 0u) << r.stdErr;
    EXPECT_EQ(r.stdErr, "");
    const std::vector<std::string> args = argv();
    ASSERT_EQ(args.size(), 9u);
    EXPECT_EQ(std::vector<std::string>(args.begin() + 6, args.end()),
              (std::vector<std::string>{"a", "b c", "$APPDIR"}));
    const std::string childPath = fields().at("PATH");
    EXPECT_EQ(childPath, utf8(path + L";" + image.appDir()));
    EXPECT_EQ(r.processCount, 2u);
}

// Nobody reads a double-clicked program's standard error: one child is
// started whatever PATH holds, with its output piped to the parent, and its
// code is the launcher's.
TEST_F(LauncherTest, DoubleClickedLauncherReportsForOneChild) {
    image.cfg(basicCfg).withRuntime();
    doubleClick = true;
    for (bool appDirInPath : {true, false}) {
        SCOPED_TRACE(appDirInPath ? "PATH lists the app dir" : "PATH lacks it");
        DeleteFileW((dir / L"record.txt").c_str());
        const ProcessResult r = run(L"", appDirInPath, {{L"STANDIN_EXIT", L"3"}});
        EXPECT_EQ(r.processCount, 2u);
        EXPECT_EQ(r.exitCode, 3u);
        const auto f = fields();
        // The child writes everything to the pipe, the runtime included, and
        // leaves the reporting variable to no program the application starts.
        EXPECT_EQ(f.at("javaargs"), "0 cpwildcard=0 javaw=0 ergo=0");
        EXPECT_EQ(f.at("LOFTWICK_PARENT_REPORTS"), "");
        EXPECT_EQ(f.at("PATH"), utf8(appDirInPath ? path : path + L";" + image.appDir()));
    }

    // Turned off, for every run or for one: as before, in this process, the
    // runtime showing its own boxes.
    DeleteFileW((dir / L"record.txt").c_str());
    const ProcessResult once = run(L"", true, {{L"STANDIN_EXIT_PROCESS", L"4"}, {L"LOFTWICK_FAILUREBOX", L"false"}});
    EXPECT_EQ(once.processCount, 1u);
    EXPECT_EQ(once.exitCode, 4u);
    EXPECT_EQ(fields().at("javaargs"), "0 cpwildcard=0 javaw=1 ergo=0");
    DeleteFileW((dir / L"record.txt").c_str());
    image.cfg("[Application]\napp.mainclass=M\napp.failurebox=false\n");
    const ProcessResult r = run(L"", true, {{L"STANDIN_EXIT_PROCESS", L"4"}});
    EXPECT_EQ(r.processCount, 1u);
    EXPECT_EQ(r.exitCode, 4u);
    EXPECT_EQ(fields().at("javaargs"), "0 cpwildcard=0 javaw=1 ergo=0");
}

// A process the application leaves behind may hold the pipe for long: the
// parent reports and ends when the application does, not when that one does.
TEST_F(LauncherTest, DoubleClickedLauncherEndsWithTheApplicationNotItsHelpers) {
    image.cfg(basicCfg).withRuntime();
    doubleClick = true;
    const ProcessResult r = run(L"", true, {{L"STANDIN_HELPER", L"1"}});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_NE(fields().count("helper"), 0u);
}

TEST_F(LauncherTest, ConfigNameFollowsTheExecutableName) {
    AppImage renamed(dir / L"other", L"my.app");
    EXPECT_EQ(renamed.cfgPath(), dir / L"other\\app\\my.app.cfg");
    renamed.cfg("[Application]\napp.runtime=$ROOTDIR\\jre\napp.mainjar=x.jar\n")
           .withRuntimeAt(renamed.root() + L"\\jre");
    const ProcessResult r = runExe(renamed.exe(), L"", renamed.appDir());
    EXPECT_EQ(r.exitCode, 0u) << r.stdErr;
    const std::vector<std::string> args = argv();
    ASSERT_EQ(args.size(), 4u);
    EXPECT_EQ(args[3], "x.jar");
    EXPECT_EQ(fields().at("dlldir"), utf8(renamed.root() + L"\\jre\\bin"));
}

// Regression: a relative app.runtime was taken from the current directory,
// so a jli.dll in a folder the user started from would have been loaded.
TEST_F(LauncherTest, RelativeRuntimeIsBesideTheExecutable) {
    image.cfg("[Application]\napp.runtime=rt\napp.mainclass=M\n").withRuntimeAt(image.root() + L"\\rt");
    makeDirs(dir / L"elsewhere");
    const tstring withApp = image.appDir() + L";" + SysInfo::getEnvVariable(std::nothrow, L"PATH", L"");
    recordPath = dir / L"record.txt";
    const ProcessResult r = runProcess(image.exe(), L"", {{L"PATH", withApp.c_str()},
                                       {L"STANDIN_RECORD", recordPath.c_str()}}, dir / L"elsewhere");
    EXPECT_EQ(r.exitCode, 0u) << r.stdErr;
    EXPECT_EQ(fields().at("dlldir"), utf8(image.root() + L"\\rt\\bin"));
}

TEST_F(LauncherTest, FailuresShowOneMessageAndExitWithOne) {
    // No configuration file.
    ProcessResult r = run(L"", true);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.stdErr, "Error opening \"" + utf8(image.cfgPath())
              + "\" file: No such file or directory\n");

    image.cfg("; c\n[Application\n");
    r = run(L"", false);
    EXPECT_EQ(r.exitCode, 1u);
    // Reported by the first process: a child would add its own report.
    EXPECT_EQ(r.stdErr, "Error parsing [" + utf8(image.cfgPath())
              + "] file at 2: Missing ']' character\n");

    image.cfg(basicCfg);
    r = run(L"", false);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.stdErr, "Failed to find JVM in \"" + utf8(image.runtimeDir()) + "\" directory.\n");
}

TEST_F(LauncherTest, RuntimeFailureOnBothRoads) {
    image.cfg(basicCfg).withRuntime();
    ProcessResult r = run(L"", true, {{L"STANDIN_EXIT", L"3"}});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.stdErr, "Failed to launch JVM\n");

    // The child reports, once; the parent adds nothing.
    r = run(L"", false, {{L"STANDIN_EXIT", L"3"}});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.stdErr, "Failed to launch JVM\n");
}

// Regression: the relaunching parent turned every code an application
// chose into an error box and exit code 1.
TEST_F(LauncherTest, TheRelaunchedApplicationsExitCodeIsTheLaunchers) {
    image.cfg(basicCfg).withRuntime();
    for (const wchar_t* code : {L"4", L"255", L"0xFFFFFFFF"}) {
        const ProcessResult r = run(L"", false, {{L"STANDIN_EXIT_PROCESS", code}});
        EXPECT_EQ(r.exitCode, std::wcstoul(code, nullptr, 0));
        EXPECT_EQ(r.stdErr, "") << utf8(code);
    }
    // A crash is never silent: one report naming the status, the code kept.
    const ProcessResult r = run(L"", false, {{L"STANDIN_EXIT_PROCESS", L"0xC0000005"}});
    EXPECT_EQ(r.exitCode, 0xC0000005u);
    EXPECT_EQ(r.stdErr, "Child process exited with code 0xC0000005\n");
}

TEST_F(LauncherTest, LauncherLibraryWithoutEntry) {
    image.cfg(basicCfg).withRuntime();
    const tstring jli = image.runtimeDir() + L"\\bin\\jli.dll";
    copyFile(standInRuntimeDir() + L"\\bin\\splashscreen.dll", jli);
    const ProcessResult r = run(L"", true);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.stdErr.rfind("GetProcAddress(" + utf8(jli) + ", JLI_Launch) failed. "
                             "System error [127](system error 127 (", 0), 0u) << r.stdErr;
}

TEST_F(LauncherTest, SplashLoadsTheJvmAndSplashLibrariesFirst) {
    writeFile(image.appDir() + L"\\splash.png", "png");
    image.cfg("[Application]\napp.splash=$APPDIR\\splash.png\napp.mainclass=M\n").withRuntime();
    ProcessResult r = run(L"", true);
    EXPECT_EQ(r.exitCode, 0u) << r.stdErr;
    const std::string text = record();
    const std::string bin = utf8(image.runtimeDir() + L"\\bin");
    const size_t jvm = text.find("loaded=" + bin + "\\server\\jvm.dll\n");
    const size_t splash = text.find("loaded=" + bin + "\\splashscreen.dll\n");
    const size_t call = text.find("argc=");
    EXPECT_LT(jvm, splash) << text;
    EXPECT_LT(splash, call) << text;
    ASSERT_GE(argv().size(), 2u) << record();
    EXPECT_EQ(argv()[1], cp1252(L"-splash:" + image.appDir() + L"\\splash.png"));

    DeleteFileW((image.runtimeDir() + L"\\bin\\server\\jvm.dll").c_str());
    DeleteFileW(recordPath.c_str());
    r = run(L"", true);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.stdErr.rfind("LoadLibraryW(" + bin + "\\server\\jvm.dll) failed. System error [", 0),
              0u) << r.stdErr;
    EXPECT_EQ(record(), "");
}

// Regression: an application argument that looks like a splash option made
// the launcher load the splash library, and fail on a runtime without one.
TEST_F(LauncherTest, NoSplashLibrariesWithoutSplash) {
    image.cfg("[Application]\napp.splash=$APPDIR\\missing.png\napp.mainclass=M\n").withRuntime();
    DeleteFileW((image.runtimeDir() + L"\\bin\\splashscreen.dll").c_str());
    const ProcessResult r = run(L"-splash:x.png", true);
    EXPECT_EQ(r.exitCode, 0u) << r.stdErr;
    EXPECT_EQ(record().find("\nloaded="), std::string::npos) << record();
    EXPECT_EQ(argv(), (std::vector<std::string>{cp1252(image.exe()), cp1252(L"-Dloftwick.app-path=")
                                                + cp1252(image.exe()), "M", "-splash:x.png"}));
}

// Regression: an app directory that PATH cannot list (';' in its name)
// made every child relaunch again, forever.
TEST_F(LauncherTest, NeverRelaunchesMoreThanOnce) {
    AppImage odd(dir / L"semi;colon", L"Odd");
    odd.cfg("[Application]\napp.mainclass=M\n").withRuntime();
    const ProcessResult r = runExe(odd.exe(), L"x", tstring());
    EXPECT_EQ(r.exitCode, 0u) << r.stdErr;
    EXPECT_LE(r.processCount, 2u);
    ASSERT_FALSE(argv().empty()) << record();
    EXPECT_EQ(argv().back(), "x");
}

TEST_F(LauncherTest, TracingNeedsExactlyTrue) {
    image.cfg(basicCfg).withRuntime();
    for (const wchar_t* value : {L"TRUE", L"1", L"", L"true "}) {
        const ProcessResult r = run(L"", true, {{L"LOFTWICK_DEBUG", value}});
        EXPECT_EQ(r.exitCode, 0u);
        EXPECT_EQ(r.stdErr, "") << utf8(value);
    }
}

} // namespace
