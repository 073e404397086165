#!/usr/bin/python3
"""The repository step and packages that bring their repository, offline:
a GPG key made here, a repository on a file:// URL, apt with a private
state, cache and sources folder (the machine's own apt untouched), dnf with
an install root of its own, sqv, gpgv and rpm. Where run as root, a package
of the run's own is installed and upgraded through apt, and purged however
the run ends.

  repository_checks.py PACK WORK WINDOWS_BUILD
"""
import glob
import os
import shutil
import signal
import subprocess
import time
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import linux_package_checks  # noqa: E402
from pack_checks import Checks  # noqa: E402

PREFIX = "loftwick-repo-check-"
PACKAGE = PREFIX + str(os.getpid())
PASSPHRASE = "repo-s3cret-Kp4"
APT = ["apt-get", "-y", "-q", "--no-install-recommends", "-o", "DPkg::Lock::Timeout=600"]


def run(*args, env=None, check=False, cwd=None):
    r = subprocess.run([str(a) for a in args], capture_output=True, env=env, cwd=cwd, timeout=600)
    out = (r.stdout + r.stderr).decode("utf-8", "replace")
    if check and r.returncode != 0:
        raise RuntimeError(" ".join(map(str, args)) + "\n" + out)
    return r.returncode, out


class Keys:
    """A keyring in the work tree: a good key, another, and three that would
    break users (expiring, SHA-1 self-signed, too weak)."""

    def __init__(self, work):
        self.home = os.path.join(work, "gnupg")
        os.makedirs(self.home, mode=0o700)
        os.environ["GNUPGHOME"] = self.home
        self.passphrase = os.path.join(work, "passphrase")
        with open(self.passphrase, "w") as f:
            f.write(PASSPHRASE + "\n")
        for name, algo, expiry, extra in (("good", "rsa3072", "2y", []), ("other", "rsa3072", "2y", []),
                                          ("soon", "rsa3072", "30d", []),
                                          ("sha1", "rsa3072", "2y", ["--cert-digest-algo", "SHA1"]),
                                          ("weak", "rsa1024", "2y", [])):
            run("gpg", "--batch", "--pinentry-mode", "loopback", "--passphrase", PASSPHRASE, *extra,
                "--quick-gen-key", "%s <%s@loftwick.invalid>" % (name, name), algo, "sign", expiry, check=True)

    def close(self):
        subprocess.run(["gpgconf", "--kill", "all"], capture_output=True)

    @staticmethod
    def id(name):
        return "%s@loftwick.invalid" % name


def make_packages(work):
    """Version 1.0 and 2.0 of a package of the run's own, as .deb and .rpm,
    with nothing to depend on."""
    out = os.path.join(work, "packages")
    debs, rpms = {}, {}
    for v in ("1.0", "2.0"):
        root = os.path.join(out, "deb-" + v)
        os.makedirs(os.path.join(root, "DEBIAN"))
        os.makedirs(os.path.join(root, "usr", "share", "doc", PACKAGE))
        with open(os.path.join(root, "DEBIAN", "control"), "w") as f:
            f.write("Package: %s\nVersion: %s\nArchitecture: all\nMaintainer: Loftwick Tests "
                    "<tests@loftwick.invalid>\nDescription: repository check package\n" % (PACKAGE, v))
        with open(os.path.join(root, "usr", "share", "doc", PACKAGE, "version"), "w") as f:
            f.write(v + "\n")
        debs[v] = os.path.join(out, "%s_%s_all.deb" % (PACKAGE, v))
        run("dpkg-deb", "--root-owner-group", "-b", root, debs[v], check=True)
        spec = os.path.join(out, "%s.spec" % v)
        with open(spec, "w") as f:
            f.write("Name: %s\nVersion: %s\nRelease: 1\nSummary: repository check package\nLicense: MIT\n"
                    "BuildArch: noarch\n%%description\nrepository check package\n%%files\n" % (PACKAGE, v))
        run("rpmbuild", "-bb", "--define", "_topdir " + os.path.join(out, "top"), spec, check=True)
        rpms[v] = glob.glob(os.path.join(out, "top", "RPMS", "noarch", "%s-%s-*.rpm" % (PACKAGE, v)))[0]
    return debs, rpms


