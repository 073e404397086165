#include <gtest/gtest.h>

#include "FileUtils.h"
#include "TestSupport.h"
#include "WinSysHeaders.h"

namespace {

struct Row {
    tstring in;
    tstring expected;
};

template <class F>
void checkTable(F f, std::initializer_list<Row> rows) {
    for (const Row& row : rows) {
        SCOPED_TRACE(tstrings::encodeUtf8(row.in));
        EXPECT_EQ(f(row.in), row.expected);
    }
}

TEST(FileUtilsTest, Basename) {
    checkTable(FileUtils::basename, {
        {L"C:\\a\\b.exe", L"b.exe"}, {L"C:\\a\\", L""}, {L"b.exe", L"b.exe"},
        {L"C:/a/b", L"b"}, {L"", L""}, {L"C:\\a/b\\c", L"c"},
    });
}

TEST(FileUtilsTest, Dirname) {
    checkTable(FileUtils::dirname, {
        {L"C:\\a\\b\\c.exe", L"C:\\a\\b"}, {L"C:\\a\\b\\", L"C:\\a\\b"},
        {L"C:\\a\\\\b", L"C:\\a"}, {L"C:\\foo", L"C:"}, {L"\\foo", L""}, {L"foo", L""},
        {L"C:\\a\\b\\.", L"C:\\a"}, {L"C:/a/b/.", L"C:/a"}, {L"", L""}, {L"\\.", L""},
        {L"\\\\server\\share\\x", L"\\\\server\\share"},
    });
}

TEST(FileUtilsTest, RemoveTrailingSlash) {
    checkTable(FileUtils::removeTrailingSlash, {
        {L"C:\\a\\/", L"C:\\a"}, {L"\\\\", L""}, {L"", L""}, {L"C:\\a", L"C:\\a"},
    });
}

TEST(FileUtilsTest, StripExeSuffix) {
    checkTable(FileUtils::stripExeSuffix, {
        {L"Foo.exe", L"Foo"}, {L"my.app.exe", L"my.app"}, {L"Foo", L"Foo"},
        {L".exe", L""}, {L"dir.d\\Foo", L"dir.d\\Foo"}, {L"dir.d/Foo", L"dir.d/Foo"},
    });
}

TEST(FileUtilsTest, JoinPath) {
    struct JoinRow { tstring a, b, expected; };
    const JoinRow rows[] = {
        {L"C:\\a", L"b", L"C:\\a\\b"}, {L"C:\\a\\", L"\\b", L"C:\\a\\b"},
        {L"C:\\", L"x", L"C:\\x"}, {L"C:\\a", L"\\\\b", L"C:\\a\\\\b"},
        {L"", L"/x", L"/x"}, {L"C:\\a", L"", L"C:\\a"}, {L"C:/a//", L"/b", L"C:/a\\b"},
    };
    for (const JoinRow& row : rows) {
        SCOPED_TRACE(tstrings::encodeUtf8(row.a + L" + " + row.b));
        EXPECT_EQ(FileUtils::joinPath(row.a, row.b), row.expected);
    }
}

TEST(FileUtilsTest, FileSystemQueries) {
    testing_support::TempDir dir;
    EXPECT_TRUE(FileUtils::isFileExists(dir.path()));
    EXPECT_FALSE(FileUtils::isFileExists(dir / L"missing"));
    testing_support::writeFile(dir / L"f.txt", "x");
    EXPECT_TRUE(FileUtils::isFileExists(dir / L"f.txt"));

    wchar_t cwd[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    EXPECT_EQ(FileUtils::toAbsolutePath(L""), tstring(cwd));
    EXPECT_EQ(FileUtils::toAbsolutePath(dir / L"a\\..\\b"), dir / L"b");
    EXPECT_EQ(FileUtils::toAbsolutePath(L"a\\..\\b"), FileUtils::joinPath(cwd, L"b"));
}

} // namespace
