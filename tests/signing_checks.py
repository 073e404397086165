#!/usr/bin/python3
"""The signing step, read back with tools we did not write: osslsigncode
verifies every signature against a CA made here, a timestamp authority on
127.0.0.1 stamps them, softhsm2 holds a key that never leaves it, msiextract
takes the launcher out of the signed .msi, Wine starts the signed image and
checks signatures as Windows does (loftwick-inspect), rpm checks a signed
.rpm. Offline, with no real certificate.

  signing_checks.py WINDOWS_BUILD PACK WORK
"""
import contextlib
import glob
import os
import shutil
import subprocess
import sys
import threading
import zipfile

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import pack_checks  # noqa: E402
from pack_checks import Checks, windows_path  # noqa: E402

PASSWORD = "p12-s3cret-Xq7"
PIN = "4711-pin-Zr9"
GPG_PASSPHRASE = "gpg-s3cret-Wm2"
SOFTHSM_MODULE = "/usr/lib/softhsm/libsofthsm2.so"
TOKEN_KEY = "pkcs11:token=loftwick-test;object=signkey;type=private"

TSA_CONFIG = """[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = {serial}
crypto_device = builtin
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
signer_digest = sha256
accuracy = secs:1
ordering = yes
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha256
"""


def run(*args, env=None, check=True, data=None):
    return subprocess.run(list(args), capture_output=True, check=check, input=data,
                          env=None if env is None else {**os.environ, **env})


class Pki:
    """A CA, a code-signing certificate (also as a PKCS#12 file with a
    password) and a timestamp authority's certificate, made with openssl."""

    def __init__(self, work):
        self.dir = os.path.join(work, "pki")
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.ca, self.ca_key = self.path("ca.pem"), self.path("ca.key")
        run("openssl", "req", "-x509", "-newkey", "rsa:3072", "-nodes", "-keyout", self.ca_key,
            "-out", self.ca, "-days", "30", "-subj", "/CN=Loftwick Test CA",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        self.cert, self.key = self.issue("sign", "/CN=Loftwick Test Signer", "codeSigning")
        self.tsa_cert, self.tsa_key = self.issue("tsa", "/CN=Loftwick Test TSA", "critical,timeStamping")
        self.p12 = self.path("sign.p12")
        run("openssl", "pkcs12", "-export", "-in", self.cert, "-inkey", self.key, "-certfile", self.ca,
            "-out", self.p12, "-passout", "env:P12_PASSWORD", env={"P12_PASSWORD": PASSWORD})
        with open(self.path("tsa.cnf"), "w") as f:
            f.write(TSA_CONFIG.format(serial=self.path("tsa.serial")))
        with open(self.path("tsa.serial"), "w") as f:
            f.write("01\n")
        # The responder reads its files by these names.
        shutil.copy(self.tsa_cert, self.path("tsa.pem"))
        shutil.copy(self.tsa_key, self.path("tsa.key"))

    def path(self, name):
        return os.path.join(self.dir, name)

    def issue(self, name, subject, usage):
        key, csr, cert, ext = (self.path(name + s) for s in ("-key.pem", ".csr", "-cert.pem", ".ext"))
        with open(ext, "w") as f:
            f.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                    "extendedKeyUsage=%s\n" % usage)
        run("openssl", "req", "-newkey", "rsa:3072", "-nodes", "-keyout", key, "-out", csr, "-subj", subject)
        run("openssl", "x509", "-req", "-in", csr, "-CA", self.ca, "-CAkey", self.ca_key,
            "-CAcreateserial", "-out", cert, "-days", "30", "-extfile", ext)
        return cert, key


@contextlib.contextmanager
def timestamp_authority(pki, refuse=False):
    """The URL of a timestamp server on 127.0.0.1, stopped afterwards."""
    args = [sys.executable, os.path.join(HERE, "signing", "tsa_server.py"), pki.dir]
    server = subprocess.Popen(args + (["--refuse"] if refuse else []), stdout=subprocess.PIPE)
    try:
        port = server.stdout.readline().decode().strip()
        yield "http://127.0.0.1:%s/" % port
    finally:
        server.kill()
        server.wait()


