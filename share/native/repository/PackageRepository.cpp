#include "PackageRepository.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>

#include "Gpg.h"
#include "PackError.h"
#include "Packager.h"
#include "Quoting.h"
#include "RpmSigning.h"
#include "ScratchDirectory.h"
#include "Secret.h"
#include "RequiredTool.h"
#include "ToolRun.h"

namespace fs = std::filesystem;

namespace {

fs::path tool(const std::string& name, const std::string& package) {
    return requiredProgram(name, package, "the repository step");
}

// One package as the repository files it.
struct Package {
    fs::path source;
    bool deb = true;
    std::string name, version, arch;
    std::string identity;   // an .rpm's header digest; a .deb is its bytes
    std::string fileName;   // in the pool

    std::string group() const { return (deb ? "deb " : "rpm ") + name + " " + arch; }
};

// What a package's name, version or architecture may hold: nothing a file
// name, a shell or an index reads otherwise.
void checkWord(const std::string& value, const std::string& what, const fs::path& file) {
    if (value.empty() || value.size() > 200
        || value.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.+~^_-:")
               != std::string::npos) {
        throw PackError(shown(file) + ": its " + what + " " + shownValue(value)
                        + " holds characters a package's " + what + " does not");
    }
}

// Whether two files hold the same bytes, read a block at a time.
bool sameBytes(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::file_size(a, ec) != fs::file_size(b, ec) || ec) {
        return false;
    }
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> one(1 << 16), two(1 << 16);
    while (x && y) {
        x.read(one.data(), static_cast<std::streamsize>(one.size()));
        y.read(two.data(), static_cast<std::streamsize>(two.size()));
        if (x.gcount() != y.gcount() || !std::equal(one.begin(), one.begin() + x.gcount(), two.begin())) {
            return false;
        }
    }
    return x.eof() && y.eof();
}

Package readDeb(const fs::path& file) {
    const std::string fields = runRequired(tool("dpkg-deb", "dpkg"), {"-f", fs::absolute(file).u8string(),
                                   "Package", "Version", "Architecture"}, fs::current_path(),
                                   "reading " + shown(file));
    Package p;
    p.source = file;
    std::istringstream in(fields);
    std::string line;
    while (std::getline(in, line)) {
        const size_t colon = line.find(": ");
        const std::string key = line.substr(0, colon), value = colon == std::string::npos ? "" : line.substr(colon + 2);
        if (key == "Package") {
            p.name = value;
        } else if (key == "Version") {
            p.version = value;
        } else if (key == "Architecture") {
            p.arch = value;
        }
    }
    checkWord(p.name, "name", file);
    checkWord(p.version, "version", file);
    checkWord(p.arch, "architecture", file);
    const size_t epoch = p.version.find(':');
    p.fileName = p.name + "_" + (epoch == std::string::npos ? p.version : p.version.substr(epoch + 1)) + "_"
                 + p.arch + ".deb";
    return p;
}

Package readRpm(const fs::path& file) {
    const std::string fields = runRequired(tool("rpm", "rpm"), {"-qp", "--nosignature", "--nodigest", "--qf",
                                   "%{NAME}\\n%{EPOCHNUM}\\n%{VERSION}\\n%{RELEASE}\\n%{ARCH}\\n%{SHA256HEADER}\\n",
                                   fs::absolute(file).u8string()}, fs::current_path(), "reading " + shown(file));
    std::vector<std::string> lines;
    std::istringstream in(fields);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    if (lines.size() < 6) {
        throw PackError("rpm could not read " + shown(file) + ":\n" + fields);
    }
    lines.erase(lines.begin(), lines.end() - 6);  // what rpm warned of comes first
    Package p;
    p.source = file;
    p.deb = false;
    p.name = lines[0];
    p.version = (lines[1] == "0" ? "" : lines[1] + ":") + lines[2] + "-" + lines[3];
    p.arch = lines[4];
    checkWord(p.name, "name", file);
    checkWord(p.version, "version", file);
    checkWord(p.arch, "architecture", file);
    p.fileName = p.name + "-" + lines[2] + "-" + lines[3] + "." + p.arch + ".rpm";
    // Signing adds to the signature header only: the header's digest
    // names the package, signed or not.
    p.identity = lines[5];
    return p;
}

