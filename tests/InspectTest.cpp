// loftwick-inspect on real application images.
#include <gtest/gtest.h>

#include "FileUtils.h"
#include "SysInfo.h"
#include "TestSupport.h"

namespace {

using namespace testing_support;

class InspectTest : public ::testing::Test {
protected:
    InspectTest() : image(dir / L"Img", L"MyApp") {}

    ProcessResult inspect(const tstring& extra = tstring(), bool json = false) {
        const tstring args = tstring(json ? L"--json " : L"") + quoteArg(image.exe())
                + (extra.empty() ? L"" : L" " + extra);
        const tstring path = SysInfo::getEnvVariable(std::nothrow, L"PATH", L"");
        ProcessResult r = runProcess(FileUtils::joinPath(binDir(), L"loftwick-inspect.exe"), args,
                                     {{L"PATH", path.c_str()}}, tstring(), 30000);
        EXPECT_FALSE(r.timedOut);
        return r;
    }

    std::string u(const tstring& s) const { return utf8(s); }

    const std::string goodCfg = "[Application]\napp.mainclass=hello.Main\n"
                                "app.classpath=$APPDIR\\hello.jar\n";
    TempDir dir;
    AppImage image;
};

TEST_F(InspectTest, CleanImage) {
    writeFile(image.appDir() + L"\\hello.jar", storedZip({{"hello/Main.class", classFile(61)}}));
    image.cfg(goodCfg + "[ArgOptions]\narguments=configured\n").withRuntime();
    const ProcessResult r = inspect(L"given");
    EXPECT_EQ(r.exitCode, 0u) << r.stdOut;
    const std::string bin = u(image.runtimeDir() + L"\\bin\\jli.dll");
    EXPECT_EQ(r.stdOut,
              "Configuration file: " + u(image.cfgPath()) + "\n"
              "Dropped lines: none\n"
              "Replaced sections: none\n"
              "Runtime directory: " + u(image.runtimeDir()) + "\n"
              "Runtime library: " + bin + "\n"
              "Runtime arguments:\n"
              "  [0] " + u(image.exe()) + "\n"
              "  [1] -classpath\n"
              "  [2] " + u(image.appDir()) + "\\hello.jar\n"
              "  [3] -Dloftwick.app-path=" + u(image.exe()) + "\n"
              "  [4] hello.Main\n"
              "  [5] given\n"
              "Problems: none\n"
              "Launch road: relaunch (PATH lacks the app directory)\n");
}

TEST_F(InspectTest, DroppedLinesAndMissingFiles) {
    image.cfg("[Application]\napp.mainjar =$APPDIR\\x.jar\napp.MainClass=M\n"
              "app.mainjar=$APPDIR\\missing.jar\napp.failurebox=no\n[application]\napp.mainclass=Lost\n"
              "[ArgOptions]\narguments=a\narguments=\xFF\n[ArgOptions]\narguments=b\n").withRuntime();
    const ProcessResult r = inspect();
    EXPECT_EQ(r.exitCode, 2u) << r.stdOut;
    for (const std::string& line : {
             std::string("  line 2: unknown key \"app.mainjar \" (did you mean \"app.mainjar\"?)\n"),
             std::string("  line 3: unknown key \"app.MainClass\" (did you mean \"app.mainclass\"?)\n"),
             std::string("  line 6: unknown section [application] (did you mean \"Application\"?);"
                         " its properties are dropped\n"),
             std::string("  line 7: property \"app.mainclass\" outside any known section\n"),
             std::string("  line 10: not valid UTF-8\n"),
             std::string("  app.failurebox is \"no\": only \"false\" turns the failure box off, so "
                         "it stays on\n"),
             std::string("Replaced sections:\n  line 11: [ArgOptions] replaces the properties of an "
                         "earlier [ArgOptions]\n"),
             "  main JAR not found: \"" + u(image.appDir()) + "\\missing.jar\"\n"}) {
        EXPECT_NE(r.stdOut.find(line), std::string::npos) << line << "\n" << r.stdOut;
    }
}

// What the runtime would read otherwise than meant: an argument file among
// the Java options (an application argument may start with '@'), and a
// runtime's folder holding the image.
TEST_F(InspectTest, ArgumentFilesAndAForeignRuntimeHome) {
    writeFile(dir / L"bin\\java.dll", "");
    writeFile(image.appDir() + L"\\m.jar", storedZip({{"M.class", classFile(61)}}));
    image.cfg("[Application]\napp.mainclass=M\napp.classpath=$APPDIR\\m.jar\n"
              "[JavaOptions]\njava-options=@$APPDIR\\jvm.opts\n"
              "[ArgOptions]\narguments=@app.args\n").withRuntime();
    const ProcessResult r = inspect();
    EXPECT_EQ(r.exitCode, 2u) << r.stdOut;
    EXPECT_NE(r.stdOut.find("Problems:\n  Java option \"@" + u(image.appDir()) + "\\jvm.opts\" names an "
                            "argument file, which the runtime does not read when started by the "
                            "launcher\n  the folder above the image, \"" + u(dir.path()) + "\", holds "
                            "bin\\java.dll: the runtime would take it as its home instead of \""
                            + u(image.runtimeDir()) + "\"\nLaunch road"), std::string::npos) << r.stdOut;
}

// Regression: each of these said "Problems: none" while the launcher would
// start no main class, read one long line, or cut a value.
TEST_F(InspectTest, WhatTheLauncherWouldMisread) {
    image.withRuntime();
    const std::string utf16("\xFF\xFE[\0A\0]\0\n\0", 8);
    struct Row { std::string cfg; std::string problem; };
    for (const Row& row : {
             Row{"[Application]\n", "no main entry (app.mainjar, app.mainclass or app.mainmodule): "
                                    "the runtime would not know what to start"},
             Row{"[Application]\rapp.mainclass=M\r", "a carriage return without a line feed: the "
                 "launcher does not end a line there"},
             Row{utf16, "the file is UTF-16 (it starts with a UTF-16 byte-order mark): the launcher "
                 "reads UTF-8 only; save it as UTF-8"},
             Row{std::string("[Application]\napp.mainclass=M\n[ArgOptions]\narguments=a\0b\n", 57),
                 "the value \"a\"... holds a NUL character: the runtime receives only the text before it"},
         }) {
        writeFile(image.cfgPath(), row.cfg);
        const ProcessResult r = inspect();
        EXPECT_EQ(r.exitCode, 2u) << r.stdOut;
        EXPECT_NE(r.stdOut.find("  " + row.problem), std::string::npos) << r.stdOut;
    }
}

// The checks packing makes, on an image: regression for a valid "lib\\*"
// reported as a missing class path entry (exit code 2 in a CI gate).
TEST_F(InspectTest, TheApplicationAsTheRuntimeReadsIt) {
    makeDirs(image.appDir() + L"\\lib");
    writeFile(image.appDir() + L"\\lib\\hello.jar", storedZip({{"hello/Main.class", classFile(61)}}));
    image.cfg("[Application]\napp.mainclass=hello.Main\napp.classpath=$APPDIR\\lib\\*\n").withRuntime();
    ProcessResult r = inspect();
    EXPECT_EQ(r.exitCode, 0u) << r.stdOut;
    EXPECT_NE(r.stdOut.find("Problems: none\n"), std::string::npos) << r.stdOut;

    image.cfg("[Application]\napp.mainclass=hello.Mian\napp.classpath=$APPDIR\\lib\\*\n"
              "[JavaOptions]\njava-options=Xmx512m\n");
    r = inspect(tstring(), true);
    EXPECT_EQ(r.exitCode, 2u) << r.stdOut;
    for (const char* problem : {"the Java option \\\"Xmx512m\\\" does not begin with '-'",
                                "the main class hello.Mian is not in the class path (did you mean hello.Main?)"}) {
        EXPECT_NE(r.stdOut.find(problem), std::string::npos) << problem << "\n" << r.stdOut;
    }
}

TEST_F(InspectTest, ByteOrderMarkAndJson) {
    image.cfg("\xEF\xBB\xBF[Application]\napp.mainclass=M\n").withRuntime();
    const ProcessResult r = inspect(tstring(), true);
    EXPECT_EQ(r.exitCode, 2u) << r.stdOut;
    EXPECT_NE(r.stdOut.find("{\"line\": 1, \"what\": \"a byte-order mark hides the header [Application]\"}"),
              std::string::npos) << r.stdOut;
    EXPECT_NE(r.stdOut.find("\"exitCode\": 2\n}"), std::string::npos) << r.stdOut;
    EXPECT_NE(r.stdOut.find("\"error\": null"), std::string::npos) << r.stdOut;
}

TEST_F(InspectTest, MissingRuntimeAndMissingConfiguration) {
    ProcessResult r = inspect();
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.stdOut.find("Launch would fail: Error opening \"" + u(image.cfgPath())
                            + "\" file: No such file or directory\n"), std::string::npos) << r.stdOut;

    image.cfg(goodCfg);
    r = inspect(tstring(), true);
    EXPECT_EQ(r.exitCode, 1u);
    std::string escaped;
    for (char c : u(image.runtimeDir())) {
        escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    EXPECT_NE(r.stdOut.find("\"error\": \"Failed to find JVM in \\\"" + escaped + "\\\" directory.\""),
              std::string::npos) << r.stdOut;
}

} // namespace