def softhsm_token(pki, work):
    """A softhsm2 token in the work tree holding the signing key; returns the
    environment that finds it."""
    root = os.path.join(work, "softhsm")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(os.path.join(root, "tokens"))
    conf = os.path.join(root, "softhsm2.conf")
    with open(conf, "w") as f:
        f.write("directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n"
                % os.path.join(root, "tokens"))
    env = {"SOFTHSM2_CONF": conf}
    run("softhsm2-util", "--init-token", "--free", "--label", "loftwick-test", "--so-pin", "12345678",
        "--pin", PIN, env=env)
    pk8 = os.path.join(root, "key.pk8")
    run("openssl", "pkcs8", "-topk8", "-nocrypt", "-in", pki.key, "-out", pk8)
    run("softhsm2-util", "--import", pk8, "--token", "loftwick-test", "--label", "signkey", "--id", "01",
        "--pin", PIN, env=env)
    os.remove(pk8)
    return env


class ArgumentWatch:
    """Reads every process's argument list while it runs, looking for the
    secrets."""

    def __init__(self, secrets):
        self.secrets = [s.encode() for s in secrets]
        self.seen, self.reads = [], 0
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self.watch)

    def watch(self):
        while not self.stop.is_set():
            for entry in glob.glob("/proc/[0-9]*/cmdline"):
                line = pack_checks.command_line(entry.split("/")[2])
                self.reads += 1
                if any(s in line for s in self.secrets):
                    self.seen.append(line.replace(b"\0", b" ").decode(errors="replace"))

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop.set()
        self.thread.join()


def image(build, pack, work, name, runtime=None):
    """A freshly packed image; around the real runtime when asked."""
    out = os.path.join(work, name)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    inputs, icon, standin = pack_checks.make_inputs(out, build)
    path = os.path.join(out, "Packed")
    run(pack, *pack_checks.pack_args("Packed", inputs, runtime or standin, icon, path))
    return path


def pe_files(root):
    out = []
    for d, _, files in os.walk(root):
        for f in files:
            with open(os.path.join(d, f), "rb") as fh:
                if fh.read(2) == b"MZ":
                    out.append(os.path.join(d, f))
    return sorted(out)


def verify(pki, path):
    r = run("osslsigncode", "verify", "-CAfile", pki.ca, "-TSA-CAfile", pki.ca, "-in", path, check=False)
    text = (r.stdout + r.stderr).decode(errors="replace")
    return r.returncode == 0 and "Timestamp Server Signature verification: ok" in text, text


def vendor_signed(path):
    """Whether the file carries a signature (its certificate table, read
    with pefile), and its bytes."""
    pe = pefile.PE(path, fast_load=True)
    table = pe.OPTIONAL_HEADER.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]]
    pe.close()
    with open(path, "rb") as f:
        return table.Size > 0, f.read()


def flipped(path, out):
    shutil.copyfile(path, out)
    with open(out, "r+b") as f:
        f.seek(4096)
        byte = f.read(1)
        f.seek(4096)
        f.write(bytes([byte[0] ^ 0xFF]))


def key_options(source, pki):
    if source == "pkcs12":
        return ["--pkcs12", pki.p12, "--password-env", "LOFTWICK_TEST_P12"]
    if source == "pkcs11":
        return ["--pkcs11", TOKEN_KEY, "--pkcs11-module", SOFTHSM_MODULE, "--certificate", pki.cert,
                "--password-env", "LOFTWICK_TEST_PIN"]
    return ["--sign-command", "%s %s {file} {digest} %s" % (sys.executable, os.path.join(
        HERE, "signing", "sign_client.py"), pki.p12)]


