// The packaging command on a real file system, natively: the image it lays
// out, the configuration it writes, and what it refuses.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <sys/stat.h>

#include "CfgWriter.h"
#include "PackCommand.h"
#include "PackError.h"
#include "PeFile.h"
#include "StampTestSupport.h"

namespace fs = std::filesystem;

namespace {

using namespace stamp_test;

class PackagerTest : public ::testing::Test {
protected:
    PackagerTest()
        : dir(fs::temp_directory_path()
              / ("loftwick-pack-test-" + std::string(
                    ::testing::UnitTest::GetInstance()->current_test_info()->name()))) {
        fs::remove_all(dir);
        fs::create_directories(dir / "in" / "lib");
        fs::create_directories(dir / "jre" / "bin");
        writeBinaryFile(dir / "in" / "main.jar", bytesOf(mainJar()));
        writeBinaryFile(dir / "in" / "lib" / "util.jar", bytesOf(utilJar()));
        writeRuntime(dir / "jre", false, "d");
    }
    ~PackagerTest() override { fs::remove_all(dir); }

    static void writeRuntime(const fs::path& root, bool forLinux, const std::string& jli) {
        for (const auto& f : runtimeFiles(forLinux, jli)) {
            fs::create_directories((root / f.first).parent_path());
            writeBinaryFile(root / f.first, bytesOf(f.second));
        }
    }

    int run(std::vector<std::string> args) {
        for (const char* a : {"--input", "in", "--runtime", "jre", "--launchers", LOFTWICK_T_LAUNCHERS}) {
            args.push_back(a == std::string("in") || a == std::string("jre") ? (dir / a).string() : a);
        }
        out.str("");
        err.str("");
        return packCommand(args, "/nowhere/loftwick-pack", out, err);
    }

    std::string file(const fs::path& p) {
        const Bytes b = readBinaryFile(p);
        return std::string(b.begin(), b.end());
    }

