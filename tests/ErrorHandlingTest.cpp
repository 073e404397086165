#include <gtest/gtest.h>

#include "ErrorHandling.h"
#include "Log.h"
#include "TestSupport.h"
#include "WinSysHeaders.h"

namespace {

const char* const fileNotFound = "system error 2 (File not found)";

std::string sysErrorText(const char* message, const void* api, unsigned long code,
                         const char* label = "System error") {
    return SysError(tstrings::TextBuilder() << message, api, code, label).what();
}

TEST(ErrorHandlingTest, SysErrorMessageComposition) {
    const void* api = reinterpret_cast<const void*>(LoadLibraryW);
    EXPECT_EQ(sysErrorText("LoadLibraryW(x.dll) failed", api, 2),
              std::string("LoadLibraryW(x.dll) failed. System error [2](") + fileNotFound + ")");
    // After '.', ':' (once trailing blanks are gone) one blank is enough.
    EXPECT_EQ(sysErrorText("Stopped.  ", api, 2),
              std::string("Stopped. System error [2](") + fileNotFound + ")");
    EXPECT_EQ(sysErrorText("Reason:", api, 2),
              std::string("Reason: System error [2](") + fileNotFound + ")");
    EXPECT_EQ(sysErrorText("", api, 2), std::string("System error [2](") + fileNotFound + ")");
    EXPECT_EQ(sysErrorText("x", nullptr, 2, nullptr),
              std::string("x. Some error [2](") + fileNotFound + ")");
    // Regression: the system's placeholder showed ("Bad EXE format for %1").
    EXPECT_EQ(sysErrorText("x", api, ERROR_BAD_EXE_FORMAT).find('%'), std::string::npos)
        << sysErrorText("x", api, ERROR_BAD_EXE_FORMAT);
    EXPECT_EQ(sysErrorText("x", api, 4294967295UL),
              "x. System error [4294967295](system error 4294967295 (No description available))");
}

TEST(ErrorHandlingTest, SysErrorWithoutModuleEndsAfterTheCode) {
    int onStack = 0;  // an address that no module contains
    EXPECT_EQ(sysErrorText("x", &onStack, 2), "x. System error [2]");
}

TEST(ErrorHandlingTest, ChainMessages) {
    EXPECT_EQ(chainMessages("first", "second"), "first. second");
    EXPECT_EQ(chainMessages("first;", " second "), "first; second");
    EXPECT_EQ(chainMessages("first?\t\n", "second"), "first? second");
    EXPECT_EQ(chainMessages("  ", "second"), "second");
    EXPECT_EQ(chainMessages("first", " \t"), "first");
    EXPECT_EQ(chainMessages("", ""), "");
    // Bytes of 0x80 and above are never white space.
    EXPECT_EQ(chainMessages("first\xA0", "x"), "first\xA0. x");
}

TEST(ErrorHandlingTest, TarnErrorKeepsPlainAndDecoratedText) {
    const SourceLocation loc = {"C:/src\\share/JvmLauncher.cpp",
                                "void Jvm::launch()", 213};
    const TarnError<std::runtime_error> e = makeError("Failed to launch JVM", loc);
    EXPECT_STREQ(e.rawMessage(), "Failed to launch JVM");
    EXPECT_STREQ(e.what(), "JvmLauncher.cpp(213) at Jvm::launch(): Failed to launch JVM");

    const SourceLocation bare = {"WinSysInfo.cpp",
        "tstring SysInfo::{anonymous}::getModulePath(HMODULE)", 92};
    EXPECT_STREQ(makeError(std::string("m"), bare).what(),
                 "WinSysInfo.cpp(92) at SysInfo::{anonymous}::getModulePath(): m");
    EXPECT_STREQ(makeError(tstrings::TextBuilder() << L"\u00E4", bare).rawMessage(),
                 "\xC3\xA4");
}

TEST(ErrorHandlingTest, QualifiedFunctionNames) {
    EXPECT_EQ(qualifiedFunctionName("Jvm::Jvm()"), "Jvm::Jvm");
    EXPECT_EQ(qualifiedFunctionName("virtual const char* TarnError<T>::what() const [with T = int]"),
              "TarnError<T>::what");
    EXPECT_EQ(qualifiedFunctionName("std::unique_ptr<Dll> {anonymous}::loadDll(const tstring&)"),
              "{anonymous}::loadDll");
    EXPECT_EQ(qualifiedFunctionName("main"), "main");
}

TEST(ErrorHandlingTest, ThrowMacroRecordsTheLocation) {
    try {
        TARN_THROW("boom", 77);
    } catch (const TarnErrorBase& e) {
        EXPECT_STREQ(e.rawMessage(), "boom");
        EXPECT_STREQ(dynamic_cast<const std::runtime_error&>(e).what(),
                     "ErrorHandlingTest.cpp(77) at {anonymous}::"
                     "ErrorHandlingTest_ThrowMacroRecordsTheLocation_Test::TestBody(): boom");
    }
}

TEST(ErrorHandlingTest, CrtErrorText) {
    errno = ENOENT;
    EXPECT_EQ(crtErrorText(), "No such file or directory");
}

} // namespace