// Whether version a is older than b, by the package manager's own rule.
bool older(const Package& a, const Package& b) {
    std::string output;
    if (a.deb) {
        return runProgram(findProgram("dpkg"), {"--compare-versions", a.version, "lt", b.version},
                          fs::current_path(), output);
    }
    std::string said;
    runProgram(findProgram("rpm"), {"--define", "loftwick_a " + rpmMacroText(a.version, "a version"),
                                    "--define", "loftwick_b " + rpmMacroText(b.version, "a version"),
                                    "--eval", "%{lua:print(rpm.vercmp(rpm.expand('%loftwick_a'), "
                                              "rpm.expand('%loftwick_b')))}"},
               fs::current_path(), said);
    return said.rfind("-1", 0) == 0;
}

// A private key handed in by file: imported into the step's own keyring;
// its fingerprint selects it there.
std::string importKeyFile(const Gpg& gpg, const fs::path& file) {
    gpg.run({"--import", fs::absolute(file).u8string()}, "reading the key file " + shown(file));
    const std::string listed = gpg.run({"--with-colons", "--fixed-list-mode", "--list-secret-keys"},
                                       "listing the key file's keys");
    const KeyFacts facts = readKeyFacts(listed, std::string());
    if (facts.fingerprint.empty()) {
        throw PackError(shown(file) + " holds no private key to sign with");
    }
    return facts.fingerprint;
}

class Repository {
public:
    explicit Repository(const RepositoryRequest& request)
        : request(request), apt(request.dir / "apt"), dnf(request.dir / "rpm"), key(request.gpgKey) {}

    RepositoryResult update() {
        std::unique_ptr<OwnKeyring> ownHome;
        if (!request.gpgKeyFile.empty()) {
            ownHome.reset(new OwnKeyring());
            key = importKeyFile(Gpg(ownHome->path()), request.gpgKeyFile);
            home = ownHome->path();
        }
        const Gpg gpg(home);
        const KeyFacts facts = gpg.facts(key);
        std::vector<std::string> problems = repositoryKeyProblems(facts, std::time(nullptr));
        if (!problems.empty()) {
            std::string text = "the key " + key + " would break users' updates:";
            for (const std::string& p : problems) {
                text += "\n  " + p;
            }
            throw PackError(text);
        }
        passphrase = readSecret(request.passphrase, "GPG passphrase");
        std::vector<Package> packages = read();
        RepositoryResult result;
        AddedFiles added;
        for (const Package& p : packages) {
            add(p, result, added);
        }
        const std::vector<fs::path> dropped = dropOlder(result);
        if (result.added.empty() && dropped.empty() && indexed()) {
            return result;
        }
        write(gpg, facts);
        for (const fs::path& file : dropped) {
            fs::remove(file);
        }
        check(result);
        added.keep();
        result.written = true;
        return result;
    }

private:
    // Files put into the pools by this run, taken out again when it fails.
    struct AddedFiles {
        std::vector<fs::path> files;
        bool kept = false;
        void keep() { kept = true; }
        ~AddedFiles() {
            for (const fs::path& f : files) {
                std::error_code ec;
                if (!kept) {
                    fs::remove(f, ec);
                }
            }
        }
    };

    fs::path pool(bool deb) const { return deb ? apt / "pool" : dnf / "packages"; }

    std::vector<Package> read() const {
        std::vector<Package> packages;
        for (const fs::path& file : request.packages) {
            std::string ext = file.extension().u8string();
            std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
            if (ext != ".deb" && ext != ".rpm") {
                throw PackError(shown(file) + " is neither a .deb nor an .rpm");
            }
            packages.push_back(ext == ".deb" ? readDeb(file) : readRpm(file));
        }
        return packages;
    }