    std::vector<std::string> entries() {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir;
    std::ostringstream out, err;
};

TEST_F(PackagerTest, ImageLayoutAndConfiguration) {
    const std::string image = (dir / "Img").string();
    ASSERT_EQ(run({"--name", "My App", "--output", image, "--main-class", "app.Main",
                   "--class-path", "main.jar", "--class-path", "lib/util.jar",
                   "--java-option", "-Dx=a b=c", "--java-option", "-Dhome=$APPDIR",
                   "--argument", "", "--argument", "caf\xC3\xA9 \\=", "--app-version", "2.5"}), 0)
        << err.str();
    EXPECT_EQ(file(dir / "Img" / "app" / "My App.cfg"),
              "; Written by loftwick-pack: the launcher reads app\\<its name>.cfg\n"
              "[Application]\napp.version=2.5\n"
              "app.classpath=$APPDIR\\main.jar\napp.classpath=$APPDIR\\lib\\util.jar\n"
              "app.mainclass=app.Main\n"
              "[JavaOptions]\njava-options=-Dx=a b=c\njava-options=-Dhome=$APPDIR\n"
              "[ArgOptions]\narguments=\narguments=caf\xC3\xA9 \\=\n");
    EXPECT_EQ(file(dir / "Img" / "app" / "lib" / "util.jar"), utilJar());
    EXPECT_EQ(file(dir / "Img" / "runtime" / "bin" / "jli.dll"), "d");
    EXPECT_TRUE(fs::is_regular_file(dir / "Img" / "My App.exe"));
    EXPECT_FALSE(fs::exists(dir / "Img" / "My App.com"));
    EXPECT_EQ(entries(), (std::vector<std::string>{"Img", "in", "jre"}));
}

TEST_F(PackagerTest, FailureBoxTurnedOff) {
    ASSERT_EQ(run({"--name", "B", "--output", (dir / "B").string(), "--main-jar", "main.jar",
                   "--no-failure-box"}), 0) << err.str();
    EXPECT_EQ(file(dir / "B" / "app" / "B.cfg"),
              "; Written by loftwick-pack: the launcher reads app\\<its name>.cfg\n"
              "[Application]\napp.version=1.0\napp.mainjar=$APPDIR\\main.jar\napp.failurebox=false\n");
}

TEST_F(PackagerTest, KindsOfLauncher) {
    const std::string image = (dir / "Img").string();
    struct Row { const char* kind; std::vector<std::pair<std::string, uint16_t>> files; };
    for (const Row& row : {Row{"gui", {{"A.exe", 2}}}, Row{"console", {{"A.exe", 3}}},
                           Row{"both", {{"A.exe", 2}, {"A.com", 3}}}}) {
        ASSERT_EQ(run({"--name", "A", "--output", image, "--main-jar", "main.jar", "--kind", row.kind,
                       "--replace"}), 0) << err.str();
        size_t launchers = 0;
        for (const auto& e : fs::directory_iterator(image)) {
            launchers += e.is_regular_file();
        }
        EXPECT_EQ(launchers, row.files.size()) << row.kind;
        for (const auto& file : row.files) {
            const Bytes exe = readBinaryFile(dir / "Img" / file.first);
            EXPECT_EQ(PeFile::read(exe, file.first).subsystem(), file.second) << row.kind;
            const std::string text(exe.begin(), exe.end());
            EXPECT_NE(text.find(utf16Bytes(u"OriginalFilename") + std::string(2, '\0')
                                + utf16Bytes(std::u16string(file.first.begin(), file.first.end()))),
                      std::string::npos) << file.first;
        }
    }
}

TEST_F(PackagerTest, NeverAHalfWrittenImage) {
    const std::string image = (dir / "Img").string();
    ASSERT_EQ(run({"--name", "A", "--output", image, "--main-jar", "main.jar"}), 0) << err.str();
    writeBinaryFile(dir / "Img" / "mine.txt", Bytes{'m'});

    EXPECT_EQ(run({"--name", "A", "--output", image, "--main-jar", "main.jar"}), 1);
    EXPECT_EQ(err.str(), "loftwick-pack: \"" + image + "\" exists; --replace replaces it\n");
    EXPECT_TRUE(fs::exists(dir / "Img" / "mine.txt"));

    // A failure late in packing (a launcher that is not an executable)
    // leaves the old image and nothing beside it.
    fs::create_directories(dir / "bad");
    writeBinaryFile(dir / "bad" / "loftwick-launcher.exe", Bytes(10, 'x'));
    std::vector<std::string> args = {"--name", "A", "--output", image, "--main-jar", "main.jar",
                                     "--replace", "--launchers", (dir / "bad").string()};
    out.str("");
    err.str("");
    args.insert(args.end(), {"--input", (dir / "in").string(), "--runtime", (dir / "jre").string()});
    EXPECT_EQ(packCommand(args, "/nowhere/loftwick-pack", out, err), 1);
    EXPECT_NE(err.str().find("is not a Windows executable"), std::string::npos) << err.str();
    EXPECT_TRUE(fs::exists(dir / "Img" / "mine.txt"));
    EXPECT_EQ(entries(), (std::vector<std::string>{"Img", "bad", "in", "jre"}));

    EXPECT_EQ(run({"--name", "A", "--output", image, "--main-jar", "main.jar", "--replace"}), 0);
    EXPECT_FALSE(fs::exists(dir / "Img" / "mine.txt"));
    EXPECT_EQ(entries(), (std::vector<std::string>{"Img", "bad", "in", "jre"}));
}

// Regression: --replace deleted whatever was at the output, a folder of the
// user's files or an ordinary file, and reported "Packed".
TEST_F(PackagerTest, ReplacesOnlyAnImageItMade) {
    fs::create_directories(dir / "victim" / "app");
    writeBinaryFile(dir / "victim" / "thesis.txt", Bytes{'t'});
    writeBinaryFile(dir / "victim" / "app" / "A.cfg", Bytes{'x'});  // not written by the tool
    writeBinaryFile(dir / "notes.txt", Bytes{'n'});
    for (const auto& row : {std::make_pair("victim", "is a folder without NAME.exe, app\\NAME.cfg "
                                           "written by loftwick-pack and runtime\\"),
                            std::make_pair("notes.txt", "is a file")}) {
        const fs::path output = dir / row.first;
        EXPECT_EQ(run({"--name", "A", "--output", output.string(), "--main-jar", "main.jar",
                       "--replace"}), 1);
        EXPECT_EQ(err.str(), "loftwick-pack: \"" + output.string() + "\" " + row.second
                  + ": --replace replaces only an application image made by loftwick-pack; "
                    "move it away or choose another --output\n");
    }
    EXPECT_EQ(file(dir / "victim" / "thesis.txt"), "t");
    EXPECT_EQ(file(dir / "notes.txt"), "n");

    // It looks like an image, but the tool did not write its configuration.
    fs::create_directories(dir / "lookalike" / "app");
    fs::create_directories(dir / "lookalike" / "runtime");
    writeBinaryFile(dir / "lookalike" / "A.exe", Bytes{'M', 'Z'});
    writeBinaryFile(dir / "lookalike" / "app" / "A.cfg", bytesOf("[Application]\napp.mainjar=x.jar\n"));
    EXPECT_EQ(run({"--name", "A", "--output", (dir / "lookalike").string(), "--main-jar", "main.jar",
                   "--replace"}), 1);
    EXPECT_NE(err.str().find("--replace replaces only an application image made by loftwick-pack"),
              std::string::npos) << err.str();
    EXPECT_EQ(file(dir / "lookalike" / "app" / "A.cfg"), "[Application]\napp.mainjar=x.jar\n");
}

// Regression: links that led out of the input shipped the build machine's
// files, names Windows cannot hold were packed, and a pipe or a dangling
// link failed without a name.
TEST_F(PackagerTest, OneRuleForLinksSpecialFilesAndNames) {
    fs::create_directories(dir / "in" / "docs");
    writeBinaryFile(dir / "in" / "docs" / "readme.txt", Bytes{'r'});
    fs::create_directory_symlink("docs", dir / "in" / "manual");
    fs::create_symlink("../main.jar", dir / "in" / "lib" / "main-link.jar");
    ASSERT_EQ(run({"--name", "A", "--output", (dir / "Img").string(), "--main-jar", "main.jar"}), 0)
        << err.str();
    // Links inside the input are followed: the image holds plain copies.
    EXPECT_EQ(file(dir / "Img" / "app" / "manual" / "readme.txt"), "r");
    EXPECT_EQ(file(dir / "Img" / "app" / "lib" / "main-link.jar"), mainJar());
    EXPECT_FALSE(fs::is_symlink(dir / "Img" / "app" / "manual"));

    struct Row { std::function<void(const fs::path&)> make; std::string error; };
    const Row rows[] = {
        {[](const fs::path& in) { fs::create_symlink("/etc/hostname", in / "pw"); },
         "holds \"pw\", a link to \"/etc/hostname\" outside it"},
        {[](const fs::path& in) { fs::create_directory_symlink("/etc", in / "etc"); },
         "holds \"etc\", a link to \"/etc\" outside it"},
        {[](const fs::path& in) { fs::create_symlink("gone.jar", in / "lib" / "x.jar"); },
         "holds \"lib/x.jar\", a link to \"gone.jar\", which does not exist"},
        {[](const fs::path& in) { fs::create_directory_symlink("..", in / "lib" / "up"); },
         "holds \"lib/up\", a link to a folder that holds it"},
        {[](const fs::path& in) { mkfifo((in / "fifo").c_str(), 0600); },
         "holds \"fifo\", which is neither a file nor a folder (a pipe, socket or device)"},
        {[](const fs::path& in) { writeBinaryFile(in / "col:on", Bytes{}); },
         "holds \"col:on\", whose name holds ':', which Windows does not allow in file names"},
        {[](const fs::path& in) { writeBinaryFile(in / "trail.", Bytes{}); },
         "whose name ends with '.', which Windows drops from file names"},
        {[](const fs::path& in) { writeBinaryFile(in / "two\nlines", Bytes{}); },
         "whose name holds a control character"},
        {[](const fs::path& in) { writeBinaryFile(in / "lib" / "AUX.jar", Bytes{}); },
         "holds \"lib/AUX.jar\", whose name names the device AUX, which Windows reserves"},
        {[](const fs::path& in) { writeBinaryFile(in / "aux.tar.gz", Bytes{}); },
         "holds \"aux.tar.gz\", whose name names the device aux, which Windows reserves whatever the extension"},
        {[](const fs::path& in) { writeBinaryFile(in / "Com1.log.1", Bytes{}); },
         "whose name names the device Com1"},
        // A sibling whose name begins with the input's is outside it.
        {[](const fs::path& in) {
             fs::create_directories(in.parent_path() / "in2-secrets");
             writeBinaryFile(in.parent_path() / "in2-secrets" / "key", Bytes{'k'});
             fs::create_symlink("../in2-secrets/key", in / "key");
         },
         "holds \"key\", a link to"},
        {[](const fs::path& in) { writeBinaryFile(in / "Main.jar", Bytes{}); },
         "holds \"Main.jar\" and \"main.jar\", one name to Windows, which ignores letter case"},
        {[](const fs::path& in) { writeBinaryFile(in / "a.CFG", Bytes{}); },
         "the application directory already holds a.CFG, which the image's configuration would replace"},
    };
    for (const Row& row : rows) {
        fs::remove_all(dir / "in2");
        fs::copy(dir / "in", dir / "in2", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        row.make(dir / "in2");
        std::vector<std::string> args = {"--name", "a", "--output", (dir / "Img2").string(),
                                         "--main-jar", "main.jar", "--input", (dir / "in2").string()};
        out.str("");
        err.str("");
        args.insert(args.end(), {"--runtime", (dir / "jre").string(), "--launchers", LOFTWICK_T_LAUNCHERS});
        EXPECT_EQ(packCommand(args, "/nowhere/loftwick-pack", out, err), 1) << row.error;
        EXPECT_NE(err.str().find(row.error), std::string::npos) << err.str();
    }
    EXPECT_FALSE(fs::exists(dir / "Img2"));
}

// Regression: each of these was packed, and the runtime failed on the user's
// machine. Nothing is written for any of them.
TEST_F(PackagerTest, TheApplicationIsReadAsTheRuntimeWill) {
    const auto jar = [this](const std::string& name, const std::map<std::string, std::string>& files) {
        fs::create_directories((dir / "in" / name).parent_path());
        writeBinaryFile(dir / "in" / name, bytesOf(storedZip(files)));
    };
    const auto manifest = [](const std::string& attributes) {
        return "Manifest-Version: 1.0\r\n" + attributes + "\r\n";
    };
    writeBinaryFile(dir / "in" / "notzip.jar", bytesOf("PK not a zip"));
    jar("nomain.jar", {{"app/Main.class", classFile(61)}});
    jar("badmain.jar", {{"META-INF/MANIFEST.MF", manifest("Main-Class: app.Gone\r\n")}});
    jar("cp.jar", {{"META-INF/MANIFEST.MF", manifest("Main-Class: util.U\r\nClass-Path: lib/util.jar\r\n")}});
    jar("cpdir.jar", {{"META-INF/MANIFEST.MF", manifest("Main-Class: dir.M\r\nClass-Path: classes/\r\n")}});
    fs::create_directories(dir / "in" / "classes" / "dir");
    writeBinaryFile(dir / "in" / "classes" / "dir" / "M.class", bytesOf(classFile(61)));
    jar("mods/other.jar", {{"module-info.class", moduleInfo("other.mod")}});
    jar("hello/hello.jar", {{"module-info.class", moduleInfo("hello.mod")}});
    jar("new.jar", {{"app/Main.class", classFile(65)}, {"app/Other.class", classFile(65)}});
    jar("mr.jar", {{"META-INF/MANIFEST.MF", manifest("Multi-Release: true\r\n")},
                   {"app/Main.class", classFile(61)},
                   {"META-INF/versions/21/app/Main.class", classFile(65)}});
    std::ofstream(dir / "jre" / "release") << "JAVA_VERSION=\"17.0.4\"\n";

    struct Row { std::vector<std::string> args; std::string problem; };
    const std::string noWay = ": the runtime would stop with \"Could not find or load main class\"";
    const Row rows[] = {
        {{"--main-class", "app.Mian", "--class-path", "main.jar"},
         "the main class app.Mian is not in the class path (did you mean app.Main?)" + noWay},
        {{"--main-class", "other.Main", "--class-path", "main.jar"}, "(did you mean app.Main?)"},
        {{"--main-jar", "notzip.jar"}, "the main JAR \"notzip.jar\" is not a zip archive (a jar is one): "
         "the runtime cannot read it; build it with the jar tool"},
        {{"--main-jar", "nomain.jar"}, "the main JAR \"nomain.jar\" names no main class (its manifest "
         "has no Main-Class): build it with \"jar --main-class CLASS\", or give the main class and the "
         "class path instead"},
        {{"--main-jar", "badmain.jar"}, "the main class app.Gone is not in the main JAR \"badmain.jar\" "
         "and its Class-Path" + noWay},
        {{"--main-class", "app.Main", "--class-path", "main.jar", "--class-path", "gone.jar"},
         "the class path entry \"gone.jar\" does not exist: give a path inside the application directory"},
        {{"--main-module", "hello.mod/app.Main", "--module-path", "mods"},
         "no module path entry provides the main module hello.mod: the runtime would stop with "
         "\"Module hello.mod not found\""},
        {{"--main-module", "hello.mod/app.Main", "--module-path", "hello"},
         "the main class app.Main is not in the module hello.mod" + noWay},
        {{"--main-module", "hello.mod", "--module-path", "hello"}, "the main module hello.mod names no "
         "main class: the runtime would stop with \"module hello.mod does not have a ModuleMainClass attribute\""},
        {{"--main-class", "app.Main", "--class-path", "new.jar"},
         "2 problems; nothing was written:\n  the main class app.Main (Java 21, class file version 65) is "
         "compiled for a newer Java than the runtime's Java 17: compile with \"javac --release 17\"\n"
         "  1 class is compiled for a newer Java than the runtime's Java 17, such as app.Other (Java 21, "
         "class file version 65): compile with \"javac --release 17\""},
        {{"--main-jar", "main.jar", "--java-option", "Xmx512m"}, "the Java option \"Xmx512m\" does not "
         "begin with '-': the runtime would take it for the main class"},
        {{"--main-jar", "main.jar", "--java-option", "-Xmxx512m"}, "the Java option \"-Xmxx512m\" is not "
         "a size the runtime reads: -Xmx takes a number with an optional k, m, g or t, such as -Xmx512m"},
        {{"--main-jar", "main.jar", "--java-option", "-Xmx512m -Dnotes.mode=x"}, "the Java option "
         "\"-Xmx512m -Dnotes.mode=x\" holds two options: give each as an option of its own"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"--name", "A", "--output", (dir / "Img").string()};
        args.insert(args.end(), row.args.begin(), row.args.end());
        EXPECT_EQ(run(args), 1) << row.problem;
        EXPECT_NE(err.str().find(row.problem), std::string::npos) << err.str();
        EXPECT_EQ(entries(), (std::vector<std::string>{"in", "jre"}));
    }
    // Refused after the image was copied beside the output (the class
    // headers are read meanwhile): neither the copy nor a folder made for it stays.
    EXPECT_EQ(run({"--name", "A", "--output", (dir / "new" / "Img").string(), "--main-class", "app.Main",
                   "--class-path", "new.jar"}), 1);
    EXPECT_EQ(entries(), (std::vector<std::string>{"in", "jre"}));
    // What the runtime reads fine: a jar's Class-Path (a jar, a folder), a folder's jars, a
    // multi-release jar's newer classes, a property whose value holds " -".
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--main-jar", "cp.jar"}, {"--main-jar", "cpdir.jar"},
             {"--main-class", "util.U", "--class-path", "lib/*"},
             {"--main-class", "app.Main", "--class-path", "mr.jar", "--java-option", "-Dx=a -b"},
             // Entries packing cannot read here may hold the main class.
             {"--main-class", "app.Elsewhere", "--class-path", "main.jar", "--class-path", "$ROOTDIR/lib/x.jar"},
             {"--main-class", "app.Elsewhere", "--class-path", "C:\\lib\\x.jar", "--class-path", "main.jar"}}) {
        std::vector<std::string> all = {"--name", "A", "--output", (dir / "Img").string(), "--replace"};
        all.insert(all.end(), args.begin(), args.end());
        EXPECT_EQ(run(all), 0) << err.str();
    }
    // Fine for the image, refused later by the installer step: a warning.
    EXPECT_EQ(run({"--name", "A", "--output", (dir / "Img").string(), "--replace", "--main-jar", "main.jar",
                   "--app-version", "2.3.1.5"}), 0);
    EXPECT_EQ(err.str(), "loftwick-pack: warning: the version \"2.3.1.5\" has a fourth field, 5, which "
              "Windows Installer ignores when it compares versions: this installer could not replace 2.3.1 "
              "nor be replaced by it; give a version whose fourth field is 0; the installer step will "
              "refuse it unless given \"installer --app-version\"\n");
}

// A Linux runtime (lib/libjli.so, an x86-64 ELF library) makes a Linux
// image: bin/NAME, lib/app/NAME.cfg with '/' paths, lib/runtime.
TEST_F(PackagerTest, LinuxImage) {
    fs::create_directories(dir / "linux-jre" / "lib");
    std::string elf(64, '\0');
    elf.replace(0, 5, "\x7f" "ELF\x02");
    elf[18] = 0x3E;
    writeRuntime(dir / "linux-jre", true, elf);
    fs::create_directories(dir / "launchers");
    writeBinaryFile(dir / "launchers" / "loftwick-launcher", bytesOf("ELF launcher"));
    const auto packLinux = [&](const fs::path& runtime, const std::string& kind = "gui") {
        out.str("");
        err.str("");
        return packCommand({"--name", "A", "--input", (dir / "in").string(), "--runtime", runtime.string(),
                            "--output", (dir / "Linux").string(), "--main-class", "app.Main",
                            "--class-path", "main.jar", "--class-path", "lib/util.jar",
                            "--launchers", (dir / "launchers").string(), "--replace", "--kind", kind},
                           "/nowhere/loftwick-pack", out, err);
    };
    ASSERT_EQ(packLinux(dir / "linux-jre"), 0) << err.str();
    EXPECT_EQ(file(dir / "Linux" / "lib" / "app" / "A.cfg"),
              "; Written by loftwick-pack: the launcher reads lib/app/<its name>.cfg\n[Application]\n"
              "app.version=1.0\napp.classpath=$APPDIR/main.jar\napp.classpath=$APPDIR/lib/util.jar\n"
              "app.mainclass=app.Main\n");
    EXPECT_EQ(file(dir / "Linux" / "bin" / "A"), "ELF launcher");
    EXPECT_NE(fs::status(dir / "Linux" / "bin" / "A").permissions() & fs::perms::others_exec, fs::perms::none);
    EXPECT_TRUE(fs::exists(dir / "Linux" / "lib" / "runtime" / "lib" / "libjli.so"));
    EXPECT_FALSE(fs::exists(dir / "Linux" / "A.exe"));
    // A command-line tool's one launcher never shows a failure dialog.
    ASSERT_EQ(packLinux(dir / "linux-jre", "console"), 0) << err.str();
    EXPECT_NE(file(dir / "Linux" / "lib" / "app" / "A.cfg").find("\napp.failurebox=false\n"), std::string::npos);

    // A runtime for another system or processor is refused, saying so.
    elf[18] = static_cast<char>(0xB7);  // AArch64
    writeBinaryFile(dir / "linux-jre" / "lib" / "libjli.so", bytesOf(elf));
    EXPECT_EQ(packLinux(dir / "linux-jre"), 1);
    EXPECT_NE(err.str().find("is not for x86-64 Linux: its lib/libjli.so is not an x86-64 ELF library"),
              std::string::npos) << err.str();
    fs::rename(dir / "linux-jre" / "lib" / "libjli.so", dir / "linux-jre" / "lib" / "libjli.dylib");
    EXPECT_EQ(packLinux(dir / "linux-jre"), 1);
    EXPECT_NE(err.str().find("(it is one for macOS)"), std::string::npos) << err.str();
}

TEST_F(PackagerTest, RefusedInputs) {
    const std::string image = (dir / "Img").string();
    struct Row { std::vector<std::string> args; std::string error; };
    const std::string main = "--main-class=app.Main", cp = "--class-path=main.jar";
    const Row rows[] = {
        {{"--main-jar", "missing.jar"}, "the main JAR \"" + (dir / "in" / "missing.jar").string() + "\" does not exist"},
        {{main, cp, "--argument", "two\nlines"},
         "the argument \"two\nlines\" holds a line break or NUL, which the launcher configuration cannot carry"},
        {{main, cp, "--java-option", "-D\xFF"}, "the Java option \"-D\xFF\" is not valid UTF-8"},
        {{main, cp, "--java-option", "@jvm.opts"},
         "the Java option \"@jvm.opts\" names an argument file, which the runtime does not read "
         "when started by the launcher; give the options themselves"},
        // Everything at once, one a line.
        {{main, cp, "--class-path", "a;b"}, "2 problems; nothing was written:\n"
         "  the class path entry \"a;b\" holds ';', which separates the entries\n"
         "  the class path entry \"a;b\" does not exist: give a path inside the application directory"},
        // Regression: paths out of the image were written as $APPDIR\..\..
        {{"--main-jar", "lib/../../in/main.jar"}, "the main JAR \"lib/../../in/main.jar\" leads out of "
         "the application directory: give a path inside it, a directory macro such as $ROOTDIR, or an "
         "absolute Windows path"},
        {{main, cp, "--class-path", "/home/me/lib.jar"}, "the class path entry \"/home/me/lib.jar\" is "
         "a path of this machine, which the launcher would not find on a user's: name it relative to "
         "--input, or give an absolute Windows path such as C:\\Java\\lib.jar"},
        {{"--main-module", "m/M", "--module-path", "..\\mods"}, "the module path entry \"..\\mods\" leads out "
         "of the application directory: give a path inside it, a directory macro such as $ROOTDIR, or an "
         "absolute Windows path"},
        {{main, cp, "--app-version", "1.2.3.4.5"}, "the version \"1.2.3.4.5\" is not one to four numbers"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"--name", "A", "--output", image};
        args.insert(args.end(), row.args.begin(), row.args.end());
        EXPECT_EQ(run(args), 1);
        EXPECT_EQ(err.str(), "loftwick-pack: " + row.error + "\n");
    }
    // Regression: an output inside the input copied itself without end, and
    // replacing a directory that held the input deleted it.
    for (const fs::path& output : {dir / "in" / "dist", dir}) {
        EXPECT_EQ(run({"--name", "A", "--output", output.string(), "--main-jar", "main.jar", "--replace"}), 1);
        EXPECT_NE(err.str().find("lie inside one another"), std::string::npos) << err.str();
    }
    EXPECT_TRUE(fs::exists(dir / "in" / "main.jar"));
    fs::remove(dir / "jre" / "bin" / "jli.dll");
    EXPECT_EQ(run({"--name", "A", "--output", image, "--main-jar", "main.jar"}), 1);
    EXPECT_EQ(err.str(), "loftwick-pack: the Java runtime \"" + (dir / "jre").string()
              + "\" has neither bin\\jli.dll nor lib/libjli.so: it is not a runtime image for Windows or Linux\n");
    for (const char* name : {"con", "a/b", "trailing.", "Lpt1.txt"}) {
        EXPECT_EQ(run({"--name", name, "--output", image, "--main-jar", "main.jar"}), 1) << name;
    }
    EXPECT_EQ(entries(), (std::vector<std::string>{"in", "jre"}));
}

TEST_F(PackagerTest, CommandLine) {
    EXPECT_EQ(packCommand({"--help"}, "p", out, err), 0);
    EXPECT_NE(out.str().find("Exit codes: 0 the image was made"), std::string::npos);
    EXPECT_EQ(packCommand({"--version"}, "p", out, err), 0);
    struct Row { std::vector<std::string> args; std::string error; };
    const Row rows[] = {
        {{"--name", "A", "--output", "x", "--main-jar", "m", "--frobnicate"}, "unknown option \"--frobnicate\""},
        {{"--output", "x", "--main-jar", "m"}, "--name is required"},
        {{"--name", "A", "--output", "x"}, "give exactly one of --main-jar, --main-class and --main-module"},
        {{"--name", "A", "--output", "x", "--main-jar", "m", "--main-class", "C"},
         "give exactly one of --main-jar, --main-class and --main-module"},
        {{"--name", "A", "--output", "x", "--main-jar", "m", "--class-path", "c"}, "--class-path goes with --main-class"},
        {{"--name", "A", "--name=B", "--output", "x", "--main-jar", "m"}, "--name is given twice"},
        {{"--name", "A", "--output", "x", "--main-jar", "m", "--kind", "tui"}, "--kind is gui, console or both, not \"tui\""},
        {{"--name", "A", "--output", "x", "--main-jar", "m", "--replace=yes"}, "--replace takes no value"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(run(row.args), 2);
        EXPECT_EQ(err.str(), "loftwick-pack: " + row.error + "\n(--help lists the options)\n");
    }
    err.str("");
    EXPECT_EQ(packCommand({"--name", "A", "--main-jar"}, "p", out, err), 2);
    EXPECT_EQ(err.str(), "loftwick-pack: --main-jar needs a value\n(--help lists the options)\n");
}

} // namespace
