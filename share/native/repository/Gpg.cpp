#include "Gpg.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "PackError.h"
#include "Packager.h"
#include "ScratchDirectory.h"
#include "ToolRun.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ':')) {
        out.push_back(field);
    }
    return out;
}

long long number(const std::string& text) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    return std::stoll(text);
}

std::string field(const std::vector<std::string>& f, size_t i) {
    return i < f.size() ? f[i] : std::string();
}

KeyFacts::Part partOf(const std::vector<std::string>& f) {
    KeyFacts::Part p;
    p.revoked = field(f, 1) == "r";
    p.bits = static_cast<int>(number(field(f, 2)));
    p.algorithm = static_cast<int>(number(field(f, 3)));
    p.keyId = field(f, 4);
    p.expires = number(field(f, 6));
    p.canSign = field(f, 11).find('s') != std::string::npos;
    return p;
}

// The newest self-signature's digest of each user id and subkey, from
// --list-packets: a packet line says what follows, its indented lines give
// a key's id, a signature's time and its digest.
void readSelfSignatures(const std::string& packets, KeyFacts& facts) {
    std::istringstream in(packets);
    std::string line, context;
    std::map<std::string, std::pair<long long, int>> newest;  // context -> (time, digest)
    long long created = 0;
    bool inSubkey = false, selfSignature = false;
    int userIds = 0;
    while (std::getline(in, line)) {
        if (line.rfind(":user ID packet:", 0) == 0) {
            context = "uid" + std::to_string(userIds++);
            inSubkey = selfSignature = false;
        } else if (line.rfind(":public sub key packet:", 0) == 0) {
            inSubkey = true;
            selfSignature = false;
        } else if (line.rfind(":public key packet:", 0) == 0) {
            context = "primary";
            inSubkey = selfSignature = false;
        } else if (inSubkey && line.rfind("\tkeyid: ", 0) == 0) {
            context = "sub:" + line.substr(8);
            inSubkey = false;
        } else if (line.rfind(":signature packet:", 0) == 0) {
            const size_t at = line.find("keyid ");
            selfSignature = at != std::string::npos && line.substr(at + 6) == facts.primary.keyId;
        } else if (selfSignature && line.find("sigclass 0x") != std::string::npos) {
            const size_t at = line.find("created ");
            const size_t end = at == std::string::npos ? at : line.find(',', at);
            created = at == std::string::npos ? 0 : number(line.substr(at + 8, end - at - 8));
        } else if (selfSignature && line.rfind("\tdigest algo ", 0) == 0) {
            const int digest = static_cast<int>(number(line.substr(13, line.find(',') - 13)));
            auto& slot = newest[context];
            if (slot.second == 0 || created >= slot.first) {
                slot = {created, digest};
            }
            selfSignature = false;
        }
    }
    for (const auto& entry : newest) {
        KeyFacts::Part* part = &facts.primary;
        if (entry.first.rfind("sub:", 0) == 0) {
            part = nullptr;
            for (KeyFacts::Part& sub : facts.subkeys) {
                part = sub.keyId == entry.first.substr(4) ? &sub : part;
            }
        }
        // The weakest of the primary's user ids counts: apt needs them all.
        if (part && (part->selfSignatureDigest == 0 || entry.second.second <= 3)) {
            part->selfSignatureDigest = entry.second.second;
        }
    }
}

const char* algorithmName(int algorithm) {
    switch (algorithm) {
    case 1: case 2: case 3: return "RSA";
    case 17: return "DSA";
    default: return nullptr;
    }
}

std::string day(long long seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d", std::gmtime(&t));
    return text;
}

void partProblems(const KeyFacts::Part& part, const std::string& what, std::time_t now,
                  std::vector<std::string>& problems) {
    const long long margin = 90LL * 24 * 3600;
    if (part.expires != 0 && part.expires <= now) {
        problems.push_back(what + " expired on " + day(part.expires) + ": apt and dnf refuse every "
                           "repository it signs");
    } else if (part.expires != 0 && part.expires - now < margin) {
        problems.push_back(what + " expires on " + day(part.expires) + ", within 90 days: once it "
                           "does, every user's apt update and dnf upgrade fails; extend it "
                           "(gpg --quick-set-expire) and publish the key again first");
    }
    const char* name = algorithmName(part.algorithm);
    if (name && part.bits < 2048) {
        problems.push_back(what + " is " + name + " of " + std::to_string(part.bits) + " bits, which "
                           "current apt (sqv) rejects: use RSA of 3072 bits or more, or Ed25519");
    }
    if (part.selfSignatureDigest >= 1 && part.selfSignatureDigest <= 3) {
        problems.push_back(what + "'s self-signature uses SHA-1 (or an older digest), which apt "
                           "(sqv) rejects since 2026-02-01: sign the key again with SHA-256 or "
                           "stronger (gpg --cert-digest-algo SHA512 --quick-set-expire ...)");
    }
}

} // namespace

KeyFacts readKeyFacts(const std::string& colons, const std::string& packets) {
    KeyFacts facts;
    std::istringstream in(colons);
    std::string line;
    bool afterPrimary = false;
    int primaries = 0;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = fields(line);
        const std::string kind = field(f, 0);
        // A secret key lists as sec and ssb lines, a public one as pub and sub.
        if (kind == "pub" || kind == "sec") {
            ++primaries;
            facts.primary = partOf(f);
            afterPrimary = true;
        } else if (kind == "sub" || kind == "ssb") {
            facts.subkeys.push_back(partOf(f));
            afterPrimary = false;
        } else if (kind == "fpr" && afterPrimary) {
            facts.fingerprint = field(f, 9);
            afterPrimary = false;
        } else if (kind == "uid") {
            facts.userIds.push_back(field(f, 9));
        }
    }
    if (primaries != 1) {
        throw PackError(primaries == 0 ? "gpg lists no such key" : "the name selects more than one key: "
                                                                 "give its fingerprint");
    }
    readSelfSignatures(packets, facts);
    return facts;
}

