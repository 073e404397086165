// The Linux package steps' own readers and rules, natively: what a wrong
// byte or a wrong comparison would get past dpkg-deb and rpmbuild. The
// packages themselves are checked by linux_package_checks.py.
#include <gtest/gtest.h>

#include <zlib.h>

#include "ElfFile.h"
#include "HicolorIcons.h"
#include "IconFile.h"
#include "LibraryPackages.h"
#include "LinuxPackage.h"
#include "PackError.h"
#include "ProductFile.h"

namespace {

TEST(LinuxPackageTest, VersionsEachFormatCanCarry) {
    const auto deb = LinuxPackageRequest::Deb, rpm = LinuxPackageRequest::Rpm;
    for (const char* good : {"1", "1.2.3", "2.0~rc1", "1.0+git5", "10.4.1b"}) {
        EXPECT_EQ(linuxVersionProblem(good, deb), "") << good;
        EXPECT_EQ(linuxVersionProblem(good, rpm), "") << good;
    }
    for (const char* bad : {"", "v2", "1.0-beta", "1.0 beta", "1.0/2"}) {
        EXPECT_NE(linuxVersionProblem(bad, deb), "") << bad;
        EXPECT_NE(linuxVersionProblem(bad, rpm), "") << bad;
    }
    EXPECT_NE(linuxVersionProblem("1.0_2", deb), "");
    EXPECT_EQ(linuxVersionProblem("1.0_2", rpm), "");
}

TEST(LinuxPackageTest, DependenciesFromWhatTheFilesNeed) {
    LibraryNeeds needs;
    ElfLinks a, b;
    a.needed = {"libc.so.6", "libX11.so.6", "libasound.so.2"};
    a.versionsNeeded["libc.so.6"] = {"GLIBC_2.9", "GLIBC_2.2.5"};
    b.needed = {"libm.so.6", "libfoo.so.1"};
    b.versionsNeeded["libm.so.6"] = {"GLIBC_2.29"};  // newer than 2.9, though it sorts before
    addNeeds(needs, a);
    addNeeds(needs, b);
    std::vector<std::string> unknown;
    EXPECT_EQ(debianDepends(needs, {}, unknown),
              (std::vector<std::string>{"libc6 (>= 2.29)", "libasound2t64 | libasound2", "libx11-6"}));
    EXPECT_EQ(unknown, std::vector<std::string>{"libfoo.so.1"});
    unknown.clear();
    EXPECT_EQ(debianDepends(needs, {{"libfoo.so.1", "libfoo1"}}, unknown).back(), "libx11-6");
    EXPECT_TRUE(unknown.empty());
    const std::vector<std::string> requires = rpmRequires(needs);
    EXPECT_NE(std::find(requires.begin(), requires.end(), "libc.so.6(GLIBC_2.9)(64bit)"), requires.end());
    EXPECT_NE(std::find(requires.begin(), requires.end(), "libfoo.so.1()(64bit)"), requires.end());
}

TEST(LinuxPackageTest, ElfFilesCutShortAreRefusedNotRead) {
    Bytes elf(64, 0);
    elf[0] = 0x7f, elf[1] = 'E', elf[2] = 'L', elf[3] = 'F', elf[4] = 2, elf[5] = 1;
    EXPECT_TRUE(readElfLinks(elf, "x").needed.empty());  // no sections at all
    elf[0x28] = 0x40, elf[0x3A] = 64, elf[0x3C] = 3;       // three section headers past the end
    EXPECT_THROW(readElfLinks(elf, "x"), PackError);
    elf[4] = 1;                                            // 32-bit
    EXPECT_THROW(readElfLinks(elf, "x"), PackError);
}

// The pixel at (x, y) of an RGBA PNG this tool wrote, rows top down.
std::vector<uint8_t> pixel(const Bytes& png, unsigned size, unsigned x, unsigned y) {
    const uint32_t length = png[33] << 24 | png[34] << 16 | png[35] << 8 | png[36];
    EXPECT_EQ(std::string(png.begin() + 37, png.begin() + 41), "IDAT");
    Bytes raw((size * 4 + 1) * size);
    uLongf rawSize = raw.size();
    EXPECT_EQ(uncompress(raw.data(), &rawSize, png.data() + 41, length), Z_OK);
    const size_t at = y * (size * 4 + 1) + 1 + x * 4;
    return {raw[at], raw[at + 1], raw[at + 2], raw[at + 3]};
}

TEST(LinuxPackageTest, IconBitmapsBecomePngTheRightWayUp) {
    // A 16x16 24-bit bitmap, stored bottom up: its first row (the picture's
    // last) red, everything else blue; the mask hides the picture's top-left pixel.
    const unsigned size = 16, stride = 48, maskStride = 4;
    Bytes dib(40 + stride * size + maskStride * size, 0);
    const uint8_t header[] = {40, 0, 0, 0, 16, 0, 0, 0, 32, 0, 0, 0, 1, 0, 24, 0};
    std::copy(std::begin(header), std::end(header), dib.begin());
    for (unsigned y = 0; y < size; ++y) {
        for (unsigned x = 0; x < size; ++x) {
            uint8_t* p = &dib[40 + y * stride + x * 3];
            p[0] = y == 0 ? 0 : 255;   // blue
            p[2] = y == 0 ? 255 : 0;   // red
        }
    }
    dib[40 + stride * size + (size - 1) * maskStride] = 0x80;
    IconImage image;
    image.width = image.height = 16;
    image.bitCount = 24;
    image.data = dib;
    const auto icons = hicolorIcons(iconFile({image}), "icon");
    ASSERT_EQ(icons.size(), 1u);
    const Bytes& png = icons.at(16);
    EXPECT_EQ(pixel(png, size, 0, 0), (std::vector<uint8_t>{0, 0, 255, 0}));
    EXPECT_EQ(pixel(png, size, 1, 0), (std::vector<uint8_t>{0, 0, 255, 255}));
    EXPECT_EQ(pixel(png, size, 5, 15), (std::vector<uint8_t>{255, 0, 0, 255}));

    image.width = image.height = 20;  // no theme folder of that size
    EXPECT_THROW(hicolorIcons(iconFile({image}), "icon"), PackError);
}

TEST(LinuxPackageTest, ProductFileKeepsEachValueOnItsLine) {
    Product p;
    p.name = "Notes";
    p.version = "1.0";
    p.description = "one\nwindow-class=evil";
    EXPECT_THROW(productText(p), PackError);
    EXPECT_EQ(windowClassOf("com.example.app.Main"), "com-example-app-Main");
}

} // namespace
