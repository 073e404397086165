// Windows itself reads what loftwick-pack stamped: the version strings and
// every icon size. Runs on the packed launcher named by LOFTWICK_T_LAUNCHER
// (the packed-image entry of the native tests), skipped otherwise.
#include <gtest/gtest.h>

#include <vector>

#include "SysInfo.h"
#include "TestSupport.h"
#include "WinSysHeaders.h"

namespace {

class PackedLauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (SysInfo::getEnvVariable(std::nothrow, L"LOFTWICK_T_LAUNCHER", L"").empty()) {
            GTEST_SKIP() << "runs on a packed launcher";
        }
    }
    const tstring exe = testing_support::launcherExe();
};

TEST_F(PackedLauncherTest, VersionStrings) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe.c_str(), 0, size, info.data()));
    struct Row { const wchar_t* key; const wchar_t* value; };
    for (const Row& row : {Row{L"FileDescription", L"Packed \u00C9dition"}, Row{L"CompanyName", L"Acme"},
                           Row{L"ProductName", L"Packed"}, Row{L"FileVersion", L"3.2.1"},
                           Row{L"OriginalFilename", L"Packed.exe"}, Row{L"InternalName", L"Packed"}}) {
        void* value = nullptr;
        UINT length = 0;
        const tstring key = tstring(L"\\StringFileInfo\\040904B0\\") + row.key;
        ASSERT_TRUE(VerQueryValueW(info.data(), key.c_str(), &value, &length)) << row.key;
        EXPECT_EQ(tstring(static_cast<const wchar_t*>(value)), row.value);
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00030002u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00010000u);
}

// The icon file holds 16, 32 and 48 pixel bitmaps and a 256 pixel PNG.
TEST_F(PackedLauncherTest, EveryIconSize) {
    EXPECT_EQ(ExtractIconExW(exe.c_str(), -1, nullptr, nullptr, 0), 1u);
    const HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module);
    const HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));
    ASSERT_TRUE(group);
    auto* dir = static_cast<BYTE*>(LockResource(LoadResource(module, group)));
    const int sizes[] = {16, 32, 48, 256};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(sizes[i]);
        EXPECT_EQ(LookupIconIdFromDirectoryEx(dir, TRUE, sizes[i], sizes[i], LR_DEFAULTCOLOR), i + 1);
        const HANDLE icon = LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, sizes[i], sizes[i], 0);
        ASSERT_TRUE(icon);
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(static_cast<HICON>(icon), &info));
        BITMAP bitmap = {};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
        EXPECT_EQ(bitmap.bmWidth, sizes[i]);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(static_cast<HICON>(icon));
    }
    FreeLibrary(module);
}

} // namespace
