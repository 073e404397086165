// The installer step natively: what it reads from an image, the WiX source
// it writes, and what it refuses, leaving nothing behind. wixl itself, and
// Windows Installer under Wine, are checked by installer_checks.py.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "IconFile.h"
#include "Installer.h"
#include "NameUuid.h"
#include "PackCommand.h"
#include "StampTestSupport.h"

namespace fs = std::filesystem;

namespace {

using namespace stamp_test;

class InstallerTest : public ::testing::Test {
protected:
    InstallerTest() : dir(fs::temp_directory_path() / "loftwick-installer-test") {
        fs::remove_all(dir);
        fs::create_directories(dir / "in");
        fs::create_directories(dir / "jre" / "bin");
        writeBinaryFile(dir / "in" / "main.jar", bytesOf(mainJar()));
        for (const auto& f : runtimeFiles(false, "d")) {
            fs::create_directories((dir / "jre" / f.first).parent_path());
            writeBinaryFile(dir / "jre" / f.first, bytesOf(f.second));
        }
        writeBinaryFile(dir / "app.ico", iconBytes());
        EXPECT_EQ(run({"--name", "Hello", "--input", (dir / "in").string(), "--runtime",
                       (dir / "jre").string(), "--output", image.string(), "--main-jar", "main.jar",
                       "--launchers", LOFTWICK_T_LAUNCHERS, "--icon", (dir / "app.ico").string(),
                       "--app-version", "2.5", "--vendor", "Acme & S\xC3\xB6hne",
                       "--description", "Says \"hi\" <loud>", "--product-name", "Hello & \xC3\x9C"}), 0)
            << err.str();
    }
    ~InstallerTest() override { fs::remove_all(dir); }

    int run(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        return packCommand(args, "/nowhere/loftwick-pack", out, err);
    }

    int installer(std::vector<std::string> args) {
        args.insert(args.begin(), {"installer", image.string()});
        return run(args);
    }

    std::string text(const fs::path& p) {
        const Bytes b = readBinaryFile(p);
        return std::string(b.begin(), b.end());
    }

