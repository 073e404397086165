// The Linux package steps' own readers and rules, natively: what a wrong
// byte or a wrong comparison would get past dpkg-deb and rpmbuild. The
// packages themselves are checked by linux_package_checks.py.
#include <gtest/gtest.h>

#include <zlib.h>

#include "DebPackage.h"
#include "DesktopEntry.h"
#include "ElfFile.h"
#include "FileTypes.h"
#include "HicolorIcons.h"
#include "IconFile.h"
#include "LibraryPackages.h"
#include "Licenses.h"
#include "LinuxPackage.h"
#include "PackError.h"
#include "PackageStage.h"
#include "ProductFile.h"
#include "RpmPackage.h"

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

// A shared object's section headers, .dynstr, .dynamic and .gnu.version_r,
// as a linker lays them out, naming what it is given.
struct ElfBuilder {
    struct Need {
        std::string library;
        std::vector<std::string> versions;
        uint16_t count;      // vn_cnt as written
        uint32_t auxNext;    // vna_next of every record but the last
    };
    std::vector<std::string> needed;
    std::vector<Need> needs;
    uint32_t verneedCount = 0;  // sh_info; 0: as many as there are

    Bytes bytes() const {
        Bytes strings{0}, dynamic, verneed;
        const auto string = [&](const std::string& text) {
            strings.insert(strings.end(), text.begin(), text.end());
            strings.push_back(0);
            return static_cast<uint32_t>(strings.size() - text.size() - 1);
        };
        for (const std::string& library : needed) {
            appendU32(dynamic, 1), appendU32(dynamic, 0), appendU32(dynamic, string(library)), appendU32(dynamic, 0);
        }
        for (size_t i = 0; i < needs.size(); ++i) {
            const Need& n = needs[i];
            appendU16(verneed, 1), appendU16(verneed, n.count), appendU32(verneed, string(n.library));
            appendU32(verneed, 16);
            appendU32(verneed, i + 1 < needs.size() ? static_cast<uint32_t>(16 + 16 * n.versions.size()) : 0);
            for (size_t j = 0; j < n.versions.size(); ++j) {
                appendU32(verneed, 0), appendU16(verneed, 0), appendU16(verneed, static_cast<uint16_t>(2 + j));
                appendU32(verneed, string(n.versions[j]));
                appendU32(verneed, j + 1 < n.versions.size() ? n.auxNext : 0);
            }
        }
        Bytes file(64, 0);
        const uint8_t ident[] = {0x7f, 'E', 'L', 'F', 2, 1, 1};
        std::copy(std::begin(ident), std::end(ident), file.begin());
        putU16(file, 18, 0x3E);
        std::vector<size_t> at;
        for (const Bytes* blob : {&strings, &dynamic, &verneed}) {
            at.push_back(file.size());
            file.insert(file.end(), blob->begin(), blob->end());
            padTo(file, 8);
        }
        putU32(file, 0x28, static_cast<uint32_t>(file.size()));
        putU16(file, 0x3A, 64), putU16(file, 0x3C, 4);
        file.insert(file.end(), 64, 0);
        const uint32_t types[] = {3, 6, 0x6ffffffe};
        const size_t sizes[] = {strings.size(), dynamic.size(), verneed.size()};
        for (size_t i = 0; i < 3; ++i) {
            Bytes h(64, 0);
            putU32(h, 4, types[i]), putU32(h, 24, static_cast<uint32_t>(at[i]));
            putU32(h, 32, static_cast<uint32_t>(sizes[i])), putU32(h, 40, i ? 1 : 0);
            putU32(h, 44, i == 2 ? (verneedCount ? verneedCount : static_cast<uint32_t>(needs.size())) : 0);
            file.insert(file.end(), h.begin(), h.end());
        }
        return file;
    }
};

ElfBuilder::Need need(const std::string& library, const std::vector<std::string>& versions) {
    return {library, versions, static_cast<uint16_t>(versions.size()), 16};
}