def repository(pack, keys, repo, *packages, key="good", extra=()):
    return run(pack, "repository", repo, *packages, "--gpg-key", keys.id(key), "--gpg-passphrase-file",
               keys.passphrase, *extra)


class Apt:
    """apt-get with lists, cache and sources of its own; the machine's
    package database is the real one, so that an install is real."""

    def __init__(self, work, name, url, keyring):
        self.dir = os.path.join(work, "apt-" + name)
        for d in ("lists/partial", "cache/archives/partial", "sources"):
            os.makedirs(os.path.join(self.dir, d), exist_ok=True)
        with open(os.path.join(self.dir, "sources", "check.sources"), "w") as f:
            f.write("Types: deb\nURIs: %s\nSuites: ./\nSigned-By: %s\n" % (url, keyring))
        self.options = ["-o", "Dir::State::Lists=" + os.path.join(self.dir, "lists"),
                        "-o", "Dir::Cache=" + os.path.join(self.dir, "cache"),
                        "-o", "Dir::Etc::SourceList=/dev/null",
                        "-o", "Dir::Etc::SourceParts=" + os.path.join(self.dir, "sources")]

    def update(self):
        return run("apt-get", *self.options, "-o", "Debug::NoLocking=1", "update")

    def candidate(self):
        _, out = run("apt-cache", *self.options, "policy", PACKAGE)
        for line in out.splitlines():
            if line.strip().startswith("Candidate:"):
                return line.split()[-1]
        return None

    def get(self, *args):
        return run(*APT, *self.options, *args)


class Dnf:
    """dnf with an install root, cache and repository folder of its own."""

    def __init__(self, work, name, repo):
        self.root = os.path.join(work, "dnf-" + name)
        repos = os.path.join(self.root, "repos.d")
        os.makedirs(repos)
        os.makedirs(os.path.join(self.root, "log"))
        with open(os.path.join(repos, "check.repo"), "w") as f:
            f.write("[check]\nname=check\nbaseurl=file://%s/rpm\nenabled=1\ngpgcheck=1\nrepo_gpgcheck=1\n"
                    "gpgkey=file://%s/key.asc\n" % (repo, repo))
        self.options = ["-y", "--noplugins", "--installroot=" + os.path.join(self.root, "root"), "--releasever=1",
                        "--setopt=reposdir=" + repos, "--setopt=cachedir=" + os.path.join(self.root, "cache"),
                        "--setopt=logdir=" + os.path.join(self.root, "log"),
                        "--setopt=persistdir=" + os.path.join(self.root, "persist"),
                        # A repository that fails its checks is an error, not one to skip.
                        "--setopt=skip_if_unavailable=False"]

    def run(self, *args):
        return run("dnf", *self.options, *args)

    def installed(self):
        _, out = run("rpm", "--root", os.path.join(self.root, "root"), "-q", "--qf", "%{VERSION}", PACKAGE)
        return out.strip()

    def close(self):
        """dnf checks repomd.xml.asc with a keyring in its cache, whose gpg
        agent would outlive the test."""
        for home in glob.glob(os.path.join(self.root, "cache", "*", "pubring")):
            subprocess.run(["gpgconf", "--homedir", home, "--kill", "gpg-agent"], capture_output=True)


def check_refused_keys(c, pack, keys, debs, work):
    repo = os.path.join(work, "refused")
    for key, reason in (("soon", "within 90 days"), ("sha1", "self-signature uses SHA-1"),
                        ("weak", "RSA of 1024 bits")):
        code, out = repository(pack, keys, repo, debs["1.0"], key=key)
        c.check("a %s key is refused, with the reason" % key, code == 1 and reason in out
                and not os.path.exists(repo), out)


