#!/usr/bin/python3
"""One project file, loftwick.toml, for the demo's application: one
`loftwick-pack build` makes the Windows image and .msi and the Linux runtime,
image, .deb and .rpm, and they are what the equivalent command lines make,
file by file. Then: a command-line option wins for one run, mistakes are
refused with their places, and `init` writes a file that builds.

usage: project_checks.py LOFTWICK-PACK WINDOWS-BUILD WORK"""
import hashlib
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from pack_checks import Checks  # noqa: E402
import make_icon  # noqa: E402

PROJECT = """\
# The demo's application, for Windows and Linux.
[application]
name = "HelloApp"
input = "app"
main-jar = "hello.jar"
java-options = ["-Xmx256m", "-Dhello.home=$ROOTDIR"]
arguments = ["--greeting", "Hello from $APPDIR"]
icon = "hello.ico"
version = "1.2.0"
vendor = "Example Corp"
description = "Hello, the demo application"
copyright = "(c) 2026 Example Corp"

[windows]
runtime = "runtime-windows"

[windows.installer]
file-types = [".hello=Hello greeting"]

[linux]
name = "hello"
runtime = "runtime-linux"
java-options = ["-Xmx64m"]

[linux.jlink]
jdk = "/usr/lib/jvm/java-17-openjdk-amd64"

[linux.packages]
package-name = "loftwick-demo-hello"
maintainer = "Example Corp <packages@example.invalid>"
file-types = [".hello=Hello greeting"]
categories = ["Utility", "TextTools"]

[linux.deb]

[linux.rpm]
release = "2"
"""


def run(*args, cwd=None):
    return subprocess.run([str(a) for a in args], capture_output=True, text=True, cwd=cwd)


def make_project(work, build):
    """The demo's application: hello.jar (Main-Class, and util.jar on its
    Class-Path) and util.jar, its icon, and a stand-in Windows runtime."""
    project = os.path.join(work, "project")
    src, classes, app = (os.path.join(project, d) for d in ("src", "classes", "app"))
    for package, text in (("util", "public class Greeting { public static String of(String who) { return "
                                   "\"Hello, \" + who; } }"),
                          ("hello", "public class Main { public static void main(String[] a) { System.out"
                                    ".println(util.Greeting.of(\"world\")); } }")):
        os.makedirs(os.path.join(src, package))
        with open(os.path.join(src, package, "Main.java" if package == "hello" else "Greeting.java"), "w") as f:
            f.write("package %s; %s\n" % (package, text))
    subprocess.run(["javac", "--release", "17", "-d", classes, os.path.join(src, "util", "Greeting.java"),
                    os.path.join(src, "hello", "Main.java")], check=True)
    os.makedirs(app)
    with open(os.path.join(project, "manifest.txt"), "w") as f:
        f.write("Class-Path: util.jar\n")
    subprocess.run(["jar", "--create", "--file", os.path.join(app, "util.jar"), "-C", classes, "util"], check=True)
    subprocess.run(["jar", "--create", "--file", os.path.join(app, "hello.jar"), "--main-class", "hello.Main",
                    "--manifest", os.path.join(project, "manifest.txt"), "-C", classes, "hello"], check=True)
    with open(os.path.join(project, "hello.ico"), "wb") as f:
        f.write(make_icon.icon([(16, make_icon.bitmap(16, (200, 0, 0))), (32, make_icon.png(32, (0, 0, 200)))]))
    shutil.copytree(os.path.join(build, "bin", "standin"), os.path.join(project, "runtime-windows"))
    with open(os.path.join(project, "loftwick.toml"), "w") as f:
        f.write(PROJECT)
    return project


def tree(root):
    """Every file below `root` with the digest of its content."""
    found = {}
    for d, _, files in os.walk(root):
        for name in files:
            path = os.path.join(d, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, root)] = hashlib.sha256(f.read()).hexdigest()
    return found


def msi_tables(msi):
    """Every table as msiinfo exports it. Intended to differ, and left out:
    the product code and the package code (made anew for each .msi, as
    Windows Installer requires), and when the package was made (summary
    properties 12 and 13)."""
    names = run("msiinfo", "tables", msi).stdout.split()
    tables = {name: run("msiinfo", "export", msi, name).stdout for name in names}
    tables["Property"] = re.sub(r"ProductCode\t\{[0-9A-F-]+\}", "ProductCode\t(made anew)", tables["Property"])
    tables["_SummaryInformation"] = re.sub(r"(?m)^(9\t\{[0-9A-F-]+\}|1[23]\t[\d/: ]+)$", "(made anew)",
                                           tables["_SummaryInformation"])
    return tables