std::vector<std::string> repositoryKeyProblems(const KeyFacts& key, std::time_t now) {
    std::vector<std::string> problems;
    partProblems(key.primary, "the key " + key.fingerprint, now, problems);
    // gpg signs with the newest signing subkey that is valid, else the primary.
    const KeyFacts::Part* signing = key.primary.canSign ? &key.primary : nullptr;
    for (const KeyFacts::Part& sub : key.subkeys) {
        if (sub.canSign && !sub.revoked && (sub.expires == 0 || sub.expires > now)) {
            signing = &sub;
        }
    }
    if (!signing) {
        problems.push_back("the key " + key.fingerprint + " has no signing key that is valid");
    } else if (signing != &key.primary) {
        partProblems(*signing, "its signing subkey " + signing->keyId, now, problems);
    }
    return problems;
}

Gpg::Gpg(const fs::path& home) : program(findProgram("gpg")) {
    if (program.empty()) {
        throw PackError("gpg is needed on PATH (sudo apt install gnupg)");
    }
    base = {"--batch", "--no-tty"};
    if (!home.empty()) {
        base.insert(base.end(), {"--homedir", fs::absolute(home).u8string()});
    }
}

std::string Gpg::run(const std::vector<std::string>& args, const std::string& what) const {
    std::vector<std::string> all = base;
    all.insert(all.end(), args.begin(), args.end());
    std::string output;
    if (!runProgram(program, all, fs::current_path(), output)) {
        throw PackError(what + " failed: gpg said:\n" + output);
    }
    return output;
}

KeyFacts Gpg::facts(const std::string& name) const {
    const std::string colons = run({"--with-colons", "--fixed-list-mode", "--list-keys", "--", name},
                                   "listing the key " + name);
    const ScratchDirectory scratch(fs::temp_directory_path() / "loftwick-key");
    const fs::path exported = scratch.path / "key.gpg";
    exportKey(name, false, exported);
    const std::string packets = run({"--list-packets", exported.u8string()}, "reading the key " + name);
    try {
        return readKeyFacts(colons, packets);
    } catch (const PackError& e) {
        throw PackError("the key " + name + ": " + e.what());
    }
}

void Gpg::exportKey(const std::string& name, bool armored, const fs::path& file) const {
    std::vector<std::string> args = {"--yes", "--output", fs::absolute(file).u8string()};
    if (armored) {
        args.push_back("--armor");
    }
    args.insert(args.end(), {"--export-options", "export-minimal", "--export", "--", name});
    run(args, "exporting the key " + name);
}

void Gpg::sign(const std::string& key, const std::string& passphrase, const fs::path& file,
               const fs::path& output, bool clear) const {
    std::vector<std::string> args = {"--yes", "--local-user", key, "--digest-algo", "SHA512",
                                     "--output", fs::absolute(output).u8string()};
    std::unique_ptr<SecretFile> secret;
    if (!passphrase.empty()) {
        secret.reset(new SecretFile(passphrase));
        args.insert(args.end(), {"--pinentry-mode", "loopback", "--passphrase-file", secret->path().u8string()});
    }
    if (clear) {
        args.push_back("--clearsign");
    } else {
        args.insert(args.end(), {"--armor", "--detach-sign"});
    }
    args.push_back(fs::absolute(file).u8string());
    run(args, "signing " + file.filename().u8string());
}

OwnKeyring::OwnKeyring() : dir(fs::temp_directory_path() / "loftwick-keyring") {
    fs::permissions(dir.path, fs::perms::owner_all, fs::perm_options::replace);
}

OwnKeyring::~OwnKeyring() {
    const fs::path gpgconf = findProgram("gpgconf");
    if (!gpgconf.empty()) {
        std::string output;
        runProgram(gpgconf, {"--homedir", dir.path.u8string(), "--kill", "gpg-agent"}, fs::current_path(), output);
    }
}

PublicKey readPublicKey(const fs::path& file) {
    const OwnKeyring home;
    const Gpg gpg(home.path());
    const std::string imported = gpg.run({"--import", fs::absolute(file).u8string()},
                                         "reading the key file " + shown(file));
    if (imported.find("secret keys read") != std::string::npos) {
        throw PackError(shown(file) + " holds a private key: give the public key alone "
                        "(gpg --export --armor KEY)");
    }
    const std::string colons = gpg.run({"--with-colons", "--fixed-list-mode", "--list-keys"}, "listing it");
    if (colons.find("\npub:") == std::string::npos && colons.rfind("pub:", 0) != 0) {
        throw PackError(shown(file) + " holds no public key");
    }
    // Every key the file holds is trusted for the repository: two while
    // one key takes over from another.
    PublicKey key;
    for (const bool armored : {false, true}) {
        const fs::path out = home.path() / (armored ? "key.asc" : "key.gpg");
        std::vector<std::string> args = {"--yes", "--output", out.u8string(), "--export-options", "export-minimal"};
        if (armored) {
            args.push_back("--armor");
        }
        args.push_back("--export");
        gpg.run(args, "exporting the keys of " + shown(file));
        const Bytes bytes = readBinaryFile(out, 1 << 20);
        (armored ? key.armored : key.binary).assign(bytes.begin(), bytes.end());
    }
    return key;
}