def check_first_version(c, pack, keys, debs, rpms, repo):
    code, out = repository(pack, keys, repo, debs["1.0"], rpms["1.0"])
    c.check("the repository is written and checked", code == 0 and all(
        s in out for s in ("sqv, apt/Release.gpg: ", "gpgv, apt/InRelease: good signature",
                           "gpg --verify, rpm/repodata/repomd.xml.asc", "digests signatures OK")), out)
    files = ["apt/Packages", "apt/Packages.gz", "apt/Release", "apt/InRelease", "apt/Release.gpg",
             "rpm/repodata/repomd.xml", "rpm/repodata/repomd.xml.asc", "key.gpg", "key.asc"]
    missing = [f for f in files if not os.path.exists(os.path.join(repo, f))]
    c.check("apt and dnf indexes, signatures and both forms of the key are there", not missing, str(missing))
    with open(os.path.join(repo, "apt", "InRelease"), "rb") as f:
        before = f.read()
    code, out = repository(pack, keys, repo, debs["1.0"], rpms["1.0"])
    with open(os.path.join(repo, "apt", "InRelease"), "rb") as f:
        same = f.read() == before
    c.check("adding the same packages twice changes nothing", code == 0 and "Nothing changed" in out and same, out)
    other = os.path.join(os.path.dirname(debs["1.0"]), "rebuilt", os.path.basename(debs["1.0"]))
    os.makedirs(os.path.dirname(other), exist_ok=True)
    root = os.path.join(os.path.dirname(debs["1.0"]), "deb-1.0")
    with open(os.path.join(root, "usr", "share", "doc", PACKAGE, "version"), "a") as f:
        f.write("rebuilt\n")
    run("dpkg-deb", "--root-owner-group", "-b", root, other, check=True)
    code, out = repository(pack, keys, repo, other)
    c.check("a different file under the same name and version is refused", code == 1
            and "never replaced" in out, out)
    sha1 = os.path.join(repo, "..", "Release-sha1.gpg")
    run("gpg", "--batch", "--yes", "--pinentry-mode", "loopback", "--passphrase", PASSPHRASE, "--local-user",
        keys.id("good"), "--digest-algo", "SHA1", "--armor", "--detach-sign", "--output", sha1,
        os.path.join(repo, "apt", "Release"), check=True)
    code, out = run("sqv", "--keyring", os.path.join(repo, "key.gpg"), sha1, os.path.join(repo, "apt", "Release"))
    c.check("sqv rejects a Release signed with SHA-1, made so on purpose", code != 0 and "SHA1" in out, out)


def check_key_file(c, pack, keys, debs, rpms, work):
    """The key as a file: read into a keyring of the step's own, the user's
    keyring never consulted, no agent left behind."""
    secret = os.path.join(work, "good-secret.asc")
    run("gpg", "--batch", "--pinentry-mode", "loopback", "--passphrase", PASSPHRASE, "--armor",
        "--output", secret, "--export-secret-keys", keys.id("good"), check=True)
    empty = os.path.join(work, "empty-gnupg")
    os.makedirs(empty, mode=0o700)
    repo = os.path.join(work, "repo-from-file")
    code, out = run(pack, "repository", repo, debs["1.0"], rpms["1.0"], "--gpg-key-file", secret,
                    "--gpg-passphrase-file", keys.passphrase, env={**os.environ, "GNUPGHOME": empty})
    agents = agents_left("gpg-agent.*loftwick-keyring")
    c.check("--gpg-key-file signs the repository without the user's keyring, and leaves no agent",
            code == 0 and "digests signatures OK" in out and not os.listdir(empty)
            and not agents, out + agents)


def check_apt(c, keys, repo, work):
    url = "file://" + os.path.join(repo, "apt")
    apt = Apt(work, "own", url, os.path.join(repo, "key.gpg"))
    code, out = apt.update()
    c.check("apt-get update sees version 1.0", code == 0 and apt.candidate() == "1.0", out)

    tampered = os.path.join(work, "tampered-apt")
    shutil.copytree(repo, tampered)
    with open(os.path.join(tampered, "apt", "Packages"), "a") as f:
        f.write("\nPackage: intruder\nVersion: 1\nArchitecture: all\nFilename: pool/x.deb\nSize: 1\n")
    os.remove(os.path.join(tampered, "apt", "Packages.gz"))
    bad = Apt(work, "tampered", "file://" + os.path.join(tampered, "apt"), os.path.join(repo, "key.gpg"))
    code, out = bad.update()
    c.check("a Packages file changed after signing gives \"Hash Sum mismatch\"", "Hash Sum mismatch" in out, out)

    foreign = os.path.join(work, "foreign-repo")
    shutil.copytree(os.path.join(repo, "apt", "pool"), os.path.join(work, "foreign-pool"))
    code, out = repository(PACK, keys, foreign, *glob.glob(os.path.join(work, "foreign-pool", "*.deb")), key="other")
    other = Apt(work, "foreign", "file://" + os.path.join(foreign, "apt"), os.path.join(repo, "key.gpg"))
    code, out = other.update()
    c.check("a repository signed with another key gives NO_PUBKEY", "NO_PUBKEY" in out, out)
    return apt