def check_key_source(c, build, pack, pki, token_env, work, source, runtime=None):
    """Image and .msi signed in one installer run; everything verifies."""
    path = image(build, pack, work, source, runtime)
    # A jar with a native library, which signing cannot reach.
    with zipfile.ZipFile(os.path.join(path, "app", "native.jar"), "w") as jar:
        jar.writestr("win/x64/native.dll", b"MZ not really")
    before = {p: vendor_signed(p)[0] for p in pe_files(path)}
    vendor_bytes = {p: vendor_signed(p)[1] for p, signed in before.items() if signed}
    msi = os.path.join(work, source, "Packed.msi")
    env = {**token_env, "LOFTWICK_TEST_P12": PASSWORD, "LOFTWICK_TEST_PIN": PIN, "LC_ALL": "C.UTF-8"}
    with timestamp_authority(pki) as url, ArgumentWatch([PASSWORD, PIN]) as watch:
        r = run(pack, "installer", path, "--output", msi, *key_options(source, pki),
                "--timestamp", url, "--ca-file", pki.ca, env=env, check=False)
    out = (r.stdout + r.stderr).decode(errors="replace")
    c.check("%s: the installer step signs the image and the .msi" % source, r.returncode == 0, out)
    c.check("%s: no process had the password or PIN among its arguments (%d reads)" % (source, watch.reads),
            not watch.seen and watch.reads > 0, "\n".join(watch.seen))
    results = {p: verify(pki, p) for p in pe_files(path)}
    ours = [p for p, signed in before.items() if not signed]
    bad = [p + "\n" + results[p][1][-600:] for p in ours if not results[p][0]]
    c.check("%s: osslsigncode verifies every file that was unsigned (%d) against the CA and the TSA"
            % (source, len(ours)), ours and not bad, "\n".join(bad))
    ok, text = verify(pki, msi)
    c.check("%s: the .msi verifies, with its timestamp" % source, ok, text[-800:])
    lines = out.splitlines()
    signed = [line.split()[1] for line in lines if line.startswith("  signed  ")]
    c.check("%s: the summary lists the launchers first and the .msi last, with signer and timestamp"
            % source, signed[:2] == ["Packed.com", "Packed.exe"] and signed[-1] == "Packed.msi"
            and "by /CN=Loftwick Test Signer, timestamped" in out, out)
    c.check("%s: a jar's native library is warned about, unsigned jar" % source,
            "native.jar\" holds native libraries (win/x64/native.dll)" in out
            and "Smart App Control" in out, out)
    if vendor_bytes:
        listed = sum(1 for line in lines if line.startswith("  kept    "))
        changed = [p for p, data in vendor_bytes.items() if open(p, "rb").read() != data]
        c.check("%s: the %d files their vendor signed are kept as they were, and listed" % (source, len(vendor_bytes)),
                listed == len(vendor_bytes) and not changed, out)
        if runtime:
            c.check("%s: the signers whose roots this machine lacks are named" % source,
                    "roots this machine cannot check" in out and "Microsoft" in out, out)
    return path, msi


