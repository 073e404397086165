// The built launcher carries its manifest and version information.
#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "WinSysHeaders.h"

namespace {

std::string manifestOf(const tstring& exe) {
    const HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        return std::string();
    }
    std::string text;
    if (HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        const HGLOBAL data = LoadResource(module, res);
        text.assign(static_cast<const char*>(LockResource(data)), SizeofResource(module, res));
    }
    FreeLibrary(module);
    return text;
}

std::wstring versionString(const std::vector<char>& info, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(info.data(), key.c_str(), &value, &length) || !value) {
        return std::wstring();
    }
    return static_cast<const wchar_t*>(value);
}

TEST(LauncherResourcesTest, Manifest) {
    const std::string manifest = manifestOf(testing_support::launcherExe());
    for (const char* part : {
             "level=\"asInvoker\"",
             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
             ">PerMonitorV2</dpiAwareness>", ">true</longPathAware>",
             "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""}) {
        EXPECT_NE(manifest.find(part), std::string::npos) << part << "\n" << manifest;
    }
}

TEST(LauncherResourcesTest, VersionInformation) {
    const tstring exe = testing_support::launcherExe();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
    EXPECT_EQ(versionString(info, L"ProductName"), L"Loftwick launcher");
    EXPECT_EQ(versionString(info, L"FileVersion"), LOFTWICK_TEST_VERSION);
    EXPECT_EQ(versionString(info, L"ProductVersion"), LOFTWICK_TEST_VERSION);
    EXPECT_FALSE(versionString(info, L"FileDescription").empty());
}

} // namespace