def check_dnf_and_upgrades(c, pack, keys, debs, rpms, repo, work, apt):
    dnf = Dnf(work, "own", repo)
    try:
        check_upgrades(c, pack, keys, debs, rpms, repo, work, apt, dnf)
    finally:
        dnf.close()
    tampered = os.path.join(work, "tampered-dnf")
    shutil.copytree(repo, tampered)
    repomd = os.path.join(tampered, "rpm", "repodata", "repomd.xml")
    with open(repomd) as f:
        text = f.read()
    with open(repomd, "w") as f:
        f.write(text.replace("<revision>", "<revision>1"))
    bad = Dnf(work, "tampered", tampered)
    try:
        code, out = bad.run("makecache")
    finally:
        bad.close()
    c.check("dnf refuses a repomd.xml changed after signing", code != 0, out)


def check_upgrades(c, pack, keys, debs, rpms, repo, work, apt, dnf):
    code, out = dnf.run("makecache")
    c.check("dnf makecache reads the repository, its signature checked", code == 0, out)
    code, out = dnf.run("install", PACKAGE)
    c.check("dnf installs version 1.0 into its root", code == 0 and dnf.installed() == "1.0", out)

    as_root = os.geteuid() == 0
    if as_root:
        code, out = apt.get("install", PACKAGE)
        c.check("apt-get installs version 1.0 from the repository", code == 0 and installed_version() == "1.0", out)
    else:
        print("SKIP: installing through apt needs root")

    code, out = repository(pack, keys, repo, debs["2.0"], rpms["2.0"], extra=("--keep", "1"))
    pools = sorted(os.listdir(os.path.join(repo, "apt", "pool")) + os.listdir(os.path.join(repo, "rpm", "packages")))
    c.check("version 2.0 is added, and --keep 1 removes 1.0", code == 0 and len(pools) == 2
            and all("2.0" in p for p in pools), out + str(pools))
    code, out = apt.update()
    c.check("apt-get update then sees version 2.0", code == 0 and apt.candidate() == "2.0", out)
    if as_root:
        code, out = apt.get("install", "--only-upgrade", PACKAGE)
        c.check("apt-get install --only-upgrade brings version 2.0", code == 0 and installed_version() == "2.0", out)
    code, out = dnf.run("--refresh", "upgrade", PACKAGE)
    c.check("dnf upgrade brings version 2.0", code == 0 and dnf.installed() == "2.0", out)


def installed_version():
    _, out = run("dpkg-query", "-W", "-f", "${Status} ${Version}", PACKAGE)
    return out.split()[-1] if out.startswith("install ok installed") else None


def purge_left_behind():
    """A run that was killed could not remove its package: the next one does."""
    _, out = run("dpkg-query", "-W", "-f", "${Package} ${Status}\n", PREFIX + "*")
    for line in out.splitlines():
        package, _, status = line.partition(" ")
        pid = package[len(PREFIX):]
        if status.endswith("installed") and pid.isdigit() and not os.path.exists("/proc/" + pid):
            run(*APT, "purge", package)