def check_extracted_and_tampered(c, build, pki, path, msi, work):
    extracted = os.path.join(work, "extracted")
    shutil.rmtree(extracted, ignore_errors=True)
    os.makedirs(extracted)
    run("msiextract", "-C", extracted, msi)
    launchers = [p for p in pe_files(extracted) if os.path.basename(p) == "Packed.exe"]
    c.check("the launcher taken out of the .msi verifies as signed",
            len(launchers) == 1 and verify(pki, launchers[0])[0], str(launchers))
    flipped(os.path.join(path, "Packed.exe"), os.path.join(work, "flipped.exe"))
    ok, text = verify(pki, os.path.join(work, "flipped.exe"))
    c.check("a flipped byte in a signed launcher fails verification", not ok and "MISMATCH" in text, text[-400:])
    flipped(msi, os.path.join(work, "flipped.msi"))
    c.check("a flipped byte in the signed .msi fails verification",
            not verify(pki, os.path.join(work, "flipped.msi"))[0])

    tampered = os.path.join(work, "tampered")
    shutil.rmtree(tampered, ignore_errors=True)
    shutil.copytree(path, tampered)
    flipped(os.path.join(path, "Packed.exe"), os.path.join(tampered, "Packed.exe"))
    r = pack_checks.wine(build, os.path.join(build, "bin", "loftwick-inspect.exe"),
                         windows_path(os.path.join(tampered, "Packed.exe")))
    out = r.stdout.decode(errors="replace")
    c.check("loftwick-inspect reports the launcher changed after signing as a problem (exit code 2)",
            r.returncode == 2 and "Packed.exe was changed after it was signed" in out
            and "Packed.exe: signed by Loftwick Test Signer, timestamped, INVALID" in out, out)
    r = pack_checks.wine(build, os.path.join(build, "bin", "loftwick-inspect.exe"),
                         windows_path(os.path.join(path, "Packed.exe")))
    out = r.stdout.decode(errors="replace")
    c.check("loftwick-inspect reports each file of the signed image, signer and timestamp",
            r.returncode == 0 and "Packed.com: signed by Loftwick Test Signer, timestamped" in out
            and "runtime\\bin\\server\\jvm.dll: signed by Loftwick Test Signer" in out, out)


def check_signed_image_starts(c, build, path, work):
    record = os.path.join(work, "record.txt")
    r = pack_checks.wine(build, os.path.join(path, "Packed.com"),
                         env={"STANDIN_RECORD": windows_path(record)})
    text = open(record, encoding="cp1252").read() if os.path.exists(record) else ""
    c.check("the signed image starts under Wine with the stand-in runtime",
            r.returncode == 0 and "hello.Main" in text, (r.stdout + r.stderr).decode(errors="replace") + text)


def check_refusals(c, build, pack, pki, work):
    path = image(build, pack, work, "refusals")
    launcher = os.path.join(path, "Packed.exe")
    with open(launcher, "rb") as f:
        unsigned = f.read()
    env = {"LOFTWICK_TEST_P12": PASSWORD}
    key = key_options("pkcs12", pki)
    with timestamp_authority(pki, refuse=True) as url:
        r = run(pack, "sign", path, *key, "--timestamp", url, "--timestamp-attempts", "2",
                env=env, check=False)
    err = r.stderr.decode(errors="replace")
    with open(launcher, "rb") as f:
        untouched = f.read() == unsigned
    c.check("a timestamp server that does not answer fails the step, and leaves the file as it was",
            r.returncode == 1 and "no timestamp server gave a timestamp" in err and "tried 2 times" in err
            and untouched, err)
    r = run(pack, "sign", path, *key, "--no-timestamp", "--ca-file", pki.ca, env=env, check=False)
    out = r.stdout.decode(errors="replace")
    c.check("--no-timestamp signs, and warns", r.returncode == 0 and "Warning: signed without a timestamp" in out
            and "no timestamp" in out, out + r.stderr.decode(errors="replace"))
    with timestamp_authority(pki) as url:
        r = run(pack, "sign", path, *key, "--timestamp", url, "--ca-file", pki.ca, env=env, check=False)
    out = r.stdout.decode(errors="replace")
    stamped = all(verify(pki, p)[0] for p in pe_files(path))
    c.check("signing again with a timestamp signs the files this key signed without one",
            r.returncode == 0 and stamped and "signed again: its earlier signature is replaced" in out
            and "kept" not in out, out + r.stderr.decode(errors="replace"))
    r = run(pack, "sign", path, *key, "--no-timestamp", "--ca-file", pki.ca, env=env, check=False)
    out = r.stdout.decode(errors="replace")
    c.check("... and once more: what this key signed and timestamped is kept, the launchers signed again",
            r.returncode == 0 and out.count("  kept    ") == 3 and out.count("  signed  ") == 2, out)
    for digest, said in (("sha1", "the digest sha1 is refused"), ("md5", "the digest md5 is refused"),
                         ("sha1,sha256", "dual signing (sha1,sha256) is refused")):
        r = run(pack, "sign", path, *key, "--no-timestamp", "--digest", digest, env=env, check=False)
        c.check("--digest %s is refused with the reason" % digest, r.returncode == 1
                and said in r.stderr.decode(), r.stderr.decode())
    r = run(pack, "sign", path, "--pkcs11", TOKEN_KEY + ";pin-value=1234", "--pkcs11-module", SOFTHSM_MODULE,
            "--certificate", pki.cert, "--no-timestamp", check=False)
    c.check("a PIN inside the PKCS#11 URI is refused", r.returncode == 1 and "pin-value" in r.stderr.decode(),
            r.stderr.decode())
    r = run(pack, "installer", path, "--wix-source", os.path.join(work, "x.wxs"), *key, "--no-timestamp",
            check=False, env=env)
    c.check("a key with --wix-source, which writes no .msi, is a wrong command line", r.returncode == 2
            and "writes no .msi to sign" in r.stderr.decode(), r.stderr.decode())
    r = run(pack, "sign", path, *key, check=False, env=env)
    c.check("no timestamp server and no --no-timestamp is refused", r.returncode == 1
            and "give a timestamp server" in r.stderr.decode(), r.stderr.decode())
    r = run(pack, "sign", path, "--pkcs12", pki.p12, "--password-env", "LOFTWICK_TEST_UNSET", "--no-timestamp",
            check=False)
    c.check("an unset password variable is named, the step fails", r.returncode == 1
            and "LOFTWICK_TEST_UNSET, which is not set" in r.stderr.decode(), r.stderr.decode())


