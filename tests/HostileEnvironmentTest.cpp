// The launcher in hostile surroundings: planted DLLs, broken runtimes, odd
// install paths and arguments, a full PATH, other current directories and
// many launches at once. Sound is the intended launch or one clear error with
// exit code 1; never a crash, a hang, a second relaunch or a planted DLL.
#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "FileUtils.h"
#include "SysInfo.h"
#include "TestSupport.h"
#include "WinSysHeaders.h"

namespace {

using namespace testing_support;

const unsigned long hardTimeoutMs = 30000;

class HostileEnvironmentTest : public ::testing::Test {
protected:
    struct Launch {
        ProcessResult result;
        std::string record;
    };

    Launch launch(const AppImage& image, const tstring& args, bool appDirInPath,
                  const tstring& workDir = tstring(), const tstring& extraPath = tstring(),
                  const tstring& recordName = L"record.txt") {
        const tstring record = dir / recordName;
        DeleteFileW(record.c_str());
        tstring path = SysInfo::getEnvVariable(std::nothrow, L"PATH", L"");
        if (!extraPath.empty()) {
            path = extraPath + L";" + path;
        }
        if (appDirInPath) {
            path = image.appDir() + L";" + path;
        }
        const EnvChanges env = {{L"PATH", path.c_str()}, {L"STANDIN_RECORD", record.c_str()},
                                {L"LOFTWICK_DEBUG", nullptr}};
        Launch l = {runProcess(image.exe(), args, env, workDir, hardTimeoutMs), readFile(record)};
        EXPECT_FALSE(l.result.timedOut);
        // An error box may add Wine's desktop process: count successes only.
        if (l.result.exitCode == 0) {
            EXPECT_LE(l.result.processCount, appDirInPath ? 1u : 2u);
        }
        return l;
    }

    static std::vector<std::string> argvOf(const std::string& record) {
        const auto f = parseRecord(record);
        std::vector<std::string> result;
        const int argc = f.count("argc") ? std::stoi(f.at("argc")) : 0;
        for (int i = 0; i < argc; ++i) {
            result.push_back(f.at("argv[" + std::to_string(i) + "]"));
        }
        return result;
    }

    AppImage simpleImage(const tstring& root, const tstring& name = L"App") {
        AppImage image(root, name);
        image.cfg("[Application]\napp.mainclass=hello.Main\n").withRuntime();
        return image;
    }

