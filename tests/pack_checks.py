#!/usr/bin/python3
"""Checks of packed images that need both builds and tools we did not write.

  pack_checks.py fixture WINDOWS_BUILD PACK OUT   packs OUT/Packed (the image
                                                  the packed end-to-end run uses)
  pack_checks.py checks WINDOWS_BUILD PACK WORK   pefile, Authenticode with
      osslsigncode, byte-identical images from loftwick-pack and
      loftwick-pack.exe, and loftwick-inspect reading back every value.
"""
import filecmp
import json
import os
import re
import shutil
import subprocess
import sys

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_executables  # noqa: E402
import make_icon  # noqa: E402

WINE_RUN = os.path.join(HERE, "..", "scripts", "wine-run.sh")

JAVA_OPTIONS = ["-Dx=a b=c", "-Dq=\"quoted\"", "-Dempty=", "-Dcaf\u00e9=\u00fcml", "--add-opens=a/b=c"]
ARGUMENTS = ["", "two words", "a=b", "\\\\server\\share\\", "tab\there", "semi;colon", "$HOME"]


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine(build, *args, env=None):
    return subprocess.run([WINE_RUN, os.path.join(build, "wineprefix"), *args],
                          capture_output=True, env=None if env is None else {**os.environ, **env})


def check_linux_from_windows(c, build, inputs, work):
    """loftwick-pack.exe makes a Linux image too, and says what it cannot do."""
    jre = os.path.join(work, "linux-jre")
    os.makedirs(os.path.join(jre, "lib"))
    make_runtime(jre, b"\x7fELF\x02" + bytes(13) + b"\x3e" + bytes(45))  # x86-64
    image = os.path.join(work, "linux-from-windows")
    r = wine(build, os.path.join(build, "bin", "loftwick-pack.exe"), "--name", "hello", "--input",
             windows_path(inputs), "--runtime", windows_path(jre), "--output", windows_path(image),
             "--main-class", "hello.Main", "--class-path", "hello.jar", "--class-path", "lib/util.jar")
    launcher = os.path.join(image, "bin", "hello")
    cfg = open(os.path.join(image, "lib", "app", "hello.cfg")).read() if r.returncode == 0 else ""
    c.check("loftwick-pack.exe makes a Linux image, and says to mark bin/hello executable",
            r.returncode == 0 and os.path.exists(launcher) and
            filecmp.cmp(launcher, os.path.join(build, "host", "bin", "loftwick-launcher"), shallow=False) and
            "app.classpath=$APPDIR/hello.jar\napp.classpath=$APPDIR/lib/util.jar\n" in cfg and
            b'run "chmod +x bin/hello"' in r.stderr, r.stderr.decode() + cfg)


def check_real_runtime(c, build, pack, inputs, icon, work):
    """An image packed around the real runtime launches through its jli.dll."""
    runtime = os.path.join(build, "real-runtime")
    if not os.path.exists(os.path.join(runtime, "bin", "server", "jvm.dll")):
        print("SKIP: no real runtime in the build tree (../shared/runtime is absent)")
        return
    image = os.path.join(work, "real", "Packed")
    r = subprocess.run([pack, *pack_args("Packed", inputs, runtime, icon, image)], capture_output=True)
    c.check("loftwick-pack packs around the real runtime", r.returncode == 0, r.stderr.decode())
    record = os.path.join(work, "real", "record.txt")
    exe = os.path.join(image, "Packed.exe")
    r = wine(build, exe, env={"STANDIN_RECORD": windows_path(record), "LC_ALL": "en_US.UTF-8"})
    fields = {}
    with open(record, encoding="cp1252") as f:
        for line in f.read().split("\n"):
            key, _, value = line.partition("=")
            fields.setdefault(key, value)
    options = [fields.get("jvm.option[%d]" % i) for i in range(int(fields.get("jvm.options", 0)))]
    app = windows_path(os.path.join(image, "app"))
    want = ["-Djava.class.path=" + app + "\\hello.jar;" + app + "\\lib\\util.jar", *JAVA_OPTIONS,
            "-Dloftwick.app-path=" + windows_path(exe),
            "-Dsun.java.command=hello.Main " + " ".join(ARGUMENTS), "-Dsun.java.launcher=SUN_STANDARD"]
    args = [fields.get("jvm.main.arg[%d]" % i) for i in range(int(fields.get("jvm.main.argc", 0)))]
    c.check("the packed image reaches the virtual machine through the real jli.dll",
            r.returncode == 0 and options == want and args == ARGUMENTS and
            fields.get("jvm.mainname") == "hello.Main",
            json.dumps(options) + "\n" + json.dumps(want) + "\n" + json.dumps(args))


