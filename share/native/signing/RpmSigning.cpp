#include "RpmSigning.h"

#include <memory>

#include "PackError.h"
#include "Packager.h"
#include "Quoting.h"
#include "ScratchDirectory.h"
#include "Secret.h"
#include "RequiredTool.h"
#include "ToolRun.h"

namespace fs = std::filesystem;

namespace {

// A key id, fingerprint or address: what gpg's --local-user takes, and
// nothing a macro or an option could be made of.
void checkKeyName(const std::string& key) {
    if (key.empty() || key.size() > 256 || key.front() == '-') {
        throw PackError("give the GPG key for .rpm files with --gpg-key ID");
    }
    for (const char c : key) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && std::string("@._+<> -").find(c) == std::string::npos) {
            throw PackError("the GPG key \"" + shownValue(key) + "\" is not a key id, fingerprint or address");
        }
    }
}

} // namespace

std::string signRpm(const fs::path& rpm, const SigningRequest& request) {
    checkKeyName(request.gpgKey);
    const fs::path rpmsign = requiredProgram("rpmsign", "rpm", "signing an .rpm");
    const fs::path rpmTool = requiredProgram("rpm", "rpm", "signing an .rpm");
    const fs::path gpg = requiredProgram("gpg", "gpg", "signing an .rpm");
    const std::string passphrase = readSecret(request.gpgPassphrase, "GPG passphrase");
    const ScratchDirectory scratch(fs::temp_directory_path() / "loftwick-rpmsign");
    fs::permissions(scratch.path, fs::perms::owner_all, fs::perm_options::replace);
    const fs::path dir = rpm.parent_path().empty() ? fs::path(".") : rpm.parent_path();

    // Debian's rpm asks for gpg2, which Debian does not ship: name gpg.
    std::vector<std::string> args = {
        "--define", "__gpg " + rpmMacroText(gpg.u8string(), "the gpg program's path"),
        "--define", "_gpg_name " + rpmMacroText(request.gpgKey, "the GPG key"),
    };
    std::vector<std::string> home;
    if (!request.gpgHome.empty()) {
        args.insert(args.end(), {"--define", "_gpg_path " + rpmMacroText(fs::absolute(request.gpgHome).u8string(),
                                                                          "the keyring's path")});
        home = {"--homedir", fs::absolute(request.gpgHome).u8string()};
    }
    std::unique_ptr<SecretFile> secret;
    if (request.gpgPassphrase.given()) {
        secret.reset(new SecretFile(passphrase));
        args.insert(args.end(), {"--define", "_gpg_sign_cmd_extra_args --batch --pinentry-mode loopback "
                                             "--passphrase-file " + rpmMacroText(secret->path().u8string(), "a path")});
    }
    args.insert(args.end(), {"--addsign", fs::absolute(rpm).u8string()});
    runRequired(rpmsign, args, dir, "rpmsign");

    // Checked against the signing key alone, not whatever the machine trusts.
    const fs::path key = scratch.path / "key.asc";
    std::vector<std::string> exportArgs = home;
    exportArgs.insert(exportArgs.end(), {"--batch", "--armor", "--output", key.u8string(), "--export", request.gpgKey});
    runRequired(gpg, exportArgs, dir, "exporting the public key");
    const fs::path db = scratch.path / "rpmdb";
    fs::create_directories(db);
    runRequired(rpmTool, {"--dbpath", db.u8string(), "--import", key.u8string()}, dir, "rpm --import");
    std::string said;
    const bool ok = runProgram(rpmTool, {"--dbpath", db.u8string(), "-K", fs::absolute(rpm).u8string()}, dir, said);
    if (!ok || said.find("signatures OK") == std::string::npos) {
        throw PackError("the signed package does not check: rpm -K said:\n" + said);
    }
    while (!said.empty() && said.back() == '\n') {
        said.pop_back();
    }
    return said;
}