def check_source_files(c, pack, keys, repo, work):
    """A .deb and an .rpm made by loftwick-pack that bring their repository:
    installed into roots of their own, read back, gone after removal."""
    inputs, runtime, icon = linux_package_checks.make_inputs(work)
    image = linux_package_checks.pack_image(pack, work, inputs, runtime, icon, "1")
    url = "https://updates.loftwick.invalid/check"
    name = "loftwick-source-check"
    made = {}
    for fmt in ("deb", "rpm"):
        made[fmt] = os.path.join(work, "source-check." + fmt)
        code, out = run(pack, fmt, image, "--output", made[fmt], "--package-name", name, "--maintainer",
                        "Loftwick Tests <tests@loftwick.invalid>", "--repository-url", url + "/",
                        "--repository-key", os.path.join(repo, "key.asc"))
        c.check("the %s step takes the repository's URL and key" % fmt, code == 0, out)
    code, out = run(pack, "deb", image, "--output", os.path.join(work, "x.deb"), "--package-name", name,
                    "--maintainer", "T <t@t.invalid>", "--repository-url", url + "/x\nTypes: deb-src",
                    "--repository-key", os.path.join(repo, "key.asc"))
    c.check("a URL that would add a line to the source file is refused", code == 1 and "URL" in out, out)

    root = os.path.join(work, "dpkg-root")
    for d in ("var/lib/dpkg/info", "var/lib/dpkg/updates", "var/lib/dpkg/triggers"):
        os.makedirs(os.path.join(root, d))
    open(os.path.join(root, "var/lib/dpkg/status"), "w").close()
    code, out = run("dpkg", "--root=" + root, "--force-depends", "--force-not-root", "--log=/dev/null",
                    "-i", made["deb"])
    sources = os.path.join(root, "etc/apt/sources.list.d/%s.sources" % name)
    keyring = os.path.join(root, "usr/share/keyrings/%s.gpg" % name)
    text = open(sources).read() if os.path.exists(sources) else ""
    with open(os.path.join(repo, "key.gpg"), "rb") as f:
        same_key = os.path.exists(keyring) and open(keyring, "rb").read() == f.read()
    c.check("the .deb installs a deb822 source whose Signed-By is its own keyring",
            text == "Types: deb\nURIs: %s/apt\nSuites: ./\nSigned-By: /usr/share/keyrings/%s.gpg\n" % (url, name)
            and same_key, out + text)
    _, conffiles = run("dpkg-deb", "-I", made["deb"], "conffiles")
    c.check("the source file is a conffile, and no maintainer script is there",
            conffiles.strip() == "/etc/apt/sources.list.d/%s.sources" % name
            and not any(s in run("dpkg-deb", "-I", made["deb"])[1] for s in ("postinst", "prerm", "postrm")),
            conffiles)
    code, out = run("dpkg", "--root=" + root, "--force-not-root", "--log=/dev/null", "--purge", name)
    c.check("purging the .deb removes the source file and the key",
            code == 0 and not os.path.exists(sources) and not os.path.exists(keyring), out)
    code, out = run("lintian", "--fail-on", "error", made["deb"])
    c.check("lintian: no errors for the .deb with its source file", code == 0 and "\nE:" not in "\n" + out, out)

    root = os.path.join(work, "rpm-root")
    os.makedirs(root)
    run("rpm", "--root", root, "--initdb", check=True)
    code, out = run("rpm", "--root", root, "-i", "--nodeps", "--nosignature", made["rpm"])
    repo_file = os.path.join(root, "etc/yum.repos.d/%s.repo" % name)
    key_file = os.path.join(root, "etc/pki/rpm-gpg/RPM-GPG-KEY-" + name)
    text = open(repo_file).read() if os.path.exists(repo_file) else ""
    c.check("the .rpm installs a .repo file with gpgcheck and repo_gpgcheck, and its key",
            "baseurl=%s/rpm\n" % url in text and "gpgcheck=1\nrepo_gpgcheck=1\n" in text
            and "gpgkey=file:///etc/pki/rpm-gpg/RPM-GPG-KEY-%s\n" % name in text and os.path.exists(key_file)
            and b"BEGIN PGP PUBLIC KEY BLOCK" in open(key_file, "rb").read(), out + text)
    _, configs = run("rpm", "-qp", "--configfiles", made["rpm"])
    c.check("the .repo file is a %config file", "/etc/yum.repos.d/%s.repo" % name in configs, configs)
    code, out = run("rpm", "--root", root, "-e", name)
    c.check("erasing the .rpm removes the .repo file and the key",
            code == 0 and not os.path.exists(repo_file) and not os.path.exists(key_file), out)
    extracted = os.path.join(work, "rpm-extracted")
    os.makedirs(extracted)
    subprocess.run("rpm2cpio %s | cpio -idm --quiet" % made["rpm"], shell=True, cwd=extracted, check=True)
    code, out = run("rpmlint", "-r", os.path.join(extracted, "usr/share/doc", name, "rpmlintrc"), made["rpm"])
    c.check("rpmlint: 0 errors for the .rpm with its .repo file", " 0 errors," in out, out[-3000:])


