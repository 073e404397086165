// The reader of lib/modules against every runtime on this machine, and
// against containers that lie about their sizes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "JavaRuntime.h"
#include "JdkPackages.h"
#include "JimageFile.h"
#include "PackError.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> installedRuntimes() {
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it("/usr/lib/jvm", ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_symlink(ec) && fs::is_regular_file(it->path() / "lib" / "modules", ec)) {
            found.push_back(it->path());
        }
    }
    return found;
}

std::string fileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void putU4(std::string& bytes, size_t at, uint32_t value) {
    for (int k = 0; k < 4; ++k) {
        bytes[at + k] = static_cast<char>((value >> (8 * k)) & 0xFF);
    }
}

} // namespace

// Every package the container lists is where the JDK's own module finder
// puts it (the generated table), for each release installed here.
TEST(JimageFileTest, AgreesWithTheModuleFinderOfEveryInstalledJdk) {
    const std::vector<fs::path> runtimes = installedRuntimes();
    if (runtimes.empty()) {
        GTEST_SKIP() << "no JDK under /usr/lib/jvm";
    }
    for (const fs::path& home : runtimes) {
        const RuntimeContents contents = readRuntimeContents(home);
        ASSERT_TRUE(contents.hasPackages) << home << ": " << contents.packagesProblem;
        EXPECT_GT(contents.packages.size(), 800u) << home;
        EXPECT_EQ(contents.packages.at("java.lang"), "java.base");
        EXPECT_EQ(contents.packages.at("java.sql"), "java.sql");
        EXPECT_EQ(contents.packages.at("sun.misc"), "jdk.unsupported");
        if (!jdkReleaseKnown(contents.release)) {
            continue;
        }
        // The table leaves out the JDK's own command-line tools.
        size_t differing = 0, left = 0;
        for (const auto& p : contents.packages) {
            const std::string module = jdkModuleOf(contents.release, p.first);
            left += module.empty();
            differing += !module.empty() && module != p.second;
            EXPECT_TRUE(module.empty() || module == p.second) << p.first << " in " << p.second;
        }
        EXPECT_EQ(differing, 0u) << home;
        EXPECT_LT(left, contents.packages.size() / 20) << home;
    }
}

// Either byte order, as the container's magic tells; a folder of resources
// only is no package (the seeds are written by tests/fuzz/make_corpus.py).
TEST(JimageFileTest, ByteOrdersAndResourceFolders) {
    const fs::path seeds = fs::path(LOFTWICK_T_SOURCE) / "tests" / "fuzz" / "corpus" / "Jimage";
    EXPECT_EQ(jimagePackages(seeds / "packages.jimage"),
              (std::map<std::string, std::string>{{"java.lang", "java.base"}, {"java.sql", "java.sql"}}));
    EXPECT_EQ(jimagePackages(seeds / "big-endian.jimage"),
              (std::map<std::string, std::string>{{"sun.misc", "jdk.unsupported"}}));
}

// Packages move between releases; the table keeps each release's own.
TEST(JimageFileTest, TheTableKeepsEachReleaseApart) {
    if (!jdkReleaseKnown(17) || !jdkReleaseKnown(25)) {
        GTEST_SKIP() << "the table was made without Java 17 and 25";
    }
    EXPECT_EQ(jdkModuleOf(17, "sun.security.ec"), "jdk.crypto.ec");
    EXPECT_EQ(jdkModuleOf(25, "sun.security.ec"), "java.base");
    EXPECT_EQ(jdkModuleOf(17, "com.example"), "");
    EXPECT_EQ(jdkModuleOf(16, "java.sql"), "");  // an unknown release is never guessed
}

// A container cut short, or whose counts and offsets point outside it, is
// refused with a reason: nothing is read past the end or allocated for a
// claim.
TEST(JimageFileTest, LyingContainersAreRefused) {
    const std::vector<fs::path> runtimes = installedRuntimes();
    if (runtimes.empty()) {
        GTEST_SKIP() << "no JDK under /usr/lib/jvm";
    }
    // The index alone of a real one, then the resources it points to.
    const std::string real = fileBytes(runtimes.front() / "lib" / "modules");
    const auto refused = [](const std::string& bytes) {
        try {
            jimagePackagesOf(bytes, "it");
            return std::string();
        } catch (const PackError& e) {
            return std::string(e.what());
        }
    };
    EXPECT_EQ(refused(real), "");
    EXPECT_NE(refused(real.substr(0, 20)).find("shorter than its header"), std::string::npos);
    EXPECT_NE(refused(real.substr(0, 100000)).find("more than the file holds"), std::string::npos);
    std::string magic = real.substr(0, 1 << 20);
    magic[0] = 'X';
    EXPECT_NE(refused(magic).find("magic"), std::string::npos);
    for (const size_t field : {16u, 20u, 24u}) {  // table length, locations size, strings size
        std::string claims = real;
        putU4(claims, field, 0xFFFFFFF0u);
        EXPECT_NE(refused(claims), "") << field;
    }
    std::string offset = real;
    const uint32_t tableLength = static_cast<unsigned char>(real[16]) | static_cast<unsigned char>(real[17]) << 8
                                 | static_cast<unsigned char>(real[18]) << 16;
    putU4(offset, 28 + 4 * tableLength, 0x7FFFFFFFu);  // the first location offset
    EXPECT_NE(refused(offset).find("outside the location table"), std::string::npos);
}

// The virtual machine is the library jvm.cfg's first entry names,
// through an alias.
TEST(JimageFileTest, TheVirtualMachineIsTheOneJvmCfgNames) {
    const fs::path dir = fs::temp_directory_path() / "loftwick-vm-test";
    fs::remove_all(dir);
    fs::create_directories(dir / "lib" / "client");
    std::ofstream(dir / "lib" / "libjli.so") << "jli";
    EXPECT_NE(virtualMachineProblem(dir).find("lib/jvm.cfg is missing or names none"), std::string::npos);
    std::ofstream(dir / "lib" / "jvm.cfg") << "# comment\n-hotspot ALIASED_TO -client\n-server KNOWN\n";
    EXPECT_NE(virtualMachineProblem(dir).find("names \"client\", but lib/client/libjvm.so is missing"),
              std::string::npos);
    std::ofstream(dir / "lib" / "client" / "libjvm.so") << "vm";
    EXPECT_EQ(virtualMachineProblem(dir), "");
    fs::remove_all(dir);
    EXPECT_EQ(virtualMachineProblem(dir), "");  // no runtime at all: told elsewhere
}