def deb_contents(deb):
    listing = run("dpkg-deb", "--contents", deb).stdout.splitlines()
    # Intended to differ: the listing's dates, and the compressed size of the
    # changelog, whose entry is dated when the package is made.
    files = sorted(re.sub(r"\d+ +\(date\) (\S+/changelog\.gz)$", r"(size) (date) \1",
                          re.sub(r"\d{4}-\d\d-\d\d \d\d:\d\d", "(date)", line)) for line in listing)
    return run("dpkg-deb", "--field", deb).stdout, files


def rpm_contents(rpm, home):
    env = {**os.environ, "HOME": home}
    tags = subprocess.run(["rpm", "-qp", "--qf", "%{NAME} %{VERSION} %{RELEASE} %{ARCH} %{SUMMARY}\n"
                           "%{DESCRIPTION}\n[%{REQUIRENAME}\n]", rpm], capture_output=True, text=True, env=env)
    files = subprocess.run(["rpm", "-qlpv", rpm], capture_output=True, text=True, env=env)
    listing = sorted(re.sub(r"\w{3} \w{3} +\d+ \d\d:\d\d:\d\d \d{4}|\w{3} +\d+ +[\d:]+", "(date)", line)
                     for line in files.stdout.splitlines())
    return tags.stdout, listing


def command_lines(c, pack, project, cli):
    """What the same settings make as separate command lines."""
    image_win, image_linux = os.path.join(cli, "HelloApp"), os.path.join(cli, "hello")
    common = ["--input", os.path.join(project, "app"), "--main-jar", "hello.jar", "--icon",
              os.path.join(project, "hello.ico"), "--app-version", "1.2.0", "--vendor", "Example Corp",
              "--description", "Hello, the demo application", "--copyright", "(c) 2026 Example Corp",
              "--argument", "--greeting", "--argument", "Hello from $APPDIR"]
    steps = [
        [pack, "--name", "HelloApp", *common, "--java-option", "-Xmx256m", "--java-option", "-Dhello.home=$ROOTDIR",
         "--runtime", os.path.join(project, "runtime-windows"), "--output", image_win],
        [pack, "installer", image_win, "--file-type", ".hello=Hello greeting", "--output",
         os.path.join(cli, "HelloApp-1.2.0.msi")],
        [pack, "--name", "hello", *common, "--java-option", "-Xmx64m", "--runtime",
         os.path.join(project, "runtime-linux"), "--output", image_linux],
    ]
    package = ["--package-name", "loftwick-demo-hello", "--maintainer", "Example Corp <packages@example.invalid>",
               "--file-type", ".hello=Hello greeting", "--category", "Utility", "--category", "TextTools"]
    steps.append([pack, "deb", image_linux, *package, "--output",
                  os.path.join(cli, "loftwick-demo-hello_1.2.0_amd64.deb")])
    steps.append([pack, "rpm", image_linux, *package, "--release", "2", "--output",
                  os.path.join(cli, "loftwick-demo-hello-1.2.0-2.x86_64.rpm")])
    for step in steps:
        r = run(*step)
        if r.returncode != 0:
            c.check("the command line %s" % " ".join(step[1:3]), False, r.stderr)