    TempDir dir{L"loftwick-hostile"};
};

TEST_F(HostileEnvironmentTest, PlantedLibrariesAreNeverLoaded) {
    const AppImage image = simpleImage(dir / L"img");
    const tstring sentinel = standInRuntimeDir() + L"\\bin\\splashscreen.dll";
    copyFile(sentinel, dir / L"cwd\\jli.dll");
    copyFile(sentinel, dir / L"cwd\\jvm.dll");
    copyFile(sentinel, dir / L"onpath\\jli.dll");
    for (bool inPath : {true, false}) {
        const Launch l = launch(image, L"", inPath, dir / L"cwd", dir / L"onpath");
        EXPECT_EQ(l.result.exitCode, 0u) << l.result.stdErr;
        EXPECT_EQ(l.record.find("\nloaded="), std::string::npos) << l.record;
        EXPECT_EQ(l.record.rfind("loaded=", 0), std::string::npos) << l.record;
    }
}

TEST_F(HostileEnvironmentTest, BrokenLauncherLibraryGivesTheLoadError) {
    const AppImage image = simpleImage(dir / L"img");
    const tstring jli = image.runtimeDir() + L"\\bin\\jli.dll";
    const std::string good = readFile(jli);
    const std::string cases[] = {std::string(), good.substr(0, 1000), "MZ not really a PE image",
                                 std::string(4096, '\x7F')};
    for (const std::string& bytes : cases) {
        writeFile(jli, bytes);
        for (bool inPath : {true, false}) {
            const Launch l = launch(image, L"", inPath);
            EXPECT_EQ(l.result.exitCode, 1u);
            const std::string text = crlfFree(l.result.stdErr);
            EXPECT_EQ(text.rfind("LoadLibraryW(" + utf8(jli) + ") failed. System error [", 0),
                      0u) << text;
            EXPECT_NE(text.find("](system error "), std::string::npos) << text;
            // One report on both roads: a relaunching parent adds none.
            EXPECT_EQ(text.substr(text.find('\n') + 1), "") << text;
        }
    }
}

TEST_F(HostileEnvironmentTest, OddInstallPaths) {
    const tstring names[] = {
        L"with space", L"semi;colon", L"amp&ersand", L"per%cent%", L"care^t", L"bang!",
        L"quo'te", L"ha#sh", L"(paren)", L"\u00E9l\u00E8ve \u00C5",
    };
    for (const tstring& name : names) {
        SCOPED_TRACE(utf8(name));
        const AppImage image = simpleImage(dir / name);
        for (bool inPath : {true, false}) {
            const Launch l = launch(image, L"x", inPath);
            EXPECT_EQ(l.result.exitCode, 0u) << l.result.stdErr;
            const std::vector<std::string> argv = argvOf(l.record);
            ASSERT_EQ(argv.size(), 4u) << l.record;
            EXPECT_EQ(argv[0], cp1252(image.exe()));
            EXPECT_EQ(argv[3], "x");
        }
    }
}

// Wine starts no program from a path of MAX_PATH or more, so the executable
// stays just below it while the configuration, the runtime libraries and the
// splash image lie beyond it.
TEST_F(HostileEnvironmentTest, LongInstallPaths) {
    for (size_t exeLength : {200, 250, 259}) {
        tstring root = dir.path();
        while (root.size() + 6 < exeLength) {
            root = FileUtils::joinPath(root, tstring(std::min<size_t>(40, exeLength - root.size() - 7), L'd'));
        }
        AppImage image(root, L"L");
        SCOPED_TRACE(image.exe().size());
        writeFile(image.appDir() + L"\\splash-image-with-a-long-name.png", "png");
        image.cfg("[Application]\napp.mainclass=hello.Main\n"
                  "app.splash=$APPDIR\\splash-image-with-a-long-name.png\n").withRuntime();
        for (bool inPath : {true, false}) {
            const Launch l = launch(image, L"", inPath);
            EXPECT_EQ(l.result.exitCode, 0u) << l.result.stdErr;
            EXPECT_EQ(argvOf(l.record).size(), 4u) << l.record;
            EXPECT_NE(l.record.find("server\\jvm.dll\n"), std::string::npos) << l.record;
        }
    }
}

TEST_F(HostileEnvironmentTest, ArgumentsArriveUnchangedOnBothRoads) {
    const AppImage image = simpleImage(dir / L"img");
    tstring_array args = {
        L"plain", L"", L"with space", L"quote\"inside", L"\"", L"back\\slash",
        L"trailing\\", L"two\\\\\"quote", L"\\\\server\\share\\", L"tab\there",
        L"\u00E9\u00E8", L"$APPDIR", L"%PATH%", L"a=b;c", tstring(29000, L'z'),
    };
    // Code page 1252 has no CJK: each character becomes '?'.
    args.push_back(L"\u4E2D\u6587");
    tstring commandLine;
    for (const tstring& a : args) {
        commandLine += (commandLine.empty() ? L"" : L" ") + quoteArg(a);
    }
    for (bool inPath : {true, false}) {
        const Launch l = launch(image, commandLine, inPath);
        EXPECT_EQ(l.result.exitCode, 0u) << l.result.stdErr;
        const std::vector<std::string> argv = argvOf(l.record);
        ASSERT_EQ(argv.size(), 3 + args.size()) << l.record.substr(0, 2000);
        for (size_t i = 0; i + 1 < args.size(); ++i) {
            EXPECT_EQ(argv[3 + i], cp1252(args[i])) << i;
        }
        EXPECT_EQ(argv.back(), "??");
    }
}

// PATH cannot hold more than 32767 characters: an app directory that no
// longer fits is a clear error, not a silent cut or a loop.
TEST_F(HostileEnvironmentTest, PathThatCannotTakeTheAppDirectory) {
    const AppImage image = simpleImage(dir / L"img");
    const tstring record = dir / L"record.txt";
    // Exactly room for ";" and the app directory, then one character less.
    for (size_t length : {32767 - 1 - image.appDir().size(), 32768 - 1 - image.appDir().size()}) {
        const tstring longPath = L"C:\\x;" + tstring(length - 5, L'p');
        const ProcessResult r = runProcess(image.exe(), L"", {{L"PATH", longPath.c_str()},
                                           {L"STANDIN_RECORD", record.c_str()}},
                                           tstring(), hardTimeoutMs);
        EXPECT_FALSE(r.timedOut);
        if (longPath.size() + 1 + image.appDir().size() == 32767) {
            EXPECT_EQ(r.exitCode, 0u) << r.stdErr;
            continue;
        }
        EXPECT_EQ(r.exitCode, 1u);
        EXPECT_EQ(crlfFree(r.stdErr), "Failed to add \"" + utf8(image.appDir())
                  + "\" to PATH: the value would exceed 32767 characters\n");
    }
}

TEST_F(HostileEnvironmentTest, OtherCurrentDirectories) {
    const AppImage image = simpleImage(dir / L"img");
    const Launch fromRoot = launch(image, L"a", false, image.root());
    ASSERT_EQ(fromRoot.result.exitCode, 0u) << fromRoot.result.stdErr;
    copyFile(standInRuntimeDir() + L"\\bin\\splashscreen.dll", dir / L"planted\\jli.dll");
    for (const tstring& cwd : {SysInfo::getSystemDirectory(), dir / L"planted"}) {
        const Launch l = launch(image, L"a", false, cwd);
        EXPECT_EQ(l.result.exitCode, 0u) << l.result.stdErr;
        EXPECT_EQ(argvOf(l.record), argvOf(fromRoot.record));
        EXPECT_EQ(l.record.find("loaded="), l.record.find("\njvm.dll loaded=") + 9) << l.record;
    }
}

// AddDllDirectory refuses a relative directory: a relative runtime loads
// through the PATH fallback, and PATH is as before once the libraries are in.
TEST_F(HostileEnvironmentTest, RelativeRuntimeLoadsThroughThePathFallback) {
    AppImage image(dir / L"img", L"App");
    writeFile(image.root() + L"\\s.png", "png");
    image.cfg("[Application]\napp.runtime=rt\napp.splash=s.png\napp.mainclass=M\n")
         .withRuntimeAt(image.root() + L"\\rt");
    const Launch l = launch(image, L"", true, image.root());
    EXPECT_EQ(l.result.exitCode, 0u) << l.result.stdErr;
    const std::string bin = utf8(image.root() + L"\\rt\\bin\\");
    EXPECT_NE(l.record.find("loaded=" + bin + "server\\jvm.dll\n"), std::string::npos) << l.record;
    EXPECT_NE(l.record.find("loaded=" + bin + "splashscreen.dll\n"), std::string::npos) << l.record;
    const std::string path = parseRecord(l.record)["PATH"];
    EXPECT_EQ(path.rfind(utf8(image.appDir()) + ";", 0), 0u) << path;
    EXPECT_EQ(path.find("rt\\bin"), std::string::npos) << path;
}

TEST_F(HostileEnvironmentTest, TwentyLaunchesAtOnce) {
    const AppImage image = simpleImage(dir / L"img");
    std::vector<Launch> launches(20);
    std::vector<std::thread> threads;
    for (int i = 0; i < 20; ++i) {
        threads.emplace_back([this, &image, &launches, i]() {
            launches[i] = launch(image, L"run-" + std::to_wstring(i), i % 2 == 0, tstring(),
                                 tstring(), L"record-" + std::to_wstring(i) + L".txt");
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(launches[i].result.exitCode, 0u) << launches[i].result.stdErr;
        const std::vector<std::string> argv = argvOf(launches[i].record);
        ASSERT_EQ(argv.size(), 4u) << i;
        EXPECT_EQ(argv[3], "run-" + std::to_string(i));
    }
}

} // namespace

namespace {

// Runs under the ANSI code page named by LOFTWICK_T_ACP (CTest starts Wine
// with a matching locale); skipped elsewhere.
TEST_F(HostileEnvironmentTest, NonAsciiUnderTheAnsiCodePage) {
    const tstring acp = SysInfo::getEnvVariable(std::nothrow, L"LOFTWICK_T_ACP", L"");
    if (acp.empty()) {
        GTEST_SKIP() << "runs in the code page entries of CTest";
    }
    ASSERT_EQ(GetACP(), static_cast<UINT>(std::stoul(acp)));
    // Per code page: text it can hold and its bytes there, as published for
    // that code page; for 932 the second byte of each of the first three
    // characters is 0x5C, the backslash.
    struct Name { tstring text; std::string bytes; };
    const std::map<UINT, Name> names = {
        {1252, {L"\u00E9l\u00E8ve \u00C5ngstr\u00F6m", "\xE9l\xE8ve \xC5ngstr\xF6m"}},
        {1251, {L"\u041F\u0440\u0438\u0432\u0435\u0442 \u043C\u0438\u0440",
                "\xCF\xF0\xE8\xE2\xE5\xF2 \xEC\xE8\xF0"}},
        {932, {L"\u8868\u30BD\u80FD \u8CC7\u6599", "\x95\x5C\x83\x5C\x94\x5C \x8E\x91\x97\xBF"}},
    };
    const Name& name = names.at(GetACP());
    const AppImage image = simpleImage(dir / name.text);
    for (bool inPath : {true, false}) {
        const Launch l = launch(image, quoteArg(name.text) + L" " + quoteArg(name.text + L"\\"), inPath);
        EXPECT_EQ(l.result.exitCode, 0u) << l.result.stdErr;
        const std::vector<std::string> argv = argvOf(l.record);
        ASSERT_EQ(argv.size(), 5u) << l.record;
        EXPECT_EQ(argv[0], cp1252(dir.path()) + "\\" + name.bytes + "\\App.exe");
        EXPECT_EQ(argv[3], name.bytes);
        EXPECT_EQ(argv[4], name.bytes + "\\");
        // The record is UTF-8: the library directory is not in the ANSI code page.
        EXPECT_EQ(parseRecord(l.record).at("dlldir"), utf8(image.runtimeDir() + L"\\bin"));
    }
}

} // namespace