TEST(LinuxPackageTest, ElfNamesAreReadOnlyWhenTheyCanBeNames) {
    ElfBuilder plain;
    plain.needed = {"libstdc++.so.6", "libc.so.6", "libc.so.6"};
    plain.needs = {need("libc.so.6", {"GLIBC_2.2.5", "GLIBC_2.14", "GLIBC_2.2.5"}),
                   need("libgcc_s.so.1", {"GCC_3.0"})};
    const ElfLinks links = readElfLinks(plain.bytes(), "\"libx.so\"");
    EXPECT_EQ(links.needed, (std::vector<std::string>{"libstdc++.so.6", "libc.so.6"}));
    EXPECT_EQ(links.versionsNeeded.at("libc.so.6"), (std::vector<std::string>{"GLIBC_2.14", "GLIBC_2.2.5"}));
    EXPECT_EQ(links.versionsNeeded.at("libgcc_s.so.1"), std::vector<std::string>{"GCC_3.0"});

    for (const std::string& hostile : {std::string("%(id)libfoo.so.1"), std::string("libfoo.so.1\n%post"),
                                       std::string("lib foo.so"), std::string("libfoo.so, bar"),
                                       std::string(300, 'a'), std::string()}) {
        SCOPED_TRACE(hostile);
        ElfBuilder needed, versions;
        needed.needed = {hostile};
        versions.needs = {need("libc.so.6", {hostile})};
        for (const ElfBuilder* b : {&needed, &versions}) {
            try {
                readElfLinks(b->bytes(), "\"lib/app/libodd.so\"");
                ADD_FAILURE() << "read";
            } catch (const PackError& e) {
                EXPECT_EQ(std::string(e.what()).rfind("\"lib/app/libodd.so\" names a ", 0), 0u) << e.what();
            }
        }
    }
}

// Version records that repeat one long name 65,535 times, or claim more
// records than the section holds: refused by the bound on records, before
// the names could pile up.
TEST(LinuxPackageTest, ElfVersionRecordsThatLoopAreRefused) {
    ElfBuilder looping;
    looping.needs = {{"libc.so.6", {std::string(200, 'V'), "GLIBC_2.2.5"}, 0xFFFF, 0}};
    EXPECT_THROW(readElfLinks(looping.bytes(), "x"), PackError);
    ElfBuilder claiming;
    claiming.needs = {need("libc.so.6", {"GLIBC_2.2.5"}), need("libm.so.6", {"GLIBC_2.2.5"})};
    claiming.verneedCount = 0xFFFFFFFF;  // the chain's last vn_next (0) ends it
    EXPECT_EQ(readElfLinks(claiming.bytes(), "x").versionsNeeded.size(), 2u);
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

    // A 32-bit image carries its alpha: writers may leave its mask out.
    Bytes argb(40 + 32 * 32 * 4, 0);
    const uint8_t header32[] = {40, 0, 0, 0, 32, 0, 0, 0, 64, 0, 0, 0, 1, 0, 32, 0};
    std::copy(std::begin(header32), std::end(header32), argb.begin());
    for (size_t p = 40; p < argb.size(); p += 4) {
        argb[p + 1] = 200, argb[p + 3] = 128;  // green, half transparent
    }
    IconImage noMask;
    noMask.width = noMask.height = 32;
    noMask.bitCount = 32;
    noMask.data = argb;
    const auto unmasked = hicolorIcons(iconFile({image, noMask}), "icon");
    ASSERT_EQ(unmasked.size(), 1u);
    EXPECT_EQ(pixel(unmasked.at(32), 32, 31, 31), (std::vector<uint8_t>{0, 200, 0, 128}));
}

TEST(LinuxPackageTest, FileTypeExtensionsUpToTheirLimit) {
    EXPECT_EQ(checkedExtension(std::string(31, 'x')), "." + std::string(31, 'x'));
    EXPECT_EQ(checkedExtension("." + std::string(31, 'x')), "." + std::string(31, 'x'));
    EXPECT_THROW(checkedExtension("." + std::string(32, 'x')), PackError);
    EXPECT_THROW(checkedExtension("."), PackError);
}