def check_rpm(c, pack, work):
    """An .rpm signed with a GPG key made here; rpm -K against that key."""
    root = os.path.join(work, "rpm")
    shutil.rmtree(root, ignore_errors=True)
    gnupg = os.path.join(root, "gnupg")
    os.makedirs(gnupg, mode=0o700)
    env = {"GNUPGHOME": gnupg}
    run("gpg", "--batch", "--pinentry-mode", "loopback", "--passphrase", GPG_PASSPHRASE, "--quick-gen-key",
        "Loftwick Test <test@loftwick.invalid>", "rsa3072", "sign", "30d", env=env)
    spec = os.path.join(root, "t.spec")
    with open(spec, "w") as f:
        f.write("Name: signme\nVersion: 1.0\nRelease: 1\nSummary: t\nLicense: MIT\nBuildArch: noarch\n"
                "%description\nt\n%files\n")
    run("rpmbuild", "-bb", "--define", "_topdir " + os.path.join(root, "top"), spec, env=env)
    rpm = glob.glob(os.path.join(root, "top", "RPMS", "noarch", "*.rpm"))[0]
    secret = os.path.join(root, "passphrase")
    with open(secret, "w") as f:
        f.write(GPG_PASSPHRASE + "\n")
    with ArgumentWatch([GPG_PASSPHRASE]) as watch:
        r = run(pack, "sign", rpm, "--gpg-key", "test@loftwick.invalid", "--gpg-passphrase-file", secret,
                env=env, check=False)
    out = (r.stdout + r.stderr).decode(errors="replace")
    c.check("the .rpm is signed and checked", r.returncode == 0 and "signatures OK" in out, out)
    c.check("no process had the GPG passphrase among its arguments", not watch.seen, "\n".join(watch.seen))
    db = os.path.join(root, "rpmdb")
    os.makedirs(db)
    key = os.path.join(root, "key.asc")
    run("gpg", "--armor", "--output", key, "--export", "test@loftwick.invalid", env=env)
    run("rpm", "--dbpath", db, "--import", key)
    k = run("rpm", "--dbpath", db, "-K", rpm, check=False)
    c.check("rpm -K passes the signed .rpm", k.returncode == 0 and b"signatures OK" in k.stdout, k.stdout.decode())
    tampered = os.path.join(root, "tampered.rpm")
    with open(rpm, "rb") as f:
        data = bytearray(f.read())
    data[-20] ^= 0xFF  # in the payload
    with open(tampered, "wb") as f:
        f.write(data)
    k = run("rpm", "--dbpath", db, "-K", tampered, check=False)
    c.check("rpm -K fails a tampered copy", k.returncode != 0, k.stdout.decode())
    return env, secret, db


