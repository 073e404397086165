// What signing needs: a key (one of three sources), timestamp servers, the
// digest, and what to verify against.
#ifndef SIGNINGREQUEST_H
#define SIGNINGREQUEST_H

#include <filesystem>
#include <string>
#include <vector>

// Where a password, a PIN or a passphrase is kept: an environment variable
// or a file, never a command line.
struct SecretSource {
    std::string environment;
    std::filesystem::path file;

    bool given() const { return !environment.empty() || !file.empty(); }
};

enum class KeyKind { None, Pkcs12, Pkcs11, Command };

struct AuthenticodeKey {
    KeyKind kind = KeyKind::None;
    std::filesystem::path pkcs12;
    std::string pkcs11Uri;
    std::filesystem::path pkcs11Module;
    std::filesystem::path certificates;  // PEM chain, for a key that lives in a token
    std::string command;                 // with {file} and {digest}
    SecretSource secret;                 // the PKCS#12 password or the token's PIN
};

struct SigningRequest {
    AuthenticodeKey key;
    std::vector<std::string> timestampServers;  // tried in order
    int timestampAttempts = 3;                  // for each server
    bool withoutTimestamp = false;
    std::string digest = "sha256";
    std::filesystem::path caFile;     // the signer's chain must end here
    std::filesystem::path tsaCaFile;  // and the timestamp authority's here
    std::string gpgKey;               // for .rpm files
    SecretSource gpgPassphrase;
    std::filesystem::path gpgHome;    // the keyring holding it; empty: the user's
};

#endif // SIGNINGREQUEST_H
