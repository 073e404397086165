#include <gtest/gtest.h>

#include "Dll.h"
#include "WinSysHeaders.h"
#include "ErrorHandling.h"
#include "TestSupport.h"
#include "Toolbox.h"

namespace {

TEST(DllTest, OwnedReferencesAndExports) {
    const tstring path = testing_support::standInRuntimeDir() + L"\\bin\\jli.dll";
    std::unique_ptr<Dll> dll(new Dll(tstrings::TextBuilder() << path));
    const DllFunction<void*> entry(*dll, tstrings::TextBuilder() << "JLI_Launch");
    EXPECT_NE(static_cast<void*>(entry), nullptr);
    EXPECT_EQ(dll->getFunction("Missing", false), nullptr);
    const Dll copy(*dll);
    dll.reset();
    // The copy's and the function's references keep the module loaded.
    EXPECT_NE(GetModuleHandleW(path.c_str()), nullptr);
    EXPECT_EQ(copy.getPath(), path);

    try {
        const DllFunction<void*> missing(copy, tstrings::TextBuilder() << "NoSuchExport");
        FAIL() << "no exception";
    } catch (const TarnErrorBase& e) {
        EXPECT_EQ(std::string(e.rawMessage()).rfind("GetProcAddress(" + testing_support::utf8(path)
                  + ", NoSuchExport) failed. System error [127](system error 127 (", 0), 0u)
            << e.rawMessage();
    }
}

TEST(DllTest, SystemLibraryAndLoadFailure) {
    const Dll kernel32(Dll::System(L"kernel32.dll"));
    EXPECT_NE(kernel32.getFunction("AddDllDirectory", false), nullptr);

    testing_support::TempDir dir;
    const tstring missing = dir / L"nothing.dll";
    try {
        const Dll dll(tstrings::TextBuilder() << missing);
        FAIL() << "no exception";
    } catch (const TarnErrorBase& e) {
        EXPECT_EQ(std::string(e.rawMessage()).rfind("LoadLibraryW(" + testing_support::utf8(missing)
                  + ") failed. System error [126](system error 126 (", 0), 0u) << e.rawMessage();
    }
}

TEST(DllTest, AtEndOfScopeRunsOnEveryPathAndSwallowsErrors) {
    int runs = 0;
    try {
        const auto a = atEndOfScope([&runs]() { ++runs; });
        const auto b = atEndOfScope([&runs]() { ++runs; throw std::runtime_error("x"); });
        throw 1;
    } catch (int) {
    }
    EXPECT_EQ(runs, 2);
}

} // namespace
