// The application check against what OpenJDK 17's "java" does with the
// same jars: what it starts is never refused, what it refuses is found,
// and a jar made to exhaust memory is refused without being read.
#include <gtest/gtest.h>

#include <fstream>

#include "AppCheck.h"
#include "JarFixtures.h"

namespace fs = std::filesystem;

namespace {

typedef std::vector<std::pair<std::string, std::string>> Entries;

class AppCheckTest : public ::testing::Test {
protected:
    AppCheckTest()
        : dir(fs::temp_directory_path()
              / ("loftwick-appcheck-test-" + std::string(
                    ::testing::UnitTest::GetInstance()->current_test_info()->name()))) {
        fs::remove_all(dir);
        fs::create_directories(dir / "jre");
        std::ofstream(dir / "jre" / "release") << "JAVA_VERSION=\"17.0.4\"\n";
    }
    ~AppCheckTest() override { fs::remove_all(dir); }

    void write(const std::string& name, const std::string& bytes) {
        fs::create_directories((dir / fs::u8path(name)).parent_path());
        std::ofstream(dir / fs::u8path(name), std::ios::binary) << bytes;
    }

    static std::string manifest(const std::string& attributes) {
        return "Manifest-Version: 1.0\r\n" + attributes + "\r\n";
    }

    // The problems of starting `mainClass` (or the main jar's) from `classPath`.
    std::vector<std::string> check(const std::string& mainJar, const std::string& mainClass = "",
                                   const std::vector<std::string>& classPath = {}) {
        AppCheckRequest r;
        r.runtime = dir / "jre";
        r.mainClass = mainClass;
        if (!mainJar.empty()) {
            r.mainJar = {mainJar, dir / fs::u8path(mainJar)};
        }
        for (const std::string& entry : classPath) {
            r.classPath.push_back({entry, entry.empty() ? fs::path() : dir / fs::u8path(entry)});
        }
        return checkApplication(r);
    }