def make_jar(jar, sources, work, main=None, release="17", classpath=None):
    """A real jar: `sources` ({class name: Java source}) compiled with javac."""
    build = os.path.join(work, "javac", os.path.basename(jar))
    shutil.rmtree(build, ignore_errors=True)
    os.makedirs(os.path.join(build, "src"))
    files = []
    for name, text in sources.items():
        path = os.path.join(build, "src", name.replace(".", os.sep) + ".java")
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)
        files.append(path)
    subprocess.run(["javac", "--release", release, *(["-cp", classpath] if classpath else []),
                    "-d", os.path.join(build, "classes"), *files], check=True)
    os.makedirs(os.path.dirname(jar), exist_ok=True)
    subprocess.run(["jar", "--create", "--file", jar, *(["--main-class", main] if main else []),
                    "-C", os.path.join(build, "classes"), "."], check=True)


def command_line(pid):
    """A process's command line; "" once it has ended (any other process of
    the machine may end while /proc is read)."""
    try:
        with open("/proc/%s/cmdline" % pid, "rb") as f:
            return f.read()
    except OSError:
        return b""


def make_runtime(root, libjli):
    """The files packing requires of a Linux runtime: libjli.so, and the
    virtual machine that lib/jvm.cfg names."""
    os.makedirs(os.path.join(root, "lib", "server"), exist_ok=True)
    with open(os.path.join(root, "lib", "libjli.so"), "wb") as f:
        f.write(libjli)
    with open(os.path.join(root, "lib", "jvm.cfg"), "w") as f:
        f.write("-server KNOWN\n-client IGNORE\n")
    with open(os.path.join(root, "lib", "server", "libjvm.so"), "wb") as f:
        f.write(libjli)


def make_inputs(work, build):
    inputs = os.path.join(work, "input")
    os.makedirs(os.path.join(inputs, "lib"), exist_ok=True)
    util = os.path.join(inputs, "lib", "util.jar")
    make_jar(util, {"util.Greeting": "package util; public class Greeting { public static void "
             "say() { System.out.println(\"hello\"); } }"}, work)
    make_jar(os.path.join(inputs, "hello.jar"), {"hello.Main": "package hello; public class Main {"
             " public static void main(String[] a) { util.Greeting.say(); } }"}, work, classpath=util)
    icon = os.path.join(work, "app.ico")
    images = [(16, make_icon.bitmap(16, (200, 0, 0))), (32, make_icon.bitmap(32, (0, 200, 0))),
              (48, make_icon.bitmap(48, (0, 0, 200))), (256, make_icon.png(256, (200, 200, 0)))]
    with open(icon, "wb") as f:
        f.write(make_icon.icon(images))
    return inputs, icon, os.path.join(build, "bin", "standin")


def pack_args(name, inputs, runtime, icon, output):
    args = ["--name", name, "--input", inputs, "--runtime", runtime, "--output", output,
            "--main-class", "hello.Main", "--class-path", "hello.jar", "--class-path", "lib/util.jar",
            "--icon", icon, "--app-version", "3.2.1", "--vendor", "Acme",
            "--description", "Packed \u00c9dition", "--kind", "both", "--replace"]
    for option in JAVA_OPTIONS:
        args += ["--java-option", option]
    for argument in ARGUMENTS:
        args += ["--argument=" + argument]
    return args


def fixture(build, pack, out):
    inputs, icon, runtime = make_inputs(out, build)
    subprocess.run([pack, *pack_args("Packed", inputs, runtime, icon, os.path.join(out, "Packed"))],
                   check=True)


