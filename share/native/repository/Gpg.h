// gpg, run as the repository step needs it: the user's keyring for the
// signing key, or a keyring of its own for a public key handed in.
#ifndef GPG_H
#define GPG_H

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Secret.h"

// What a key is, as gpg lists it.
struct KeyFacts {
    struct Part {
        std::string keyId;
        int algorithm = 0;       // OpenPGP's number: 1 RSA, 17 DSA, 19 ECDSA, 22 EdDSA
        int bits = 0;
        long long expires = 0;   // seconds since 1970; 0 never
        bool canSign = false;
        bool revoked = false;
        int selfSignatureDigest = 0;  // of its newest self-signature: 2 is SHA-1
    };
    std::string fingerprint;
    std::vector<std::string> userIds;
    Part primary;
    std::vector<Part> subkeys;
};

// Why `key` would break users' apt or dnf, as of `now`: each reason a
// sentence; empty when it is fit.
std::vector<std::string> repositoryKeyProblems(const KeyFacts& key, std::time_t now);

// Reads `gpg --with-colons --list-keys` and `--list-packets` output (exposed
// for tests).
KeyFacts readKeyFacts(const std::string& colons, const std::string& packets);

class Gpg {
public:
    // `home` empty: the user's own keyring (GNUPGHOME or ~/.gnupg).
    explicit Gpg(const std::filesystem::path& home = std::filesystem::path());

    // The one key that `name` selects; throws PackError for none or more.
    KeyFacts facts(const std::string& name) const;
    // The public key, binary or armored, into `file`.
    void exportKey(const std::string& name, bool armored, const std::filesystem::path& file) const;
    // A detached signature (armored) or a clear-signed copy of `file`, with
    // SHA-512; `passphrase` may be empty.
    void sign(const std::string& key, const std::string& passphrase, const std::filesystem::path& file,
              const std::filesystem::path& output, bool clear) const;
    // Runs gpg with `args`; throws PackError naming `what` when it fails.
    std::string run(const std::vector<std::string>& args, const std::string& what) const;

private:
    std::filesystem::path program;
    std::vector<std::string> base;
};

// A keyring of the tool's own, made for one run: the gpg agent that its
// private keys start is stopped when the scope ends, and the folder goes.
class OwnKeyring {
public:
    OwnKeyring();
    ~OwnKeyring();
    OwnKeyring(const OwnKeyring&) = delete;
    OwnKeyring& operator=(const OwnKeyring&) = delete;
    const std::filesystem::path& path() const { return dir.path; }

private:
    ScratchDirectory dir;
};

// The public keys of a file (binary or armored), read through a keyring of
// their own, in both forms.
struct PublicKey {
    std::string binary;
    std::string armored;
};
PublicKey readPublicKey(const std::filesystem::path& file);

#endif // GPG_H
