// What gpg says of a key, as the repository step reads it, and the source
// files a package installs for its repository.
#include <gtest/gtest.h>

#include "Gpg.h"
#include "PackError.h"
#include "SourceFiles.h"

namespace {

const std::time_t now = 1796800000;  // 2026-12-09
const long long day = 24 * 3600;

std::string colons(int bits, long long expires, const std::string& sub = "") {
    return "tru::1:1796848142:1:3:1:5\n"
           "pub:u:" + std::to_string(bits) + ":1:0AD7715410D9F27D:1796848143:"
           + (expires ? std::to_string(expires) : "") + "::u:::scSC::::::23::0:\n"
           "fpr:::::::::2BB3D7AF7B37AB67856D03380AD7715410D9F27D:\n"
           "uid:u::::1796848143::84782F::Repo <repo@example.invalid>::::::::::0:\n" + sub;
}

std::string packets(int uidDigest, const std::string& more = "") {
    return ":public key packet:\n\tversion 4, algo 1, created 1796848143, expires 0\n"
           "\tkeyid: 0AD7715410D9F27D\n"
           ":user ID packet: \"Repo <repo@example.invalid>\"\n"
           ":signature packet: algo 1, keyid 0AD7715410D9F27D\n"
           "\tversion 4, created 1796848143, md5len 0, sigclass 0x13\n"
           "\tdigest algo " + std::to_string(uidDigest) + ", begin of digest 24 db\n" + more;
}

bool mentions(const std::vector<std::string>& problems, const std::string& text) {
    for (const std::string& p : problems) {
        if (p.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST(RepositoryTest, KeysThatWouldBreakUsersAreNamedWithTheirReasons) {
    KeyFacts good = readKeyFacts(colons(3072, now + 400 * day), packets(10));
    EXPECT_EQ("2BB3D7AF7B37AB67856D03380AD7715410D9F27D", good.fingerprint);
    EXPECT_TRUE(repositoryKeyProblems(good, now).empty());
    EXPECT_TRUE(repositoryKeyProblems(readKeyFacts(colons(3072, 0), packets(8)), now).empty());

    EXPECT_TRUE(mentions(repositoryKeyProblems(readKeyFacts(colons(3072, now + 30 * day), packets(10)), now),
                         "within 90 days"));
    EXPECT_TRUE(mentions(repositoryKeyProblems(readKeyFacts(colons(3072, now - day), packets(10)), now),
                         "expired on"));
    EXPECT_TRUE(mentions(repositoryKeyProblems(readKeyFacts(colons(1024, 0), packets(10)), now),
                         "RSA of 1024 bits"));
    EXPECT_TRUE(mentions(repositoryKeyProblems(readKeyFacts(colons(3072, 0), packets(2)), now), "SHA-1"));
}

TEST(RepositoryTest, TheNewestSelfSignatureAndTheSigningSubkeyCount) {
    // Signed again with SHA-512 after a SHA-1 self-signature: fit.
    const std::string resigned = ":signature packet: algo 1, keyid 0AD7715410D9F27D\n"
                                 "\tversion 4, created 1796900000, md5len 0, sigclass 0x13\n"
                                 "\tdigest algo 10, begin of digest 11 22\n";
    EXPECT_TRUE(repositoryKeyProblems(readKeyFacts(colons(3072, 0), packets(2, resigned)), now).empty());

    // A third party's SHA-1 certification is no self-signature.
    const std::string foreign = ":signature packet: algo 1, keyid 1111222233334444\n"
                                "\tversion 4, created 1796900000, md5len 0, sigclass 0x10\n"
                                "\tdigest algo 2, begin of digest 11 22\n";
    EXPECT_TRUE(repositoryKeyProblems(readKeyFacts(colons(3072, 0), packets(10, foreign)), now).empty());

    // gpg signs with the signing subkey: its expiry and binding count.
    const std::string sub = "sub:u:3072:1:5555666677778888:1796848143:" + std::to_string(now + 20 * day)
                            + ":::::s::::::23:\n";
    const std::string binding = ":public sub key packet:\n\tversion 4, algo 1, created 1796848143, expires 0\n"
                                "\tkeyid: 5555666677778888\n"
                                ":signature packet: algo 1, keyid 0AD7715410D9F27D\n"
                                "\tversion 4, created 1796848143, md5len 0, sigclass 0x18\n"
                                "\tdigest algo 2, begin of digest 11 22\n";
    const std::vector<std::string> problems =
            repositoryKeyProblems(readKeyFacts(colons(3072, 0, sub), packets(10, binding)), now);
    EXPECT_TRUE(mentions(problems, "signing subkey 5555666677778888 expires"));
    EXPECT_TRUE(mentions(problems, "signing subkey 5555666677778888's self-signature uses SHA-1"));

    EXPECT_THROW(readKeyFacts("tru::1\n", ""), PackError);
    EXPECT_THROW(readKeyFacts(colons(3072, 0) + colons(3072, 0), ""), PackError);
}

TEST(RepositoryTest, SourceFilesCarryTheUrlAsData) {
    const RepositoryPlace place{checkedRepositoryUrl("https://updates.example.com/notes/"), "notes"};
    EXPECT_EQ("Types: deb\nURIs: https://updates.example.com/notes/apt\nSuites: ./\n"
              "Signed-By: /usr/share/keyrings/notes.gpg\n", aptSourcesText(place));
    EXPECT_EQ("[notes]\nname=Notes\nbaseurl=https://updates.example.com/notes/rpm\nenabled=1\ngpgcheck=1\n"
              "repo_gpgcheck=1\ngpgkey=file:///etc/pki/rpm-gpg/RPM-GPG-KEY-notes\n", yumRepoText(place, "Notes"));
    for (const char* bad : {"https://x.example/a\nTypes: deb-src", "https://x.example/$basearch",
                            "ftp://x.example/", "https://x.example/a b", "https://x.example/\"", "/srv/repo"}) {
        EXPECT_THROW(checkedRepositoryUrl(bad), PackError) << bad;
    }
    EXPECT_THROW(yumRepoText(place, "Notes\nexclude=*"), PackError);
}