TEST(LinuxPackageTest, LongDescriptionLinesNeverStartWithAPercentSign) {
    Product p;
    p.name = "A %prep name that goes on for quite a few words and then some %post";
    p.version = "1.0";
    p.vendor = "%changelog Vendor";
    const std::string text = longDescription(p);
    size_t lines = 0;
    for (size_t start = 0; start < text.size(); ++lines) {
        const size_t end = std::min(text.find('\n', start), text.size());
        EXPECT_NE(text[start], '%') << text;
        EXPECT_LE(end - start, 79u) << text;
        start = end + 1;
    }
    EXPECT_EQ(lines, 2u) << text;
    EXPECT_NE(text.find("words and then\nsome %post 1.0, from %changelog Vendor,"), std::string::npos) << text;
}

TEST(LinuxPackageTest, LicensesDebianShips) {
    struct Row { const char* given; const char* spdx; const char* file; };
    const Row rows[] = {
        {"GPL-2+", "GPL-2.0-or-later", "GPL-2"},
        {"GPL-2.0-or-later", "GPL-2.0-or-later", "GPL-2"},
        {"gpl-3.0-only", "GPL-3.0-only", "GPL-3"},
        {"GPL-3", "GPL-3.0-only", "GPL-3"},
        {"LGPL-2.1+", "LGPL-2.1-or-later", "LGPL-2.1"},
        {"Apache-2.0", "Apache-2.0", "Apache-2.0"},
        {"MPL-2.0", "MPL-2.0", "MPL-2.0"},
    };
    for (const Row& row : rows) {
        CommonLicense license;
        ASSERT_TRUE(commonLicense(row.given, license)) << row.given;
        EXPECT_EQ(license.spdx, row.spdx);
        EXPECT_EQ(license.file, std::string("/usr/share/common-licenses/") + row.file);
    }
    CommonLicense license;
    for (const char* other : {"MIT", "Proprietary", "GPL-2.0-or-later OR MIT", "Apache-2.0+", "GPL", ""}) {
        EXPECT_FALSE(commonLicense(other, license)) << other;
    }
}

// The freedesktop menu standard wants a main category; its table relates each
// additional category to the main ones.
TEST(LinuxPackageTest, EveryEntryHasAMainCategory) {
    typedef std::vector<std::string> Names;
    EXPECT_EQ(withMainCategory({"TextEditor"}), (Names{"Utility", "TextEditor"}));
    EXPECT_EQ(withMainCategory({"IDE", "Java"}), (Names{"Development", "IDE", "Java"}));
    EXPECT_EQ(withMainCategory({"Java", "Spreadsheet"}), (Names{"Office", "Java", "Spreadsheet"}));
    EXPECT_EQ(withMainCategory({"Office", "Spreadsheet"}), (Names{"Office", "Spreadsheet"}));
    EXPECT_EQ(withMainCategory({"Audio", "Player"}), (Names{"AudioVideo", "Audio", "Player"}));
    EXPECT_EQ(withMainCategory({}), Names{"Utility"});
    EXPECT_EQ(withMainCategory({"Amusement"}), (Names{"Utility", "Amusement"}));
}

TEST(LinuxPackageTest, RelationsOfEachFormat) {
    for (const char* good : {"graphviz", "libfoo1 (>= 1.2)", "libasound2t64 | libasound2", "a+b.c-d (<< 2:1.0~rc1)"}) {
        EXPECT_NO_THROW(checkDebianRelation(good, "x")) << good;
    }
    for (const char* bad : {"", "Graphviz", "a, b", "a (>= 1", "a (> 1)", "a | ", "a\nPre-Depends: b", "a (>=1)"}) {
        EXPECT_THROW(checkDebianRelation(bad, "x"), PackError) << bad;
    }
    for (const char* good : {"graphviz", "libfoo >= 1.2", "/usr/bin/dot", "libX11.so.6()(64bit)", "a = 1:2.0-3"}) {
        EXPECT_NO_THROW(checkRpmRelation(good, "x")) << good;
    }
    for (const char* bad : {"", "-a", "a, b", "a >= ", "a => 1", "(a or b)", "a >= 1 b", "%{x}", "a\n%post"}) {
        EXPECT_THROW(checkRpmRelation(bad, "x"), PackError) << bad;
    }
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
