#include "RepositoryCommand.h"

#include "Options.h"
#include "PackageRepository.h"

namespace fs = std::filesystem;

namespace {

const char* const usage =
"usage: loftwick-pack repository DIR PACKAGE... --gpg-key ID|--gpg-key-file FILE [options]\n"
"\n"
"Adds .deb and .rpm files to the repository folder DIR (made if new), writes its\n"
"indexes, signs them and checks every signature as apt (sqv, gpgv) and dnf (gpg,\n"
"rpm -K) will. Publish DIR on any static web server; packages made with\n"
"--repository-url URL --repository-key DIR/key.asc then bring their updates from it.\n"
"  DIR/apt/     a flat apt repository: pool/, Packages, Release, InRelease, Release.gpg\n"
"  DIR/rpm/     a dnf repository: packages/, repodata/ with repomd.xml.asc\n"
"  DIR/key.gpg, DIR/key.asc   the public key, binary and armored\n"
"\n"
"Options:\n"
"  --gpg-key ID            the signing key, from gpg's keyring; refused when it has\n"
"                          expired or expires within 90 days, has a SHA-1\n"
"                          self-signature, or is weaker than apt accepts\n"
"  --gpg-key-file FILE     or the signing key's file (gpg --export-secret-keys), read\n"
"                          into a keyring of the step's own and removed afterwards\n"
"  --gpg-passphrase-env VAR, --gpg-passphrase-file FILE\n"
"                          where its passphrase is kept\n"
"  --keep N                keep the N newest versions of each package (default: all)\n"
"  --origin TEXT           the Release file's Origin and Label (default: DIR's name)\n"
"  --help\n"
"\n"
"A package already there is left as it is; a different file under the same name and\n"
"version is refused. Each .rpm is signed with the key in the pool (dnf checks it).\n"
"Needs apt-ftparchive (apt-utils), createrepo_c (createrepo-c), gpg, gpgv, sqv, rpm.\n"
"\n"
"Exit codes: 0 written or already up to date; 1 it could not be (the message says\n"
"why); 2 the command line is wrong.\n";

RepositoryRequest parse(const std::vector<std::string>& args) {
    RepositoryRequest r;
    std::vector<std::string> operands;
    std::string keep, passphraseEnv, passphraseFile;
    const OptionTable table = {
        {
            {"--gpg-key", [&](const std::string& v) { r.gpgKey = v; }},
            {"--gpg-key-file", [&](const std::string& v) { r.gpgKeyFile = fs::absolute(fs::u8path(v)); }},
            {"--gpg-passphrase-env", [&](const std::string& v) { passphraseEnv = v; }},
            {"--gpg-passphrase-file", [&](const std::string& v) { passphraseFile = v; }},
            {"--keep", [&](const std::string& v) { keep = v; }},
            {"--origin", [&](const std::string& v) { r.origin = v; }},
        },
        {},
        {},
        &operands,
    };
    parseOptions(args, table);
    if (operands.size() < 2) {
        throw UsageError("give the repository folder, then the packages to add");
    }
    if (r.gpgKey.empty() == r.gpgKeyFile.empty()) {
        throw UsageError("give the signing key, one way: --gpg-key ID or --gpg-key-file FILE");
    }
    if (!passphraseEnv.empty() && !passphraseFile.empty()) {
        throw UsageError("--gpg-passphrase-env and --gpg-passphrase-file exclude each other");
    }
    if (!keep.empty()) {
        if (keep.size() > 4 || keep.find_first_not_of("0123456789") != std::string::npos || std::stoi(keep) < 1) {
            throw UsageError("--keep is a number of versions, 1 or more, not \"" + keep + "\"");
        }
        r.keep = std::stoi(keep);
    }
    r.passphrase = {passphraseEnv, passphraseFile.empty() ? fs::path() : fs::absolute(fs::u8path(passphraseFile))};
    r.dir = fs::u8path(operands.front());
    for (size_t i = 1; i < operands.size(); ++i) {
        r.packages.push_back(fs::u8path(operands[i]));
    }
    return r;
}

void list(std::ostream& out, const char* what, const std::vector<std::string>& files) {
    for (const std::string& f : files) {
        out << "  " << what << f << "\n";
    }
}

} // namespace

int repositoryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && args[0] == "--help") {
        out << usage;
        return 0;
    }
    RepositoryRequest request;
    try {
        request = parse(args);
    } catch (const UsageError& e) {
        err << "loftwick-pack repository: " << e.what() << "\n(--help lists the options)\n";
        return 2;
    }
    try {
        const RepositoryResult result = updateRepository(request);
        list(out, "added      ", result.added);
        list(out, "unchanged  ", result.unchanged);
        list(out, "removed    ", result.removed);
        if (!result.written) {
            out << "Nothing changed: " << request.dir.u8string() << " already holds these packages\n";
            return 0;
        }
        out << "Wrote " << request.dir.u8string() << ", checked:\n";
        list(out, "", result.checks);
    } catch (const std::exception& e) {
        err << "loftwick-pack repository: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