    fs::path dir;
};

std::string joined(const std::vector<std::string>& problems) {
    std::string text;
    for (const std::string& p : problems) {
        text += p + "\n";
    }
    return text;
}

TEST_F(AppCheckTest, ClassPathEntriesAreUrls) {
    write("my lib.jar", storedZip({{"app/Main.class", classFile(61)}}));
    write("lib/caf\xC3\xA9.jar", storedZip({{"app/Other.class", classFile(61)}}));
    write("main.jar", storedZip({{"META-INF/MANIFEST.MF",
                                  manifest("Main-Class: app.Main\r\nClass-Path: my%20lib.jar lib/caf%C3%A9.jar\r\n")}}));
    EXPECT_EQ(joined(check("main.jar")), "");
    EXPECT_EQ(joined(check("", "app.Other", {"main.jar"})), "");
    // Undecodable, or of another scheme: skipped, as the runtime skips them.
    write("broken.jar", storedZip({{"META-INF/MANIFEST.MF",
                                    manifest("Main-Class: app.Main\r\nClass-Path: my%2 http://x/my%20lib.jar\r\n")}}));
    EXPECT_NE(joined(check("broken.jar")).find("the main class app.Main is not in"), std::string::npos);
    write("file.jar", storedZip({{"META-INF/MANIFEST.MF",
                                  manifest("Main-Class: app.Main\r\nClass-Path: file:my%20lib.jar\r\n")}}));
    EXPECT_EQ(joined(check("file.jar")), "");
}

// `jar` wraps any manifest line past 72 bytes onto lines that start with
// one space.
TEST_F(AppCheckTest, ContinuationLines) {
    const std::string longClass = "com.example.a.very.long.package.name.that.goes.on.and.on.app.MainWindow";
    const std::string resource = "com/example/a/very/long/package/name/that/goes/on/and/on/app/MainWindow.class";
    write("lib/a-library-with-a-long-name-1.0.jar", storedZip({{resource, classFile(61)}}));
    write("wrapped.jar", storedZip({{"META-INF/MANIFEST.MF", manifest(
        "Main-Class: " + longClass.substr(0, 58) + "\r\n " + longClass.substr(58) + "\r\n"
        "Class-Path: lib/other.jar lib/a-library-with-a-long-name\r\n -1.0.jar\r\n")}}));
    EXPECT_EQ(joined(check("wrapped.jar")), "");
    write("wrapped-lf.jar", storedZip({{"META-INF/MANIFEST.MF", "Main-Class: " + longClass.substr(0, 20) + "\n "
                                        + longClass.substr(20, 30) + "\n " + longClass.substr(50) + "\n"
                                        "Class-Path: lib/a-library-with-a-long-name-1.0.jar\n\n"}}));
    EXPECT_EQ(joined(check("wrapped-lf.jar")), "");
}

TEST_F(AppCheckTest, AJarWithACommentIsReadToo) {
    write("commented.jar", storedZipOf({{"META-INF/MANIFEST.MF", manifest("Main-Class: app.Main\r\n")},
                                        {"app/Main.class", classFile(61)}},
                                       "built by a tool that signs its archives \x50\x4b\x05\x06 with a comment"));
    EXPECT_EQ(joined(check("commented.jar")), "");
}

TEST_F(AppCheckTest, TwoManifestsAreAmbiguous) {
    write("two.jar", storedZipOf({{"META-INF/MANIFEST.MF", manifest("Main-Class: app.Gone\r\n")},
                                  {"app/Main.class", classFile(61)},
                                  {"META-INF/MANIFEST.MF", manifest("Main-Class: app.Main\r\n")}}));
    const std::string problems = joined(check("two.jar"));
    EXPECT_EQ(problems, "the main JAR \"two.jar\" holds META-INF/MANIFEST.MF twice (entries 1 and 3 of its "
                        "directory): the runtime reads the last, other tools the first; build it again with the "
                        "jar tool\n");
    EXPECT_NE(joined(check("", "app.Main", {"two.jar"})).find("twice (entries 1 and 3"), std::string::npos);
    // A manifest in other letters is found, as the runtime finds it.
    write("lower.jar", storedZipOf({{"meta-inf/manifest.mf", manifest("Main-Class: app.Main\r\n")},
                                    {"app/Main.class", classFile(61)}}));
    EXPECT_EQ(joined(check("lower.jar")), "");
}

TEST_F(AppCheckTest, VersionFoldersAreTheRuntimesOwn) {
    const auto mr = [this](const std::string& folder) {
        write("mr.jar", storedZip({{"META-INF/MANIFEST.MF", manifest("Multi-Release: TRUE\r\n")},
                                   {"META-INF/versions/" + folder + "/app/Main.class", classFile(61)}}));
        return joined(check("", "app.Main", {"mr.jar"}));
    };
    EXPECT_EQ(mr("9"), "");
    EXPECT_EQ(mr("17"), "");
    for (const char* notAVersion : {"+9", "09", "9a", "8", "18", "0", "-9", " 9"}) {
        EXPECT_NE(mr(notAVersion).find("the main class app.Main is not in"), std::string::npos) << notAVersion;
    }
}

// A 938-byte jar can claim a manifest of gigabytes: the claim is refused,
// never allocated.
TEST_F(AppCheckTest, ClaimsBeyondAnyRealEntryAreRefused) {
    std::string jar = storedZip({{"META-INF/MANIFEST.MF", manifest("Main-Class: app.Main\r\n")},
                                 {"app/Main.class", classFile(61)}});
    const size_t central = jar.find("PK\x01\x02");
    for (const uint32_t claim : {0x60000000u, 0xFFFFFFFFu}) {
        for (int i = 0; i < 4; ++i) {
            jar[central + 24 + static_cast<size_t>(i)] = static_cast<char>((claim >> (8 * i)) & 0xFF);
        }
        write("huge.jar", jar);
        EXPECT_EQ(joined(check("huge.jar")), "the manifest of the main JAR \"huge.jar\" claims "
                                                 + std::to_string(claim) + " bytes, more than any real one (8388608 "
                                                 "bytes)\n");
    }
    std::string module = storedZip({{"module-info.class", moduleInfo("big.mod")}});
    const size_t entry = module.find("PK\x01\x02");
    module[entry + 24] = module[entry + 25] = module[entry + 26] = module[entry + 27] = '\xFF';
    write("mods/big.jar", module);
    AppCheckRequest r;
    r.mainModule = "big.mod";
    r.modulePath = {{"mods", dir / "mods"}};
    EXPECT_NE(joined(checkApplication(r)).find("claims 4294967295 bytes, more than any real one (1048576 bytes)"),
              std::string::npos);
}

TEST_F(AppCheckTest, JavaEightRuntimes) {
    std::ofstream(dir / "jre" / "release") << "IMPLEMENTOR=\"Someone\"\nJAVA_VERSION=\"1.8.0_402\"\n";
    EXPECT_EQ(runtimeRelease(dir / "jre"), 8u);
    write("eight.jar", storedZip({{"app/Main.class", classFile(52)}}));
    EXPECT_EQ(joined(check("", "app.Main", {"eight.jar"})), "");
    write("nine.jar", storedZip({{"app/Main.class", classFile(53)}}));
    EXPECT_EQ(joined(check("", "app.Main", {"nine.jar"})),
              "the main class app.Main (Java 9, class file version 53) is compiled for a newer Java than the "
              "runtime's Java 8: compile with \"javac --release 8\"\n");
}

TEST_F(AppCheckTest, HeapAndStackSizes) {
    for (const char* good : {"-Xmx900m", "-Xss1999k", "-Xms4G", "-Xmx1", "-Xmx0123456789", "-Xms2g", "-Xss512K",
                             "-Xmx1t", "-Xmx3T", "-Xmx64M"}) {
        EXPECT_EQ(javaOptionProblem(good), "") << good;
    }
    for (const char* bad : {"-Xmx", "-Xmxm", "-Xmx1q", "-Xmx1.5g", "-Xmx1mb", "-Xss-1k", "-Xms 4G", "-Xmx1 "}) {
        EXPECT_NE(javaOptionProblem(bad), "") << bad;
    }
}

// Each kind of one-letter slip in a main class's name is suggested.
TEST_F(AppCheckTest, DidYouMeanEachSlip) {
    write("app.jar", storedZip({{"com/acme/Main.class", classFile(61)}, {"com/acme/Other.class", classFile(61)}}));
    for (const char* slip : {"com.acme.Man", "com.acme.Maain", "com.acme.Mein", "com.acme.Mian", "com.acmeMain",
                             "Com.acme.Main"}) {
        EXPECT_NE(joined(check("", slip, {"app.jar"})).find("(did you mean com.acme.Main?)"), std::string::npos)
            << slip;
    }
    EXPECT_EQ(joined(check("", "com.acme.Mn", {"app.jar"})).find("did you mean"), std::string::npos);
}

// Past a thousand classes, threads share the reading: every class is read
// once, whichever thread takes it and in whatever order, across jars and
// folders.
TEST_F(AppCheckTest, ManyClassesAreEachReadOnce) {
    // All newer than the runtime but the main class: the count shows any
    // class skipped or read twice.
    std::vector<std::pair<std::string, std::string>> first, second;
    for (int i = 0; i < 3000; ++i) {
        (i % 3 ? first : second).push_back({"p" + std::to_string(i % 40) + "/C" + std::to_string(i) + ".class",
                                            classFile(65)});
    }
    first.push_back({"app/Main.class", classFile(61)});
    write("a.jar", storedZipOf(first));
    write("b.jar", storedZipOf(second));
    write("classes/a/Folder.class", classFile(66));
    EXPECT_EQ(joined(check("", "app.Main", {"a.jar", "b.jar", "classes"})),
              "3001 classes are compiled for a newer Java than the runtime's Java 17, such as a.Folder (Java 22, "
              "class file version 66), p0.C0 (Java 21, class file version 65), p0.C1000 (Java 21, class file "
              "version 65): compile with \"javac --release 17\"\n");
}

// Of the classes of one name, the runtime loads the first on the path, a
// multi-release jar's version of it included: the others are never read.
TEST_F(AppCheckTest, TheFirstClassOfANameIsTheOneRead) {
    write("mr.jar", storedZip({{"META-INF/MANIFEST.MF", manifest("Multi-Release: true\r\n")},
                               {"p/M.class", classFile(65)},
                               {"META-INF/versions/11/p/M.class", classFile(61)}}));
    write("a.jar", storedZip({{"app/Main.class", classFile(61)}, {"p/C.class", classFile(61)},
                              {"p/M.class", classFile(66)}}));
    write("b.jar", storedZip({{"p/C.class", classFile(65)}, {"q/D.class", classFile(65)}}));
    write("classes/p/C.class", classFile(66));
    write("classes/q/D.class", classFile(66));
    write("classes/r/E.class", classFile(66));
    EXPECT_EQ(joined(check("", "app.Main", {"mr.jar", "a.jar", "b.jar", "classes"})),
              "2 classes are compiled for a newer Java than the runtime's Java 17, such as q.D (Java 21, class "
              "file version 65), r.E (Java 22, class file version 66): compile with \"javac --release 17\"\n");
}

// A class path entry that cannot be read here (a macro, another system's
// absolute path) may hold the main class: never a reason to refuse it.
TEST_F(AppCheckTest, EntriesThatCannotBeReadHere) {
    write("app.jar", storedZip({{"app/Other.class", classFile(61)}}));
    EXPECT_EQ(joined(check("", "app.Main", {"app.jar", ""})), "");
}

} // namespace