PROJECT_REPOSITORY = """
[linux.repository]
folder = "site"
gpg-key = "{key}"
gpg-passphrase-file = "{passphrase}"
keep = 2
"""


def check_project_build(c, pack, keys, work, windows_build):
    """[linux.repository] in the project file: one build makes the packages,
    which bring the repository, and adds them to it."""
    import project_checks
    root = os.path.join(work, "project-build")
    os.makedirs(root)
    project = project_checks.make_project(root, windows_build)
    toml = os.path.join(project, "loftwick.toml")
    with open(toml) as f:
        text = f.read()
    key = os.path.join(work, "public.asc")
    run("gpg", "--armor", "--output", key, "--export", keys.id("good"), check=True)
    text = text.replace("[linux.deb]", 'repository-url = "file://%s/site"\nrepository-key = "%s"\n\n[linux.deb]'
                        % (project, key))
    with open(toml, "w") as f:
        f.write(text + PROJECT_REPOSITORY.format(key=keys.id("good"), passphrase=keys.passphrase))
    code, out = run(pack, "build", "--file", toml, "--target", "linux", env={**os.environ, "HOME": os.path.join(
        root, "home")})
    pools = sorted(os.listdir(os.path.join(project, "site", "apt", "pool"))
                   + os.listdir(os.path.join(project, "site", "rpm", "packages"))) if code == 0 else []
    c.check("a build with [linux.repository] adds the .deb and .rpm it made to the repository, checked",
            code == 0 and "== linux repository: loftwick-pack repository " in out and len(pools) == 2
            and "digests signatures OK" in out, out + str(pools))
    debs = glob.glob(os.path.join(project, "site", "apt", "pool", "*.deb"))
    _, listing = run("dpkg-deb", "-c", debs[0]) if debs else (1, "")
    c.check("... and the .deb in it brings the repository's source file",
            "./etc/apt/sources.list.d/loftwick-demo-hello.sources" in listing, listing)


def ended(signal_number, _):
    purge_left_behind_self()
    sys.exit(128 + signal_number)


def purge_left_behind_self():
    if os.geteuid() == 0 and installed_version():
        run(*APT, "purge", PACKAGE)


PACK = None


def agents_left(pattern):
    """An agent told to stop closes its socket before it exits: give it a
    few seconds before calling it left behind."""
    for _ in range(50):
        _, agents = run("pgrep", "-af", pattern)
        if not agents.strip():
            return ""
        time.sleep(0.1)
    return agents.strip()


def main(pack, work, windows_build):
    global PACK
    PACK = pack = os.path.abspath(pack)
    work, windows_build = os.path.abspath(work), os.path.abspath(windows_build)
    missing = [t for t in ("apt-ftparchive", "createrepo_c", "sqv", "dnf", "gpgv", "rpmbuild", "lintian", "rpmlint")
               if not shutil.which(t)]
    if missing:
        print("SKIP: %s not installed (make deps)" % ", ".join(missing))
        return 0
    for s in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(s, ended)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    # rpm's query database and rpmlint's dictionary live under $HOME.
    os.environ["HOME"] = os.path.join(work, "home")
    os.makedirs(os.environ["HOME"])
    c = Checks()
    keys = Keys(work)
    try:
        debs, rpms = make_packages(work)
        repo = os.path.join(work, "repo")
        check_refused_keys(c, pack, keys, debs, work)
        check_first_version(c, pack, keys, debs, rpms, repo)
        check_key_file(c, pack, keys, debs, rpms, work)
        if os.geteuid() == 0:
            purge_left_behind()
        try:
            apt = check_apt(c, keys, repo, work)
            check_dnf_and_upgrades(c, pack, keys, debs, rpms, repo, work, apt)
        finally:
            purge_left_behind_self()
        check_source_files(c, pack, keys, repo, work)
        check_project_build(c, pack, keys, work, windows_build)
    finally:
        keys.close()
    agents = agents_left("gpg-agent --homedir " + work)
    c.check("no gpg agent of the run's keyrings outlives it", not agents, agents)
    print("%d passed, %d failed" % (c.passed, c.failed))
    return 1 if c.failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