class Checks:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, name, ok, detail=""):
        print("%s: %s" % ("PASS" if ok else "FAIL", name))
        if not ok and detail:
            print(detail)
        self.passed += bool(ok)
        self.failed += not ok


def version_strings(path):
    pe = pefile.PE(path)
    table = pe.FileInfo[0][0].StringTable[0]
    return {k.decode(): v.decode() for k, v in table.entries.items()}


def run_checks(build, pack, work):
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    inputs, icon, runtime = make_inputs(work, build)
    c = Checks()

    symbols = subprocess.run(["objdump", "-T", pack], capture_output=True).stdout.decode()
    needed = sorted({tuple(map(int, v.split("."))) for v in re.findall(r"GLIBC_(\d+(?:\.\d+)+)", symbols)})
    c.check("the native loftwick-pack needs glibc 2.17 at most (objdump -T): %s" %
            (".".join(map(str, needed[-1])) if needed else "none, it is static"),
            not needed or needed[-1] <= (2, 17), symbols[:2000])

    native = os.path.join(work, "native", "Packed")
    r = subprocess.run([pack, *pack_args("Packed", inputs, runtime, icon, native)], capture_output=True)
    c.check("loftwick-pack packs an image", r.returncode == 0, r.stderr.decode())
    exe = os.path.join(native, "Packed.exe")

    problems = check_executables.check(exe, "gui", "jvmLauncherGetAPI") + check_executables.check(
        os.path.join(native, "Packed.com"), "console", "jvmLauncherGetAPI")
    c.check("pefile: manifest, version information, imports, subsystem, export", not problems,
            "\n".join(problems))
    strings = version_strings(exe)
    expected = {"FileDescription": "Packed \u00c9dition", "CompanyName": "Acme", "ProductName": "Packed",
                "FileVersion": "3.2.1", "ProductVersion": "3.2.1", "InternalName": "Packed",
                "OriginalFilename": "Packed.exe"}
    c.check("pefile: the version strings given", strings == expected, str(strings))
    pe = pefile.PE(exe)
    counts = {e.id: len(e.directory.entries) for e in pe.DIRECTORY_ENTRY_RESOURCE.entries}
    c.check("pefile: four icon images under one group", counts.get(3) == 4 and counts.get(14) == 1,
            str(counts))
    c.check("pefile: checksum", pe.OPTIONAL_HEADER.CheckSum == pe.generate_checksum())
    names = [sec.Name.rstrip(b"\0").decode() for sec in pe.sections]
    last = pe.sections[-1]
    align = pe.OPTIONAL_HEADER.SectionAlignment
    c.check("pefile: one .rsrc, .reloc behind it, SizeOfImage to the end of the last section",
            names.count(".rsrc") == 1 and names[-2:] == [".rsrc", ".reloc"] and
            pe.OPTIONAL_HEADER.SizeOfImage == (last.VirtualAddress + last.Misc_VirtualSize + align - 1)
            // align * align, str(names))

    def relocations(path):
        return [(e.rva, e.type) for block in pefile.PE(path).DIRECTORY_ENTRY_BASERELOC
                for e in block.entries]
    c.check("pefile: the relocations are the launcher's own",
            relocations(exe) == relocations(os.path.join(build, "bin", "loftwick-launcher.exe")))

    # The Windows build of the tool makes the same image, byte for byte.
    windows = os.path.join(work, "windows", "Packed")
    args = pack_args("Packed", windows_path(inputs), windows_path(runtime), windows_path(icon),
                     windows_path(windows))
    r = wine(build, os.path.join(build, "bin", "loftwick-pack.exe"), *args)
    c.check("loftwick-pack.exe packs an image under Wine", r.returncode == 0, r.stderr.decode())
    cmp = filecmp.dircmp(native, windows)
    same = []

    def walk(d):
        same.append(not d.left_only and not d.right_only and not d.diff_files and not d.funny_files)
        for sub in d.subdirs.values():
            walk(sub)
    walk(cmp)
    identical = all(same) and all(
        filecmp.cmp(os.path.join(dp, f), os.path.join(windows, os.path.relpath(dp, native), f), shallow=False)
        for dp, _, files in os.walk(native) for f in files)
    c.check("native and Windows builds give byte-identical images", identical)

    # The launcher reads back every value exactly.
    r = wine(build, os.path.join(build, "bin", "loftwick-inspect.exe"), "--json", windows_path(exe))
    report = json.loads(r.stdout.decode("utf-8"))
    app = windows_path(os.path.join(native, "app"))
    want = [windows_path(exe), "-classpath", app + "\\hello.jar;" + app + "\\lib\\util.jar",
            *JAVA_OPTIONS, "-Dloftwick.app-path=" + windows_path(exe), "hello.Main", *ARGUMENTS]
    c.check("loftwick-inspect reads back every value", report["arguments"] == want and
            report["exitCode"] == 0, json.dumps(report["arguments"]) + "\n" + json.dumps(want))
    com = os.path.join(native, "Packed.com")
    r = wine(build, os.path.join(build, "bin", "loftwick-inspect.exe"), "--json", windows_path(com))
    report = json.loads(r.stdout.decode("utf-8"))
    want_com = [a.replace(windows_path(exe), windows_path(com)) for a in want]
    c.check("loftwick-inspect reads the console launcher's image alike",
            report["arguments"] == want_com, json.dumps(report["arguments"]))

    # Sign after packing: osslsigncode accepts it; packing a signed launcher is refused.
    key, cert = os.path.join(work, "key.pem"), os.path.join(work, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                    "-out", cert, "-days", "1", "-subj", "/CN=Loftwick test signer"],
                   check=True, capture_output=True)
    signed_dir = os.path.join(work, "signed")
    os.makedirs(signed_dir)
    signed = os.path.join(signed_dir, "loftwick-launcher.exe")
    r = subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", "Packed",
                        "-in", exe, "-out", signed], capture_output=True)
    c.check("osslsigncode signs a packed executable", r.returncode == 0, r.stdout.decode() + r.stderr.decode())
    r = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", signed], capture_output=True)
    c.check("osslsigncode verifies the signature", r.returncode == 0,
            r.stdout.decode() + r.stderr.decode())
    r = subprocess.run([pack, *pack_args("Again", inputs, runtime, icon, os.path.join(work, "again")),
                        "--launchers", signed_dir], capture_output=True)
    c.check("packing a signed launcher is refused", r.returncode == 1 and
            b"carries an Authenticode signature" in r.stderr and
            not os.path.exists(os.path.join(work, "again")), r.stderr.decode())

    check_real_runtime(c, build, pack, inputs, icon, work)
    check_linux_from_windows(c, build, inputs, work)

    # The Linux release archive: its loftwick-pack finds the launchers beside it.
    dist = os.path.join(work, "dist")
    subprocess.run([os.path.join(HERE, "..", "scripts", "dist.sh"), build, dist], check=True,
                   capture_output=True)
    archive = [f for f in os.listdir(dist) if f.endswith("-linux-x64.tar.gz")]
    subprocess.run(["tar", "-C", dist, "-xzf", os.path.join(dist, archive[0])], check=True)
    tool = os.path.join(dist, archive[0][:-len(".tar.gz")], "loftwick-pack")
    with open(os.path.join(os.path.dirname(tool), "README.md")) as f:
        readme = f.read()
    c.check("the Linux archive's README tells of its own files, not of building them",
            "loftwick-pack" in readme and "make" not in readme.split() and "build/" not in readme, readme)
    r = subprocess.run([tool, *pack_args("Packed", inputs, runtime, icon, os.path.join(work, "from-dist"))],
                       capture_output=True)
    c.check("the released loftwick-pack packs without a build tree", r.returncode == 0 and
            os.path.exists(os.path.join(work, "from-dist", "Packed.com")), r.stderr.decode())

    print("%d passed, %d failed" % (c.passed, c.failed))
    return 1 if c.failed else 0


if __name__ == "__main__":
    mode, build, pack, out = sys.argv[1:5]
    if mode == "fixture":
        fixture(build, pack, out)
        sys.exit(0)
    sys.exit(run_checks(build, pack, out))