PROJECT_SIGNING = """
[windows.signing]
pkcs12 = "{p12}"
password-env = "LOFTWICK_TEST_P12"
timestamp = ["{url}"]
ca-file = "{ca}"

[linux.signing]
gpg-key = "test@loftwick.invalid"
gpg-passphrase-file = "{passphrase}"
"""


def check_project_build(c, build, pack, pki, gpg_env, passphrase, db, work):
    """The project file's signing sections: one build signs the Windows image,
    its .msi and the .rpm."""
    import project_checks
    root = os.path.join(work, "project-build")
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    project = project_checks.make_project(root, build)
    with timestamp_authority(pki) as url:
        with open(os.path.join(project, "loftwick.toml"), "a") as f:
            f.write(PROJECT_SIGNING.format(p12=pki.p12, url=url, ca=pki.ca, passphrase=passphrase))
        r = run(pack, "build", "--file", os.path.join(project, "loftwick.toml"), check=False,
                env={**gpg_env, "LOFTWICK_TEST_P12": PASSWORD, "HOME": os.path.join(root, "home")})
    out = (r.stdout + r.stderr).decode(errors="replace")
    c.check("build with signing sections runs", r.returncode == 0, out)
    dist = os.path.join(project, "dist")
    unsigned = [p for p in pe_files(os.path.join(dist, "windows")) if not verify(pki, p)[0]]
    c.check("build: every program and library of the Windows image verifies", not unsigned, "\n".join(unsigned))
    msis = glob.glob(os.path.join(dist, "*.msi"))
    c.check("build: the .msi verifies", len(msis) == 1 and verify(pki, msis[0])[0], str(msis))
    rpms = glob.glob(os.path.join(dist, "*.rpm"))
    k = run("rpm", "--dbpath", db, "-K", *rpms, check=False)
    c.check("build: rpm -K passes the .rpm", len(rpms) == 1 and k.returncode == 0
            and b"signatures OK" in k.stdout, k.stdout.decode() + str(rpms))


def main():
    build, pack, work = (os.path.abspath(a) for a in sys.argv[1:4])
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    c = Checks()
    pki = Pki(work)
    token_env = softhsm_token(pki, work)
    real = os.path.join(build, "real-runtime")
    if not os.path.exists(os.path.join(real, "bin", "server", "jvm.dll")):
        print("SKIP: no real runtime in the build tree (../shared/runtime is absent): "
              "vendor-signed files are not checked")
        real = None
    path, msi = check_key_source(c, build, pack, pki, token_env, work, "pkcs12", real)
    path11, msi11 = check_key_source(c, build, pack, pki, token_env, work, "pkcs11")
    check_key_source(c, build, pack, pki, token_env, work, "command")
    check_extracted_and_tampered(c, build, pki, path11, msi11, work)
    check_signed_image_starts(c, build, path11, work)
    check_refusals(c, build, pack, pki, work)
    try:
        gpg_env, passphrase, db = check_rpm(c, pack, work)
        check_project_build(c, build, pack, pki, gpg_env, passphrase, db, work)
    finally:
        # gpg started an agent for the test's keyring: it does not outlive the test.
        subprocess.run(["gpgconf", "--kill", "all"], capture_output=True,
                       env={**os.environ, "GNUPGHOME": os.path.join(work, "rpm", "gnupg")})
    print("%d passed, %d failed" % (c.passed, c.failed))
    return 1 if c.failed else 0


if __name__ == "__main__":
    sys.exit(main())
