// What osslsigncode's verification says, as read by the signing step (both
// the 2.5 and the 2.9 wording), and the signing command's words.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Authenticode.h"
#include "ImageSigning.h"
#include "JarFixtures.h"
#include "CommandTemplate.h"
#include "PackError.h"

namespace {

const char* const peSigned29 =
    "PE checksum   : 001377AD\n\n"
    "Signature Index: 0  (Primary Signature)\n\n"
    "Message digest algorithm  : SHA256\n"
    "Current message digest    : 8EB8A6A5 \n"
    "Calculated message digest : 8EB8A6A5 \n\n"
    "Signer's certificate:\n\t------------------\n\tSigner #0:\n"
    "\t\tSubject: /CN=Test Signer/O=Loftwick Tests\n\t\tIssuer : /CN=Test CA\n\n"
    "Countersignatures:\n\tTimestamp time: Dec  9 20:01:44 2026 GMT\n"
    "Timestamp Server Signature verification: ok\n"
    "Signature verification: ok\n\nNumber of verified signatures: 1\nSucceeded\n";

} // namespace

TEST(SigningTest, VerificationIsReadInBothWordings) {
    SignatureState s = readVerifyOutput(peSigned29, true);
    EXPECT_TRUE(s.present && s.digestMatches && s.chainVerified && s.valid);
    EXPECT_EQ("/CN=Test Signer/O=Loftwick Tests", s.signer);
    EXPECT_EQ("Dec  9 20:01:44 2026 GMT", s.timestamp);

    // 2.5: another timestamp line, and a PE checksum that differs, which
    // Windows ignores and the signature does not cover.
    s = readVerifyOutput("Current PE checksum   : 0008EB5B\n"
                         "Calculated PE checksum: 0008B8ED    MISMATCH!!!\n\n"
                         "Message digest algorithm  : SHA256\n"
                         "Current message digest    : DCCE \nCalculated message digest : DCCE \n"
                         "Signer's certificate:\n\tSigner #0:\n\t\tSubject: /CN=Azul Systems, Inc.\n"
                         "The signature is timestamped: Jul 16 19:46:20 2022 GMT\n"
                         "Signature verification: ok\nSucceeded\n", true);
    EXPECT_TRUE(s.valid);
    EXPECT_EQ("Jul 16 19:46:20 2022 GMT", s.timestamp);
    EXPECT_EQ("/CN=Azul Systems, Inc.", s.signer);
}

TEST(SigningTest, ChangedUnsignedAndUntrustedFilesAreToldApart) {
    SignatureState s = readVerifyOutput("Message digest algorithm  : SHA256\n"
                                        "Current message digest    : 8EB8 \n"
                                        "Calculated message digest : 2B96     MISMATCH!!!\nFailed\n", false);
    EXPECT_TRUE(s.present);
    EXPECT_FALSE(s.digestMatches);
    EXPECT_NE(std::string::npos, s.problem.find("changed after it was signed"));

    // An .msi prints its digests only when one differs.
    s = readVerifyOutput("Message digest algorithm         : SHA256\n"
                         "Calculated DigitalSignature      : 760A     MISMATCH!!!\nFailed\n", false);
    EXPECT_FALSE(s.digestMatches);

    s = readVerifyOutput("PE checksum   : 0012CDC1\n\nNo signature found\n\nFailed\n", false);
    EXPECT_FALSE(s.present);
    EXPECT_EQ("not signed", s.problem);

    std::string untrusted = peSigned29;
    untrusted.replace(untrusted.find("\nSignature verification: ok") + 1, 26,
                      "PKCS7_verify error\n...:Verify error: unable to get local issuer certificate\n"
                      "Signature verification: failed");
    s = readVerifyOutput(untrusted, false);
    EXPECT_TRUE(s.present && s.digestMatches && s.unknownRoot);
    EXPECT_FALSE(s.valid);
    EXPECT_NE(std::string::npos, s.problem.find("unable to get local issuer certificate"));
}

TEST(SigningTest, OnlyStrongDigestsAreTaken) {
    EXPECT_NO_THROW(checkDigest("sha256"));
    EXPECT_NO_THROW(checkDigest("sha512"));
    EXPECT_THROW(checkDigest("sha1"), PackError);
    EXPECT_THROW(checkDigest("md5"), PackError);
    EXPECT_THROW(checkDigest("SHA256; rm"), PackError);
    EXPECT_THROW(checkDigest("sha1,sha256"), PackError);
}

TEST(SigningTest, SigningCommandWordsNeverSplitAValue) {
    const std::map<std::string, std::string> values = {{"file", "/img/My App \"x\" $(id).exe"},
                                                       {"digest", "sha256"}};
    const std::vector<std::string> words =
            expandCommand("client sign --alg {digest} \"--description=My App\" --in={file}", values);
    const std::vector<std::string> want = {"client", "sign", "--alg", "sha256", "--description=My App",
                                           "--in=/img/My App \"x\" $(id).exe"};
    EXPECT_EQ(want, words);

    EXPECT_THROW(expandCommand("client {file} {password}", values), PackError);
    EXPECT_THROW(expandCommand("client --digest {digest}", values), PackError);
    EXPECT_THROW(expandCommand("client \"{file}", values), PackError);
    EXPECT_THROW(expandCommand("   ", values), PackError);
}

// Native libraries inside jars are unpacked unsigned at run time: each jar
// that holds one is named, and whether rewriting it would break its own
// signature.
TEST(SigningTest, JarsWithNativeLibrariesAreNamed) {
    namespace fs = std::filesystem;
    const fs::path image = fs::temp_directory_path() / "loftwick-jni-test";
    fs::remove_all(image);
    fs::create_directories(image / "app" / "lib");
    const auto write = [&](const fs::path& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    };
    write(image / "app" / "plain.jar", storedZip({{"win/x64/native.DLL", "MZ"}, {"a/B.class", classFile(61)}}));
    write(image / "app" / "lib" / "signed.jar",
          storedZip({{"META-INF/VENDOR.SF", "Signature-Version: 1.0\n"}, {"jni.dll", "MZ"}}));
    write(image / "app" / "clean.jar", storedZip({{"a/B.class", classFile(61)}, {"readme.dll.txt", "x"}}));
    const std::vector<std::string> warnings = jniLibraryWarnings(image);
    ASSERT_EQ(2u, warnings.size());
    // In the image's order: app/lib/ comes before app/plain.jar.
    EXPECT_NE(std::string::npos, warnings[0].find("lib/signed.jar\" holds native libraries (jni.dll)"));
    EXPECT_NE(std::string::npos, warnings[0].find("break the jar's own signature"));
    EXPECT_NE(std::string::npos, warnings[1].find("plain.jar\" holds native libraries (win/x64/native.DLL)"));
    EXPECT_EQ(std::string::npos, warnings[1].find("own signature"));
    fs::remove_all(image);
}