    void add(const Package& p, RepositoryResult& result, AddedFiles& added) {
        const fs::path target = pool(p.deb) / p.fileName;
        if (fs::exists(target)) {
            const bool same = p.deb ? sameBytes(target, p.source) : readRpm(target).identity == p.identity;
            if (!same) {
                throw PackError(shown(p.source) + " is " + p.name + " " + p.version + " (" + p.arch + "), "
                                "which the repository already holds as another file: a version once "
                                "published is never replaced; give this build a new version");
            }
            result.unchanged.push_back(p.fileName);
            return;
        }
        fs::create_directories(pool(p.deb));
        const fs::path partial = pool(p.deb) / ("." + p.fileName + ".partial");
        fs::copy_file(p.source, partial, fs::copy_options::overwrite_existing);
        added.files.push_back(partial);
        if (!p.deb) {
            signedByOurKey(partial);
        }
        fs::rename(partial, target);
        added.files.back() = target;
        result.added.push_back(p.fileName);
    }

    // dnf checks each package's signature against the repository's key:
    // the copy in the pool is signed with it, whatever signed it before.
    void signedByOurKey(const fs::path& rpm) const {
        SigningRequest signing;
        signing.gpgKey = key;
        signing.gpgPassphrase = request.passphrase;
        signing.gpgHome = home;
        signRpm(rpm, signing);
    }

    std::vector<fs::path> dropOlder(RepositoryResult& result) const {
        std::vector<fs::path> dropped;
        if (request.keep <= 0) {
            return dropped;
        }
        std::map<std::string, std::vector<Package>> groups;
        for (const bool deb : {true, false}) {
            std::error_code ec;
            for (fs::directory_iterator it(pool(deb), ec), end; !ec && it != end; it.increment(ec)) {
                if (it->path().filename().u8string().front() == '.') {
                    continue;
                }
                const Package p = deb ? readDeb(it->path()) : readRpm(it->path());
                groups[p.group()].push_back(p);
            }
        }
        for (auto& group : groups) {
            std::vector<Package>& list = group.second;
            std::sort(list.begin(), list.end(), [](const Package& a, const Package& b) { return older(b, a); });
            for (size_t i = static_cast<size_t>(request.keep); i < list.size(); ++i) {
                dropped.push_back(list[i].source);
                result.removed.push_back(list[i].fileName);
            }
        }
        return dropped;
    }

    bool indexed() const {
        const bool debs = fs::exists(apt / "pool"), rpms = fs::exists(dnf / "packages");
        return (!debs || fs::exists(apt / "InRelease")) && (!rpms || fs::exists(dnf / "repodata" / "repomd.xml.asc"))
               && fs::exists(request.dir / "key.gpg");
    }

    void write(const Gpg& gpg, const KeyFacts& facts) const {
        gpg.exportKey(facts.fingerprint, false, request.dir / "key.gpg");
        gpg.exportKey(facts.fingerprint, true, request.dir / "key.asc");
        if (fs::exists(apt / "pool")) {
            writeApt(gpg);
        }
        if (fs::exists(dnf / "packages")) {
            writeDnf(gpg);
        }
    }

    void writeApt(const Gpg& gpg) const {
        const fs::path ftparchive = tool("apt-ftparchive", "apt-utils");
        // Beside the apt folder: apt-ftparchive hashes every index below it.
        const ScratchDirectory scratch(request.dir / "index");
        std::string output;
        if (!runProgramToFile(ftparchive, {"packages", "pool"}, apt, scratch.path / "Packages", output)) {
            throw PackError("apt-ftparchive could not index the .deb files:\n" + output);
        }
        const Bytes packages = readBinaryFile(scratch.path / "Packages", uint64_t(1) << 30);
        writeBinaryFile(apt / "Packages", packages);
        writeBinaryFile(apt / "Packages.gz", gzipped(std::string(packages.begin(), packages.end())));
        for (const char* old : {"Release", "InRelease", "Release.gpg"}) {
            std::error_code ec;
            fs::remove(apt / old, ec);
        }
        const std::string origin = request.origin.empty() ? fs::absolute(request.dir).filename().u8string()
                                                          : request.origin;
        controlFieldValue(origin, "the origin");
        if (!runProgramToFile(ftparchive, {"-o", "APT::FTPArchive::Release::Origin=" + origin,
                                           "-o", "APT::FTPArchive::Release::Label=" + origin, "release", "."},
                              apt, scratch.path / "Release", output)) {
            throw PackError("apt-ftparchive could not write the Release file:\n" + output);
        }
        fs::copy_file(scratch.path / "Release", apt / "Release");
        gpg.sign(key, passphrase, apt / "Release", apt / "InRelease", true);
        gpg.sign(key, passphrase, apt / "Release", apt / "Release.gpg", false);
    }

