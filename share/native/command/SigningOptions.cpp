#include "SigningOptions.h"

namespace fs = std::filesystem;

namespace {

// The tools run in other directories: every path is made whole first.
fs::path whole(const fs::path& path) {
    return path.empty() ? path : fs::absolute(path);
}

} // namespace

const char* const signingOptionsHelp =
"Key, one of:\n"
"  --pkcs12 FILE           a PKCS#12 file (.p12, .pfx) with the key and its certificates\n"
"  --pkcs11 URI            a key in a token or HSM (pkcs11:token=...;object=...), with\n"
"    --pkcs11-module LIBRARY  the token's PKCS#11 library, and\n"
"    --certificate FILE    the certificate chain (PEM)\n"
"  --sign-command COMMAND  a signing service's own client, run without a shell; {file} is\n"
"                          the file to sign in place, {digest} the digest (sha256)\n"
"  --password-env VAR, --password-file FILE\n"
"                          where the PKCS#12 password or the token's PIN is (never on a\n"
"                          command line: it would show in every process list)\n"
"Timestamps and checks:\n"
"  --timestamp URL         an RFC 3161 timestamp server (repeatable: tried in order,\n"
"                          each --timestamp-attempts times, default 3)\n"
"  --no-timestamp          sign without a timestamp (the signature then ends with the\n"
"                          certificate; a warning says so)\n"
"  --digest sha256|sha384|sha512  (default sha256; SHA-1 is refused)\n"
"  --ca-file FILE          the signer's chain must end at one of these CAs (PEM);\n"
"                          default: the machine's CA bundle\n"
"  --tsa-ca-file FILE      the same for the timestamp authority (default: --ca-file)\n"
".rpm packages:\n"
"  --gpg-key ID            the GPG key (from gpg's keyring) that signs them\n"
"  --gpg-passphrase-env VAR, --gpg-passphrase-file FILE\n"
"                          where its passphrase is\n";

void SigningOptions::addTo(OptionTable& table) {
    AuthenticodeKey& key = request.key;
    const std::map<std::string, std::function<void(const std::string&)>> single = {
        {"--pkcs12", [this](const std::string& v) { pkcs12 = v; }},
        {"--pkcs11", [this](const std::string& v) { pkcs11 = v; }},
        {"--sign-command", [this](const std::string& v) { command = v; }},
        {"--pkcs11-module", [&key](const std::string& v) { key.pkcs11Module = fs::u8path(v); }},
        {"--certificate", [&key](const std::string& v) { key.certificates = fs::u8path(v); }},
        {"--password-env", [this](const std::string& v) { passwordEnv = v; }},
        {"--password-file", [this](const std::string& v) { passwordFile = v; }},
        {"--digest", [this](const std::string& v) { digest = v; }},
        {"--timestamp-attempts", [this](const std::string& v) { attempts = v; }},
        {"--ca-file", [this](const std::string& v) { request.caFile = fs::u8path(v); }},
        {"--tsa-ca-file", [this](const std::string& v) { request.tsaCaFile = fs::u8path(v); }},
        {"--gpg-key", [this](const std::string& v) { request.gpgKey = v; }},
        {"--gpg-passphrase-env", [this](const std::string& v) { passphraseEnv = v; }},
        {"--gpg-passphrase-file", [this](const std::string& v) { passphraseFile = v; }},
    };
    table.single.insert(single.begin(), single.end());
    table.repeated["--timestamp"] = &request.timestampServers;
    table.flags["--no-timestamp"] = &request.withoutTimestamp;
}

bool SigningOptions::windowsKeyGiven() const {
    return !pkcs12.empty() || !pkcs11.empty() || !command.empty();
}

void SigningOptions::finish() {
    AuthenticodeKey& key = request.key;
    if ((!pkcs12.empty()) + (!pkcs11.empty()) + (!command.empty()) > 1) {
        throw UsageError("give one key: --pkcs12, --pkcs11 or --sign-command");
    }
    if (!pkcs12.empty()) {
        key.kind = KeyKind::Pkcs12;
        key.pkcs12 = fs::u8path(pkcs12);
    } else if (!pkcs11.empty()) {
        key.kind = KeyKind::Pkcs11;
        key.pkcs11Uri = pkcs11;
    } else if (!command.empty()) {
        key.kind = KeyKind::Command;
        key.command = command;
    }
    if (!passwordEnv.empty() && !passwordFile.empty()) {
        throw UsageError("--password-env and --password-file exclude each other");
    }
    if (!passphraseEnv.empty() && !passphraseFile.empty()) {
        throw UsageError("--gpg-passphrase-env and --gpg-passphrase-file exclude each other");
    }
    key.secret = {passwordEnv, whole(fs::u8path(passwordFile))};
    request.gpgPassphrase = {passphraseEnv, whole(fs::u8path(passphraseFile))};
    key.pkcs12 = whole(key.pkcs12);
    key.pkcs11Module = whole(key.pkcs11Module);
    key.certificates = whole(key.certificates);
    request.caFile = whole(request.caFile);
    request.tsaCaFile = whole(request.tsaCaFile);
    if (!digest.empty()) {
        request.digest = digest;
    }
    if (!attempts.empty()) {
        if (attempts.size() > 2 || attempts.find_first_not_of("0123456789") != std::string::npos
            || std::stoi(attempts) < 1) {
            throw UsageError("--timestamp-attempts is a number from 1 to 99, not \"" + attempts + "\"");
        }
        request.timestampAttempts = std::stoi(attempts);
    }
    if (request.withoutTimestamp && !request.timestampServers.empty()) {
        throw UsageError("--no-timestamp and --timestamp exclude each other");
    }
}
