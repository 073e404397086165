// The rule that tells a missing module from a knowingly absent one, on
// classes described by hand.
#include <gtest/gtest.h>

#include "JdkPackages.h"
#include "RuntimeNeeds.h"

namespace {

AppClass cls(const std::string& name, std::vector<std::string> refs, std::vector<std::string> strings = {},
             const std::string& origin = "app.jar") {
    return {name, origin, {std::move(refs), std::move(strings)}};
}

// A Java 17 runtime of java.base alone, read from its MODULES list.
RuntimeContents baseOnly() {
    RuntimeContents r;
    r.release = 17;
    r.hasModuleList = true;
    r.modules = {"java.base"};
    return r;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) {
        all += l + "\n";
    }
    return all;
}

class RuntimeNeedsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!jdkReleaseKnown(17)) {
            GTEST_SKIP() << "the table was made without Java 17";
        }
    }
    RuntimeNeedsFindings needs(std::vector<AppClass> classes, const std::string& main = "app.Main",
                               std::set<std::string> absent = {}) {
        request.classes = std::move(classes);
        request.mainClass = main;
        request.runtime = &runtime;
        request.absentModules = std::move(absent);
        return runtimeNeeds(request);
    }
    RuntimeContents runtime = baseOnly();
    RuntimeNeedsRequest request;
};

} // namespace

// What the main class reaches is a problem, with one jlink line for every
// missing module; what nothing reaches, a warning; what is accepted, nothing.
TEST_F(RuntimeNeedsTest, ReachedUnreachedAndAccepted) {
    const std::vector<AppClass> app = {
        cls("app/Main", {"app/Db", "java/lang/Object"}),
        cls("app/Db", {"java/sql/DriverManager", "java/sql/Connection", "javax/naming/InitialContext"}),
        cls("app/Plugin", {"java/awt/Frame"}),
    };
    RuntimeNeedsFindings f = needs(app);
    ASSERT_EQ(f.problems.size(), 2u) << joined(f.problems);
    EXPECT_EQ(f.problems[0].rfind("app.Db refers to java.naming.InitialContext", 0), std::string::npos);
    EXPECT_NE(joined(f.problems).find("app.Db refers to java.sql.DriverManager (package java.sql), which is in "
                                      "module java.sql; the runtime lacks it (judged by its release file's "
                                      "MODULES alone"), std::string::npos) << joined(f.problems);
    EXPECT_NE(f.problems[0].find("\"jlink --add-modules java.base,java.naming,java.sql "), std::string::npos);
    ASSERT_EQ(f.warnings.size(), 1u) << joined(f.warnings);
    EXPECT_NE(f.warnings[0].find("nothing the main class uses reaches app.Plugin; add java.desktop"),
              std::string::npos);
    f = needs(app, "app.Main", {"java.sql", "java.naming", "java.desktop"});
    EXPECT_EQ(joined(f.problems) + joined(f.warnings), "");
    // Without a main class known, every class counts as used.
    EXPECT_EQ(needs(app, "").problems.size(), 3u);
}

// sun.misc.Unsafe from a library is behind a fallback; from the
// application's own jar it is not.
TEST_F(RuntimeNeedsTest, UnsafeFromALibraryIsAWarning) {
    RuntimeNeedsFindings f = needs({cls("app/Main", {"lib/Fast"}),
                                    cls("lib/Fast", {"sun/misc/Unsafe"}, {"sun.misc.SharedSecrets"}, "lib.jar")});
    EXPECT_TRUE(f.problems.empty()) << joined(f.problems);
    ASSERT_EQ(f.warnings.size(), 1u) << joined(f.warnings);
    EXPECT_NE(f.warnings[0].find("which libraries use behind a fallback"), std::string::npos);
    f = needs({cls("app/Main", {"sun/misc/Unsafe"})});
    EXPECT_EQ(f.problems.size(), 1u);
}

// Loaded by name: each kind once, and only on real evidence.
TEST_F(RuntimeNeedsTest, WhatIsLoadedByName) {
    RuntimeNeedsFindings f = needs({cls("app/Main", {"java/net/URL", "java/text/NumberFormat",
                                                     "java/nio/file/FileSystems"},
                                        {"https://example.org/api", "jar:file:/x.jar", "x-IBM930",
                                         "java.sql.DriverManager", "java.awt.headless", "1006", "Main"})});
    const std::string all = joined(f.warnings);
    EXPECT_TRUE(f.problems.empty()) << joined(f.problems);
    for (const char* module : {"jdk.crypto.ec", "jdk.localedata", "jdk.zipfs", "jdk.charsets", "java.sql"}) {
        EXPECT_NE(all.find(std::string("--absent-module ") + module), std::string::npos) << module << "\n" << all;
    }
    EXPECT_EQ(all.find("headless"), std::string::npos);  // a property name, not a class
    EXPECT_EQ(f.warnings.size(), 5u) << all;
    // An address in a message of a class that opens no connection is no TLS.
    f = needs({cls("app/Main", {}, {"https://example.org/help"})});
    EXPECT_TRUE(f.warnings.empty()) << joined(f.warnings);
}

// A runtime that holds every module of its release is not read at all; one
// of a release the table lacks is said to be unknown, not guessed.
TEST_F(RuntimeNeedsTest, FullAndUnknownRuntimes) {
    const std::vector<std::string> all = jdkModules(17);
    runtime.modules.insert(all.begin(), all.end());
    EXPECT_FALSE(runtimeMayLackModules(runtime));
    runtime = RuntimeContents();
    runtime.release = 16;
    runtime.hasPackages = true;
    runtime.packages = {{"java.lang", "java.base"}};
    const RuntimeNeedsFindings f = needs({cls("app/Main", {"java/sql/Date"})});
    ASSERT_EQ(f.warnings.size(), 1u);
    EXPECT_NE(f.warnings[0].find("Java 16, an unknown release for the module check"), std::string::npos);
    EXPECT_TRUE(f.problems.empty());
}

// A runtime made to measure: what is referred to, and what is warned about
// unless told otherwise.
TEST_F(RuntimeNeedsTest, ModulesForARuntimeMadeToMeasure) {
    request.classes = {cls("app/Main", {"java/sql/Date", "javax/net/ssl/SSLContext"}),
                       cls("app/Unused", {"java/awt/Frame"})};
    request.mainClass = "app.Main";
    runtime = RuntimeContents();
    runtime.release = 17;
    request.runtime = &runtime;
    EXPECT_EQ(modulesNeeded(request, false), (std::set<std::string>{"java.base", "java.sql"}));
    EXPECT_EQ(modulesNeeded(request, true),
              (std::set<std::string>{"java.base", "java.desktop", "java.sql", "jdk.crypto.ec"}));
}
