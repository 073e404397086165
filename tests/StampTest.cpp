// Stamping the real launcher, read back through the PE model and checked
// against the rules of a sound edit. Runs natively, without Wine.
#include <gtest/gtest.h>

#include "IconFile.h"
#include "PackError.h"
#include "Packager.h"
#include "PeFile.h"
#include "ResourceTree.h"
#include "Stamp.h"
#include "StampTestSupport.h"
#include "VersionResource.h"

namespace {

using namespace stamp_test;

const ResourceLanguages& languagesOf(const ResourceTree& tree, uint16_t type, uint16_t id) {
    return tree.at(ResourceName::number(type)).at(ResourceName::number(id));
}

// As the launcher is built, .reloc follows .rsrc: the resources are
// rewritten where they were and .reloc moves behind them, unchanged.
TEST(StampTest, RewritesTheResourcesInPlaceAndMovesRelocationsBehind) {
    const Bytes launcher = launcherBytes();
    const PeFile before = PeFile::read(launcher, "before");
    const PeFile after = PeFile::read(stampExecutable(launcher, "launcher", branding()), "after");
    const size_t n = before.sections().size();
    ASSERT_EQ(after.sections().size(), n);
    for (size_t i = 0; i + 2 < n; ++i) {
        EXPECT_EQ(after.sections()[i].header, before.sections()[i].header) << i;
        EXPECT_EQ(after.sections()[i].data, before.sections()[i].data) << i;
    }
    for (int d : {0, 1, 3, 9, 12}) {  // exports, imports, exceptions, TLS, IAT
        EXPECT_EQ(after.directoryRva(d), before.directoryRva(d)) << d;
    }
    const PeSection& rsrc = after.sections()[n - 2];
    const PeSection& reloc = after.sections()[n - 1];
    EXPECT_EQ(rsrc.virtualAddress(), before.sections()[n - 2].virtualAddress());
    EXPECT_EQ(rsrc.pointerToRawData(), before.sections()[n - 2].pointerToRawData());
    EXPECT_EQ(after.directoryRva(PeFile::ResourceTable), rsrc.virtualAddress());
    EXPECT_EQ(after.directorySize(PeFile::ResourceTable), rsrc.virtualSize());
    EXPECT_EQ(reloc.data, before.sections()[n - 1].data);
    EXPECT_EQ(reloc.virtualAddress(), alignUp(rsrc.virtualAddress() + rsrc.virtualSize(), 0x1000));
    EXPECT_EQ(reloc.pointerToRawData(), rsrc.pointerToRawData() + rsrc.sizeOfRawData());
    EXPECT_EQ(after.directoryRva(PeFile::BaseRelocationTable), reloc.virtualAddress());
    EXPECT_EQ(after.directorySize(PeFile::BaseRelocationTable),
              before.directorySize(PeFile::BaseRelocationTable));
}

// Any other layout keeps every section where it is and appends one.
TEST(StampTest, AppendsAResourceSectionAndKeepsEverythingElse) {
    Bytes launcher = launcherBytes();
    const PeFile original = PeFile::read(launcher, "original");
    const ByteReader l(launcher, "l");
    const size_t lastHeader = l.u32(0x3C) + 24 + l.u16(l.u32(0x3C) + 20)
            + 40 * (original.sections().size() - 1);
    launcher[lastHeader + 5] = 'x';  // .reloc becomes .relox, which need not move
    const Bytes stamped = stampExecutable(launcher, "launcher", branding());
    const PeFile before = PeFile::read(launcher, "before");
    const PeFile after = PeFile::read(stamped, "after");

    ASSERT_EQ(after.sections().size(), before.sections().size() + 1);
    for (size_t i = 0; i < before.sections().size(); ++i) {
        EXPECT_EQ(after.sections()[i].header, before.sections()[i].header) << i;
        EXPECT_EQ(after.sections()[i].data, before.sections()[i].data) << i;
    }
    for (int d : {0, 1, 3, 5, 9, 12}) {  // exports, imports, exceptions, relocations, TLS, IAT
        EXPECT_EQ(after.directoryRva(d), before.directoryRva(d)) << d;
        EXPECT_EQ(after.directorySize(d), before.directorySize(d)) << d;
    }
    const PeSection& added = after.sections().back();
    const PeSection& last = before.sections().back();
    EXPECT_EQ(added.virtualAddress(), alignUp(last.virtualAddress() + last.extent(), 0x1000));
    EXPECT_EQ(added.pointerToRawData(), alignUp(last.pointerToRawData() + last.sizeOfRawData(), 0x200));
    EXPECT_EQ(added.sizeOfRawData() % 0x200, 0u);
    EXPECT_EQ(after.directoryRva(PeFile::ResourceTable), added.virtualAddress());
    EXPECT_EQ(after.directorySize(PeFile::ResourceTable), added.virtualSize());

    const ByteReader r(stamped, "after");
    const size_t opt = r.u32(0x3C) + 24;
    EXPECT_EQ(r.u32(opt + 56), alignUp(added.virtualAddress() + added.virtualSize(), 0x1000));
    EXPECT_EQ(r.u32(opt + 8), ByteReader(launcher, "before").u32(opt + 8) + added.sizeOfRawData());
    EXPECT_EQ(r.u32(opt + 64), peChecksum(stamped, opt + 64));
    EXPECT_EQ(stamped.size(), added.pointerToRawData() + added.sizeOfRawData());
}

TEST(StampTest, ResourcesReadBack) {
    const Bytes stamped = stampExecutable(launcherBytes(), "launcher", branding());
    const ResourceTree tree = readResources(PeFile::read(stamped, "stamped"), "stamped");
    const std::vector<IconImage> images = readIconFile(iconBytes(), "icon");
    ASSERT_EQ(tree.at(ResourceName::number(RT_ICON_TYPE)).size(), images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(languagesOf(tree, RT_ICON_TYPE, static_cast<uint16_t>(i + 1)).at(0x409).data,
                  images[i].data);
    }
    EXPECT_EQ(languagesOf(tree, RT_GROUP_ICON_TYPE, 1).at(0x409).data, iconGroup(images, 1));
    // Group icons come first among the types a shell looks at.
    EXPECT_EQ(tree.at(ResourceName::number(RT_GROUP_ICON_TYPE)).size(), 1u);
    const Bytes& version = languagesOf(tree, RT_VERSION_TYPE, 1).at(0x409).data;
    const std::string text(version.begin(), version.end());
    // VS_FIXEDFILEINFO: signature, structure version, then file version 2.1.0.7.
    EXPECT_NE(text.find(std::string("\xBD\x04\xEF\xFE\0\0\1\0\1\0\2\0\7\0\0\0", 16)),
              std::string::npos);
    EXPECT_NE(text.find(utf16Bytes(u"Hello \u00C9diteur")), std::string::npos);
    EXPECT_EQ(text.find(utf16Bytes(u"Loftwick launcher")), std::string::npos);
    const Bytes& manifest = languagesOf(tree, RT_MANIFEST_TYPE, 1).at(0x409).data;
    EXPECT_NE(std::string(manifest.begin(), manifest.end()).find(">UTF-8</activeCodePage>"),
              std::string::npos);
}

TEST(StampTest, StampingAgainReplacesInPlaceAndGivesTheSameFile) {
    Bytes launcher = launcherBytes();
    const std::string appended = "data appended after the image";
    launcher.insert(launcher.end(), appended.begin(), appended.end());
    const Bytes once = stampExecutable(launcher, "launcher", branding());
    EXPECT_EQ(std::string(once.end() - static_cast<long>(appended.size()), once.end()), appended);
    EXPECT_EQ(stampExecutable(once, "once", branding()), once);

    // Now the resource section is last: a new stamp replaces it in place.
    Branding other = branding();
    other.version = "3";
    other.icon.clear();
    other.utf8CodePage = false;
    const Bytes twice = stampExecutable(once, "once", other);
    const PeFile a = PeFile::read(once, "once"), b = PeFile::read(twice, "twice");
    EXPECT_EQ(b.sections().size(), a.sections().size());
    EXPECT_EQ(b.directoryRva(PeFile::ResourceTable), a.directoryRva(PeFile::ResourceTable));
    const ResourceTree tree = readResources(b, "twice");
    EXPECT_EQ(tree.count(ResourceName::number(RT_ICON_TYPE)), 1u);  // kept without --icon
    const Bytes& manifest = languagesOf(tree, RT_MANIFEST_TYPE, 1).at(0x409).data;
    EXPECT_EQ(manifest, languagesOf(readResources(PeFile::read(launcherBytes(), "l"), "l"),
                                           RT_MANIFEST_TYPE, 1).at(0x409).data);
}

TEST(StampTest, RefusedInputs) {
    Bytes signedExe = launcherBytes();
    const size_t certificateDirectory = ByteReader(signedExe, "l").u32(0x3C) + 24 + 112 + 8 * 4;
    putU32(signedExe, certificateDirectory, static_cast<uint32_t>(signedExe.size()));
    putU32(signedExe, certificateDirectory + 4, 8);
    EXPECT_EQ(errorOf([&] { stampExecutable(signedExe, "x.exe", branding()); }),
              "x.exe carries an Authenticode signature, which stamping would break: stamp the "
              "unsigned launcher first and sign the result afterwards");
    EXPECT_EQ(errorOf([&] { stampExecutable(Bytes(100, 0), "x.exe", branding()); }),
              "x.exe is not a Windows executable");
    Branding badIcon = branding();
    badIcon.icon = Bytes{0, 0, 2, 0, 1, 0};
    EXPECT_EQ(errorOf([&] { stampExecutable(launcherBytes(), "x.exe", badIcon); }),
              "app.ico is not an icon file");
}

TEST(StampTest, Versions) {
    struct Row { const char* text; std::array<uint16_t, 4> parsed; };
    for (const Row& row : {Row{"1", {1, 0, 0, 0}}, Row{"1.2.3.4", {1, 2, 3, 4}},
                           Row{"65535.0.65535", {65535, 0, 65535, 0}}}) {
        EXPECT_EQ(parseVersion(row.text), row.parsed) << row.text;
    }
    for (const char* bad : {"", "1.", ".1", "1..2", "65536", "1.2.3.4.5", "v1", "1.-2", "0001234567"}) {
        EXPECT_THROW(parseVersion(bad), PackError) << bad;
    }
}

} // namespace