def check_same(c, pack, project, work, home):
    r = run(pack, "build", cwd=project)
    dist = os.path.join(project, "dist")
    c.check("one build makes the Linux runtime, both images, the .msi, the .deb and the .rpm",
            r.returncode == 0 and "Built 6 artefacts" in r.stdout and all(
                os.path.exists(os.path.join(dist, p)) for p in (
                    "windows/HelloApp/HelloApp.exe", "HelloApp-1.2.0.msi", "linux/hello/bin/hello",
                    "loftwick-demo-hello_1.2.0_amd64.deb", "loftwick-demo-hello-1.2.0-2.x86_64.rpm"))
            and os.path.exists(os.path.join(project, "runtime-linux", "lib", "server", "libjvm.so")),
            r.stdout + r.stderr)
    ran = run(os.path.join(dist, "linux", "hello", "bin", "hello"))
    c.check("the Linux image it made runs", ran.stdout.strip() == "Hello, world", ran.stdout + ran.stderr)
    cli = os.path.join(work, "cli")
    command_lines(c, pack, project, cli)
    for what, built, made in (("the Windows image", "windows/HelloApp", "HelloApp"),
                              ("the Linux image", "linux/hello", "hello")):
        a, b = tree(os.path.join(dist, built)), tree(os.path.join(cli, made))
        c.check("%s: the same files, byte for byte (%d)" % (what, len(a)), a == b and len(a) > 5,
                "\n".join(sorted(set(a.items()) ^ set(b.items()))))
    a, b = msi_tables(os.path.join(dist, "HelloApp-1.2.0.msi")), msi_tables(os.path.join(cli, "HelloApp-1.2.0.msi"))
    c.check("the .msi: every table the same but its product code (%d tables)" % len(a), a == b and len(a) > 10,
            "\n".join(k for k in a if a.get(k) != b.get(k)))
    a = deb_contents(os.path.join(dist, "loftwick-demo-hello_1.2.0_amd64.deb"))
    b = deb_contents(os.path.join(cli, "loftwick-demo-hello_1.2.0_amd64.deb"))
    c.check("the .deb: the same control data and files but the dates", a == b and "Maintainer" in a[0],
            str(a[0]) + "\n" + str(b[0]))
    a = rpm_contents(os.path.join(dist, "loftwick-demo-hello-1.2.0-2.x86_64.rpm"), home)
    b = rpm_contents(os.path.join(cli, "loftwick-demo-hello-1.2.0-2.x86_64.rpm"), home)
    c.check("the .rpm: the same data, requirements and files but the dates", a == b and "hello" in a[0],
            str(a) + "\n" + str(b))


def check_override_and_mistakes(c, pack, project):
    r = run(pack, "build", "--target", "linux", "--only", "image", "--app-version", "9.9", cwd=project)
    with open(os.path.join(project, "dist", "linux", "hello", "lib", "hello.product")) as f:
        product = f.read()
    c.check("a command-line option wins for one run (--app-version 9.9)",
            r.returncode == 0 and "--app-version=9.9" in r.stdout and "version=9.9\n" in product,
            r.stdout + r.stderr + product)
    bad = os.path.join(project, "bad.toml")
    with open(bad, "w") as f:
        f.write('[application]\nname = "x"\nmain-clas = "a.B"\nversion = 2\n[linux]\nruntime = ["a"]\n'
                'password = "hunter2"\n')
    r = run(pack, "build", "--file", bad)
    lines = r.stderr.splitlines()
    c.check("mistakes: every one refused at once, with its line and column (exit code 2)",
            r.returncode == 2 and [line.split(": ")[0] for line in lines] == [
                bad + ":%s" % at for at in ("3:1", "4:11", "5:2", "5:2", "6:11", "7:1")]
            and "did you mean \"main-class\"?" in lines[0] and "has no \"input\"" in r.stderr
            and "would hold a secret" in lines[5], r.stderr)


def check_init(c, pack, project, work):
    fresh = os.path.join(work, "fresh")
    shutil.copytree(os.path.join(project, "app"), os.path.join(fresh, "app"))
    r = run(pack, "init", "app/hello.jar", cwd=fresh)
    with open(os.path.join(fresh, "loftwick.toml")) as f:
        text = f.read()
    c.check("init reads the jar: its name and main class", r.returncode == 0 and 'name = "hello"' in text
            and 'Main-Class: "hello.Main"' in text, r.stdout + r.stderr + text)
    r = run(pack, "build", cwd=fresh)
    c.check("before the runtime is filled in, build says so", r.returncode == 2 and '"runtime" in [linux] is empty'
            in r.stderr, r.stderr)
    with open(os.path.join(fresh, "loftwick.toml"), "w") as f:
        f.write(text.replace('runtime = ""', 'runtime = "%s"' % os.path.join(project, "runtime-linux"), 1))
    r = run(pack, "build", cwd=fresh)
    ran = run(os.path.join(fresh, "dist", "linux", "hello", "bin", "hello"))
    c.check("after, it builds an image that runs", r.returncode == 0 and ran.stdout.strip() == "Hello, world",
            r.stdout + r.stderr + ran.stderr)


def main(pack, build, work):
    pack, work = os.path.abspath(pack), os.path.abspath(work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    home = os.path.join(work, "home")
    os.makedirs(home)
    c = Checks()
    project = make_project(work, os.path.abspath(build))
    check_same(c, pack, project, work, home)
    check_override_and_mistakes(c, pack, project)
    check_init(c, pack, project, work)
    print("%d passed, %d failed" % (c.passed, c.failed))
    return 1 if c.failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