    void writeDnf(const Gpg& gpg) const {
        const fs::path createrepo = tool("createrepo_c", "createrepo-c");
        runRequired(createrepo, {"--update", "--quiet", "--simple-md-filenames", fs::absolute(dnf).u8string()}, dnf,
            "createrepo_c");
        const fs::path repomd = dnf / "repodata" / "repomd.xml";
        gpg.sign(key, passphrase, repomd, dnf / "repodata" / "repomd.xml.asc", false);
    }

    // Each signature checked as the users' machines will: apt's sqv and
    // gpgv, dnf's gpg and rpm.
    void check(RepositoryResult& result) const {
        const fs::path keyring = fs::absolute(request.dir / "key.gpg");
        if (fs::exists(apt / "Release.gpg")) {
            const std::string sqv = runRequired(tool("sqv", "sqv"), {"--keyring", keyring.u8string(),
                                                "Release.gpg", "Release"}, apt, "sqv on Release.gpg");
            result.checks.push_back("sqv, apt/Release.gpg: " + firstLine(sqv));
            runRequired(tool("gpgv", "gpgv"), {"--keyring", keyring.u8string(), "InRelease"}, apt,
                        "gpgv on InRelease");
            result.checks.push_back("gpgv, apt/InRelease: good signature");
        }
        if (fs::exists(dnf / "repodata" / "repomd.xml.asc")) {
            checkDnf(keyring, result);
        }
    }

    void checkDnf(const fs::path& keyring, RepositoryResult& result) const {
        const OwnKeyring verifying;
        const Gpg own(verifying.path());
        own.run({"--import", keyring.u8string()}, "importing the repository's key");
        own.run({"--verify", fs::absolute(dnf / "repodata" / "repomd.xml.asc").u8string(),
                 fs::absolute(dnf / "repodata" / "repomd.xml").u8string()}, "gpg --verify on repomd.xml");
        result.checks.push_back("gpg --verify, rpm/repodata/repomd.xml.asc: good signature");
        const std::string db = (verifying.path() / "rpmdb").u8string();
        fs::create_directories(db);
        const fs::path rpm = tool("rpm", "rpm");
        runRequired(rpm, {"--dbpath", db, "--import", fs::absolute(request.dir / "key.asc").u8string()}, dnf,
                    "rpm --import");
        std::error_code ec;
        for (fs::directory_iterator it(dnf / "packages", ec), end; !ec && it != end; it.increment(ec)) {
            const std::string said = runRequired(rpm, {"--dbpath", db, "-K", fs::absolute(it->path()).u8string()},
                                                 dnf, "rpm -K");
            if (said.find("signatures OK") == std::string::npos) {
                throw PackError("rpm -K does not pass " + shown(it->path().filename()) + ":\n" + said);
            }
        }
        result.checks.push_back("rpm -K, every package: digests signatures OK");
    }

    static std::string firstLine(const std::string& text) {
        return text.substr(0, text.find('\n'));
    }

    const RepositoryRequest& request;
    const fs::path apt, dnf;
    std::string key;       // as gpg selects it
    fs::path home;         // the keyring that holds it; empty: the user's
    std::string passphrase;
};

} // namespace

RepositoryResult updateRepository(const RepositoryRequest& request) {
    if (request.gpgKey.empty() == request.gpgKeyFile.empty()) {
        throw PackError("give the repository's signing key, one way: --gpg-key ID or --gpg-key-file FILE");
    }
    return Repository(request).update();
}