    fs::path dir;
    fs::path image = dir / "Hello";
    std::ostringstream out, err;
};

TEST_F(InstallerTest, TheSourceStatesWhatTheExecutableSays) {
    const fs::path wxs = dir / "out" / "hello.wxs";
    fs::create_directories(wxs.parent_path());
    ASSERT_EQ(installer({"--wix-source", wxs.string(), "--file-type", "hlo=Hello [draft]"}), 0) << err.str();
    const std::string source = text(wxs);
    for (const char* expected : {
             "Name=\"Hello &amp; \xC3\x9C\" Version=\"2.5\" Manufacturer=\"Acme &amp; S\xC3\xB6hne\"",
             "Description=\"Says &quot;hi&quot; &lt;loud&gt;\"", "InstallScope=\"perUser\"",
             "<Directory Id=\"LocalAppDataFolder\">", "Name=\"Programs\"",
             "Source=\"../Hello/app/main.jar\"", "Source=\"../Hello/runtime/bin/jli.dll\"",
             "<Icon Id=\"AppIcon.ico\" SourceFile=\"hello.ico\"/>",
             "Key=\"Software\\Classes\\.hlo\"", "Value=\"Hello [\\[]draft[\\]]\"", "Root=\"HKCU\""}) {
        EXPECT_NE(source.find(expected), std::string::npos) << expected << "\n" << source;
    }
    size_t files = 0;
    for (size_t at = 0; (at = source.find("<File ", at)) != std::string::npos; ++at) {
        ++files;
    }
    // Hello.exe, app\Hello.cfg, app\main.jar; the runtime's jli.dll, jvm.cfg and jvm.dll
    EXPECT_EQ(files, 6u);
    // The icon is the one stamped into Hello.exe, read back from it.
    const auto given = readIconFile(iconBytes(), "given");
    const auto read = readIconFile(readBinaryFile(dir / "out" / "hello.ico"), "read");
    ASSERT_EQ(read.size(), given.size());
    for (size_t i = 0; i < given.size(); ++i) {
        EXPECT_EQ(read[i].data, given[i].data);
        EXPECT_EQ(read[i].width, given[i].width);
    }
    // The same image gives the same text and upgrade code; options override.
    const std::string printed = out.str();
    ASSERT_EQ(installer({"--wix-source", wxs.string(), "--file-type", "hlo=Hello [draft]", "--replace"}), 0);
    EXPECT_EQ(text(wxs), source);
    EXPECT_EQ(out.str(), printed);
    ASSERT_EQ(installer({"--wix-source", wxs.string(), "--replace", "--scope", "machine",
                         "--upgrade-code", "{0a48928f-444d-5936-9d12-27dff0f5701c}", "--app-version", "2.6"}), 0);
    for (const char* expected : {"UpgradeCode=\"0A48928F-444D-5936-9D12-27DFF0F5701C\"", "Version=\"2.6\"",
                                 "<Directory Id=\"ProgramFiles64Folder\">", "InstallScope=\"perMachine\""}) {
        EXPECT_NE(text(wxs).find(expected), std::string::npos) << expected;
    }
}

TEST_F(InstallerTest, RefusedInputsLeaveNoInstaller) {
    const fs::path msi = dir / "out.msi";
    struct Row { std::vector<std::string> args; std::string error; };
    const Row rows[] = {
        {{"--app-version", "1.2.3.4"}, "the version \"1.2.3.4\" has a fourth field, 4, which Windows "
         "Installer ignores when it compares versions: this installer could not replace 1.2.3 nor be "
         "replaced by it; give a version whose fourth field is 0"},
        {{"--app-version", "256.0"}, "the version \"256.0\" has a major version of 256: Windows "
         "Installer allows at most 255 (255.255.65535)"},
        {{"--app-version", "1.256"}, "the version \"1.256\" has a minor version of 256"},
        {{"--app-version", "1.2.65536"}, "the version \"1.2.65536\" has a build number of 65536"},
        {{"--app-version", "1.x"}, "the version \"1.x\" is not one to four numbers"},
        {{"--product-name", "\xE6\x97\xA5"}, "the product name \"\xE6\x97\xA5\" holds \"\xE6\x97\xA5\", "
         "which the installer cannot carry: its text is Windows-1252"},
        {{"--product-name", "A: B"}, "the product name, which names the shortcut, \"A: B\" holds ':', "
         "which Windows does not allow in file names"},
        {{"--file-type", ".a b=Text"}, "the file type \".a b\" is not a dot and up to 31 letters"},
        {{"--file-type", ".a=T", "--file-type", ".A=U"}, "the file type \".A\" is given twice"},
        {{"--file-type", ".EXE=Program"}, "the file type \".EXE\" is one Windows runs or opens itself "
         "(programs, scripts, shortcuts, installers): the application would become the opener of every "
         "such file; give a type of the application's own"},
        {{"--file-type", "ps1=Script"}, "the file type \".ps1\" is one Windows runs or opens itself"},
        {{"--upgrade-code", "1234"}, "\"1234\" is not a GUID"},
    };
    for (const Row& row : rows) {
        std::vector<std::string> args = {"--output", msi.string()};
        args.insert(args.end(), row.args.begin(), row.args.end());
        EXPECT_EQ(installer(args), 1);
        EXPECT_EQ(err.str().find("loftwick-pack installer: " + row.error), 0u) << err.str();
    }
    // Not an image; a launcher never stamped; a name Windows refuses.
    const Row images[] = {
        {{"installer", (dir / "in").string()}, "is not an application image made by loftwick-pack"},
        {{"installer", (dir / "Plain").string()}, "was never stamped with the application's name, version "
         "and icon: make the image with loftwick-pack"},
        {{"installer", image.string()}, "the image holds \"app/a|b\", whose name holds '|', which Windows "
         "does not allow in file names"},
    };
    fs::copy(image, dir / "Plain", fs::copy_options::recursive);
    writeBinaryFile(dir / "Plain" / "Hello.exe", launcherBytes());
    writeBinaryFile(image / "app" / "a|b", Bytes{'x'});
    for (const Row& row : images) {
        std::vector<std::string> args = row.args;
        args.insert(args.end(), {"--output", msi.string()});
        EXPECT_EQ(run(args), 1);
        EXPECT_NE(err.str().find(row.error), std::string::npos) << err.str();
    }
    fs::remove(image / "app" / "a|b");
    // Regression: a runtime linked from outside the image was left out of
    // the .msi without a word.
    fs::rename(image / "runtime", dir / "outside-runtime");
    fs::create_directory_symlink(dir / "outside-runtime", image / "runtime");
    EXPECT_EQ(installer({"--output", msi.string()}), 1);
    EXPECT_NE(err.str().find("the image holds \"runtime\", a link to \"" + (dir / "outside-runtime").string()
                             + "\" outside it"), std::string::npos) << err.str();
    fs::remove(image / "runtime");
    fs::rename(dir / "outside-runtime", image / "runtime");
    // Regression: --replace replaced whatever was at the output.
    writeBinaryFile(dir / "notes.txt", Bytes{'n'});
    fs::create_directories(dir / "folder.msi");
    for (const fs::path& output : {dir / "notes.txt", dir / "folder.msi"}) {
        EXPECT_EQ(installer({"--output", output.string(), "--replace"}), 1);
        EXPECT_EQ(err.str(), "loftwick-pack installer: \"" + output.string() + "\" is not an .msi "
                  "file: --replace replaces only an .msi file; move it away or choose another output\n");
    }
    EXPECT_EQ(installer({"--wix-source", (dir / "notes.txt").string(), "--replace"}), 1);
    EXPECT_NE(err.str().find("is not a WiX source"), std::string::npos) << err.str();
    EXPECT_EQ(readBinaryFile(dir / "notes.txt"), Bytes{'n'});
    fs::remove(dir / "folder.msi");
    EXPECT_EQ(installer({"--output", (image / "app" / "x.msi").string()}), 1);
    EXPECT_NE(err.str().find("lies inside the image, which the installer must not change"),
              std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(image / "app" / "x.msi"));
    const std::string path = std::getenv("PATH");
    setenv("PATH", dir.c_str(), 1);
    EXPECT_EQ(installer({"--output", msi.string()}), 1);
    setenv("PATH", path.c_str(), 1);
    EXPECT_NE(err.str().find("wixl, the MSI builder, is not installed (or not on PATH): install it with "
                             "\"sudo apt install wixl\""), std::string::npos) << err.str();
    for (const auto& e : fs::directory_iterator(dir)) {
        EXPECT_NE(e.path().extension(), ".msi");
        EXPECT_EQ(e.path().filename().string().find(".partial"), std::string::npos);
    }
    EXPECT_EQ(installer({"--scope", "world"}), 2);
    EXPECT_EQ(installer({"--help"}), 2);
    EXPECT_EQ(run({"installer", "--help"}), 0);
    EXPECT_NE(out.str().find("255.255.65535"), std::string::npos);
}

// wixl reports what it ignores as a warning and still exits 0.
TEST_F(InstallerTest, WixlWarningsAreErrors) {
    const fs::path msi = dir / "out.msi", wixl = dir / "bin" / "wixl";
    fs::create_directories(wixl.parent_path());
    const std::string path = std::getenv("PATH");
    setenv("PATH", (wixl.parent_path().string() + ":" + path).c_str(), 1);
    struct Row { std::string script; int exit; std::string error; };
    const Row rows[] = {
        {"echo 'warning: no property named X' >&2; : > \"$4\"", 1,
         "loftwick-pack installer: wixl could not build the installer:\nwarning: no property named X\n"},
        {": > \"$4\"; echo broken; exit 3", 1, "loftwick-pack installer: wixl could not build the installer:\nbroken\n"},
        {"test \"$1 $2 $3 $5\" = '--arch x64 --output installer.wxs' && test -f installer.wxs && : > \"$4\"", 0, ""},
    };
    for (const Row& row : rows) {
        const std::string script = "#!/bin/sh\n" + row.script + "\n";
        writeBinaryFile(wixl, Bytes(script.begin(), script.end()));
        fs::permissions(wixl, fs::perms::owner_all);
        EXPECT_EQ(installer({"--output", msi.string(), "--replace"}), row.exit) << row.script;
        EXPECT_EQ(err.str(), row.error);
        EXPECT_EQ(fs::exists(msi), row.exit == 0);
    }
    setenv("PATH", path.c_str(), 1);
}

TEST(NameUuidTest, VersionFiveAndTheVersionWindowsInstallerCompares) {
    const Uuid dns = parseUuid("6ba7b810-9dad-11d1-80b4-00c04fd430c8");
    EXPECT_EQ(formatUuid(nameUuid(dns, "www.example.com")), "2ED6657D-E927-568B-95E1-2665A8AEA6A2");
    EXPECT_EQ(comparedVersion("1.2"), "1.2.0");
    EXPECT_EQ(comparedVersion("255.255.65535.0"), "255.255.65535");
    EXPECT_EQ(comparedVersion("007.1.2"), "7.1.2");
}

} // namespace
