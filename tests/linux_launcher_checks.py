#!/usr/bin/python3
"""The Linux launcher with a real Java virtual machine (Debian's OpenJDK 17):
a test application, compiled here, reports what it received.

  linux_launcher_checks.py LAUNCHER PACK WORK STANDIN_RUNTIME
"""
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from pack_checks import Checks  # noqa: E402

JAVA_HOME = os.path.dirname(os.path.dirname(os.path.realpath(shutil.which("javac"))))
SOURCES = os.path.join(HERE, "java")


def compile_probe(work):
    """probe.jar (Main-Class probe.Main) and util.jar; the same classes as two modules."""
    classes = os.path.join(work, "classes")
    subprocess.run(["javac", "--release", "17", "-d", classes,
                    os.path.join(SOURCES, "probe", "probe", "Main.java"),
                    os.path.join(SOURCES, "util", "util", "Greeting.java")], check=True)
    jars = os.path.join(work, "jars")
    os.makedirs(jars, exist_ok=True)
    subprocess.run(["jar", "--create", "--file", os.path.join(jars, "util.jar"), "-C", classes, "util"],
                   check=True)
    manifest = os.path.join(work, "manifest.txt")
    with open(manifest, "w") as f:
        f.write("Class-Path: util.jar\n")
    subprocess.run(["jar", "--create", "--file", os.path.join(jars, "probe.jar"), "--main-class",
                    "probe.Main", "--manifest", manifest, "-C", classes, "probe"], check=True)
    modules = os.path.join(work, "modsrc")
    for module, package, source, info in (
            ("probe.util", "util", "util/util/Greeting.java", "module probe.util { exports util; }"),
            ("probe.mod", "probe", "probe/probe/Main.java", "module probe.mod { requires probe.util; }")):
        os.makedirs(os.path.join(modules, module, package), exist_ok=True)
        shutil.copy(os.path.join(SOURCES, source), os.path.join(modules, module, package))
        with open(os.path.join(modules, module, "module-info.java"), "w") as f:
            f.write(info + "\n")
    out = os.path.join(work, "modclasses")
    files = [os.path.join(d, f) for d, _, fs in os.walk(modules) for f in fs]
    subprocess.run(["javac", "--release", "17", "--module-source-path", modules, "-d", out, *files],
                   check=True)
    for module in ("probe.util", "probe.mod"):
        folder = os.path.join(jars, "mods-" + module.split(".")[1])
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["jar", "--create", "--file", os.path.join(folder, module + ".jar"),
                        "-C", os.path.join(out, module), "."], check=True)
    return jars


def make_image(root, launcher, name, cfg, jars):
    """ROOT/bin/NAME and ROOT/lib/app/NAME.cfg with the jars, laid out by hand."""
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(os.path.join(root, "bin"))
    shutil.copytree(jars, os.path.join(root, "lib", "app"))
    shutil.copy(launcher, os.path.join(root, "bin", name))
    with open(os.path.join(root, "lib", "app", name + ".cfg"), "w") as f:
        f.write(cfg)
    return os.path.join(root, "bin", name)


def run(exe, *args, env=None):
    environment = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "LANG", "LOFTWICK"))}
    environment.update(env or {"LANG": "C.UTF-8"})
    r = subprocess.run([exe, *args], capture_output=True, env=environment, timeout=60)
    facts = dict(line.partition("=")[::2] for line in r.stdout.decode("utf-8", "replace").splitlines())
    return r.returncode, facts, r.stderr.decode("utf-8", "replace")


def check_splash(c, launcher, jars, runtime, work):
    """app.splash under Xvfb: the runtime shows it before main runs."""
    if not shutil.which("Xvfb"):
        print("SKIP: no Xvfb for the splash screen")
        return
    import make_icon
    exe = make_image(os.path.join(work, "Splash"), launcher, "Splash",
                     "[Application]\napp.mainjar=$APPDIR/probe.jar\napp.splash=$APPDIR/splash.png\n" +
                     runtime, jars)
    with open(os.path.join(work, "Splash", "lib", "app", "splash.png"), "wb") as f:
        f.write(make_icon.png(64, (0, 120, 200)))
    display_file = os.path.join(work, "display")
    with open(display_file, "w") as out:
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "640x480x24"], stdout=out,
                                stderr=subprocess.DEVNULL)
    try:
        for _ in range(40):
            if open(display_file).read().strip():
                break
            time.sleep(0.25)
        display = ":" + open(display_file).read().strip()
        code, facts, err = run(exe, "splash", env={"LANG": "C.UTF-8", "DISPLAY": display})
        c.check("app.splash under an X display: SplashScreen.getSplashScreen() is not null",
                code == 0 and facts.get("splash") == "true", str(facts) + err)
    finally:
        xvfb.kill()
        xvfb.wait()


def check_bytes_pass_through(c, launcher, standin, work):
    """Linux names and arguments are bytes: the stand-in libjli.so records
    what the launcher hands the runtime, byte for byte."""
    root = os.path.join(os.fsencode(work), b"lat\xe9n \xff", b"Bytes")
    os.makedirs(os.path.join(root, b"bin"))
    os.makedirs(os.path.join(root, b"lib", b"app"))
    shutil.copy(launcher, os.path.join(root, b"bin", b"Bytes"))
    os.symlink(os.path.abspath(standin), os.path.join(root, b"lib", b"runtime"))
    with open(os.path.join(root, b"lib", b"app", b"Bytes.cfg"), "wb") as f:
        f.write(b"[Application]\napp.mainclass=a.Main\napp.classpath=$APPDIR/a.jar\n")
    record = os.path.join(work, "record.bin")
    exe = os.path.join(root, b"bin", b"Bytes")
    args = [b"\xe9.txt", b"caf\xc3\xa9", b"\xc3", b"\xed\xa0\x80", b""]
    for env in ({"LANG": "C.UTF-8"}, {"LANG": "C", "LC_ALL": "C"}):
        r = subprocess.run([exe, *args], capture_output=True, env=dict(env, STANDIN_RECORD=record), timeout=60)
        got = open(record, "rb").read().split(b"\0")[:-1] if os.path.exists(record) else []
        c.check("under %s, a folder and arguments that are not UTF-8 reach the runtime byte for byte" % env["LANG"],
                r.returncode == 0 and got[:1] == [exe] and got[-len(args):] == args
                and b"-Dloftwick.app-path=" + exe in got
                and b"-classpath" in got and got[got.index(b"-classpath") + 1] == root + b"/lib/app/a.jar",
                repr(got) + r.stderr.decode("utf-8", "replace"))
        if os.path.exists(record):
            os.remove(record)


def check_cfg_not_a_file(c, launcher, work):
    """A pipe or a folder in the configuration's place: one line, at once."""
    root = os.path.join(work, "Piped")
    os.makedirs(os.path.join(root, "bin"))
    os.makedirs(os.path.join(root, "lib", "app"))
    shutil.copy(launcher, os.path.join(root, "bin", "Piped"))
    cfg = os.path.join(root, "lib", "app", "Piped.cfg")
    os.mkfifo(cfg)
    try:
        code, _, err = run(os.path.join(root, "bin", "Piped"))
    except subprocess.TimeoutExpired:
        code, err = None, "still waiting after 60 s"
    c.check("a pipe named NAME.cfg: the launcher's one-line error, exit code 1",
            code == 1 and err == 'Error opening "%s" file: it is not a regular file\n' % cfg, err)


def check_glibc_floor(c, launcher, inspect, pack):
    """Every current distribution: no newer glibc than the Java runtimes
    the launcher starts, whose most portable builds need 2.17."""
    for binary in (launcher, inspect):
        symbols = subprocess.run(["objdump", "-T", binary], capture_output=True).stdout.decode()
        versions = [tuple(map(int, v.split("."))) for v in re.findall(r"\(GLIBC_(\d+(?:\.\d+)+)\)", symbols)]
        exported = [line for line in symbols.splitlines() if " g " in line and " DF .text" in line]
        c.check("%s needs glibc 2.17 at most (objdump -T): %s" % (os.path.basename(binary),
                ".".join(map(str, max(versions, default=(0,))))),
                versions and max(versions) <= (2, 17), symbols[:3000])
        c.check("%s exports none of the C library's names it defines for that" % os.path.basename(binary),
                all(line.split()[-1] == "jvmLauncherGetAPI" for line in exported), "\n".join(exported))
    headers = subprocess.run(["objdump", "-p", pack], capture_output=True).stdout.decode()
    c.check("loftwick-pack is linked statically: it needs no library at all (objdump -p)",
            "NEEDED" not in headers and "DYNAMIC" not in headers, headers[:2000])


def main(launcher, pack, work, standin):
    work = os.path.abspath(work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    c = Checks()
    jars = compile_probe(work)
    options = "[JavaOptions]\njava-options=-Dprobe.option=a b\njava-options=-Dprobe.appdir=$APPDIR\n" \
              "java-options=-Dprobe.bindir=$BINDIR\njava-options=-Dprobe.rootdir=$ROOTDIR\n"
    runtime = "app.runtime=%s\n" % JAVA_HOME

    # The three kinds of main entry.
    root = os.path.join(work, "Probe")
    entries = {
        "a class path of several entries, one of them a '*' folder":
            "app.mainclass=probe.Main\napp.classpath=$APPDIR/probe.jar\napp.classpath=$APPDIR/mods-*\n"
            "app.classpath=$APPDIR/*\n",
        "a main jar and its manifest's Main-Class and Class-Path": "app.mainjar=$APPDIR/probe.jar\n",
        "a main module on a two-entry module path":
            "app.mainmodule=probe.mod/probe.Main\napp.modulepath=$APPDIR/mods-mod\n"
            "app.modulepath=$APPDIR/mods-util\n",
    }
    for what, main in entries.items():
        exe = make_image(root, launcher, "Probe", "[Application]\n" + main + runtime + options +
                         "[ArgOptions]\narguments=configured one\narguments=two\n", jars)
        code, facts, err = run(exe)
        c.check("main entry: " + what, code == 0 and facts.get("greeting") == "hello, probe" and
                facts.get("arg[0]") == "configured one" and facts.get("argc") == "2", str(facts) + err)

    # What Java sees: options, its own path, the macros, arguments.
    code, facts, err = run(exe, "given", "")
    c.check("Java options, -Dloftwick.app-path= and the three macros, read back with System.getProperty",
            facts.get("probe.option") == "a b" and facts.get("loftwick.app-path") == exe and
            facts.get("probe.appdir") == os.path.join(root, "lib", "app") and
            facts.get("probe.bindir") == os.path.join(root, "bin") and facts.get("probe.rootdir") == root,
            str(facts) + err)
    c.check("command-line arguments replace the configured ones, an empty one kept",
            facts.get("argc") == "2" and facts.get("arg[0]") == "given" and facts.get("arg[1]") == "",
            str(facts))

    # Exit codes.
    for args, want, text in ((["exit3"], 3, ""), (["throw"], 1,
                             'Exception in thread "main" java.lang.IllegalStateException: boom from main')):
        code, facts, err = run(exe, *args)
        c.check("exit code %d for %s" % (want, args[0]), code == want and text in err, err)
    bad = make_image(os.path.join(work, "Bad"), launcher, "Bad",
                     "[Application]\napp.mainclass=probe.Mian\napp.classpath=$APPDIR/probe.jar\n" + runtime,
                     jars)
    code, facts, err = run(bad)
    c.check("a missing main class: exit code 1, the runtime's words on standard error",
            code == 1 and "Error: Could not find or load main class probe.Mian" in err, err)

    # Non-ASCII: an install path and arguments, under C.UTF-8 and under C.
    odd = os.path.join(work, "\u00efnst \u65e5\u672c", "Probe")
    shutil.copytree(root, os.path.join(odd), symlinks=True)
    odd_exe = os.path.join(odd, "bin", "Probe")
    for env in ({"LANG": "C.UTF-8"}, {"LANG": "C", "LC_ALL": "C"}):
        code, facts, err = run(odd_exe, "\u00e4rg \u65e5", env=env)
        c.check("a non-ASCII install path and argument under %s" % env["LANG"],
                code == 0 and facts.get("arg[0]") == "\u00e4rg \u65e5" and
                facts.get("loftwick.app-path") == odd_exe, str(facts) + err)

    # The image moved, and started through a symbolic link (/usr/bin/probe).
    moved = os.path.join(work, "elsewhere", "Probe")
    shutil.move(odd, moved)
    link = os.path.join(work, "probe-link")
    os.symlink(os.path.join(moved, "bin", "Probe"), link)
    code, facts, err = run(link, "linked")
    c.check("moved to another folder and started through a symbolic link",
            code == 0 and facts.get("loftwick.app-path") == os.path.join(moved, "bin", "Probe") and
            facts.get("probe.rootdir") == moved, str(facts) + err)

    # An image made by loftwick-pack around a runtime made by jlink.
    jre = os.path.join(work, "jre")
    subprocess.run(["jlink", "--add-modules", "java.base", "--output", jre, "--strip-debug",
                    "--no-header-files", "--no-man-pages"], check=True)
    r = subprocess.run([pack, "--name", "Own", "--input", jars, "--runtime", jre, "--output",
                        os.path.join(work, "Own"), "--main-jar", "probe.jar", "--java-option",
                        "-Dprobe.option=packed", "--launchers", os.path.dirname(launcher)],
                       capture_output=True)
    own = os.path.join(work, "Own", "bin", "Own")
    code, facts, err = run(own, "x")
    c.check("an image packed by loftwick-pack around a runtime made by jlink runs",
            r.returncode == 0 and code == 0 and facts.get("greeting") == "hello, probe" and
            facts.get("probe.option") == "packed" and facts.get("arg[0]") == "x",
            r.stderr.decode() + str(facts) + err)

    # loftwick-inspect reads Linux images, with the checks packing makes.
    inspect = os.path.join(os.path.dirname(launcher), "loftwick-inspect")
    r = subprocess.run([inspect, own], capture_output=True)
    c.check("loftwick-inspect reads the packed Linux image: problems none, exit code 0",
            r.returncode == 0 and b"Problems: none\n" in r.stdout and
            ("Runtime library: %s/lib/runtime/lib/libjli.so" % os.path.join(work, "Own")).encode() in r.stdout,
            r.stdout.decode() + r.stderr.decode())
    r = subprocess.run([inspect, bad], capture_output=True)
    c.check("loftwick-inspect finds a misspelt main class in a Linux image: exit code 2",
            r.returncode == 2 and b"the main class probe.Mian is not in the class path (did you mean "
            b"probe.Main?)" in r.stdout, r.stdout.decode())

    # The launcher's own errors: one message on standard error, exit code 1.
    cfg = os.path.join(work, "Own", "lib", "app", "Own.cfg")
    os.rename(cfg, cfg + ".off")
    code, _, err = run(own)
    c.check("no configuration: one message, exit code 1",
            code == 1 and err == 'Error opening "%s" file: No such file or directory\n' % cfg, err)
    os.rename(cfg + ".off", cfg)
    shutil.rmtree(os.path.join(work, "Own", "lib", "runtime"))
    code, _, err = run(own)
    c.check("no runtime: one message, exit code 1", code == 1 and err ==
            'Failed to find JVM in "%s" directory.\n' % os.path.join(work, "Own", "lib", "runtime"), err)
    lacking = os.path.join(work, "lacking-jre")
    shutil.copytree(jre, lacking, symlinks=True)
    os.remove(os.path.join(lacking, "lib", "libjli.so"))
    os.symlink(lacking, os.path.join(work, "Own", "lib", "runtime"))
    code, _, err = run(own)
    c.check("a runtime without libjli.so: one message, exit code 1", code == 1 and err ==
            'Failed to find JVM in "%s" directory.\n' % os.path.join(work, "Own", "lib", "runtime"), err)
    os.remove(os.path.join(work, "Own", "lib", "runtime"))
    broken = os.path.join(work, "broken-jre")
    shutil.copytree(jre, broken, symlinks=True)
    with open(os.path.join(broken, "lib", "libjli.so"), "w") as f:
        f.write("not a library\n")
    os.symlink(broken, os.path.join(work, "Own", "lib", "runtime"))
    code, _, err = run(own)
    c.check("a broken libjli.so: one message naming it, exit code 1",
            code == 1 and err.startswith("dlopen(%s) failed: " % os.path.join(work, "Own", "lib", "runtime",
                                                                             "lib", "libjli.so"))
            and err.count("\n") == 1, err)

    check_splash(c, launcher, jars, runtime, work)
    check_bytes_pass_through(c, launcher, standin, work)
    check_cfg_not_a_file(c, launcher, work)

    symbols = subprocess.run(["objdump", "-T", launcher], capture_output=True).stdout.decode()
    c.check("the launcher exports jvmLauncherGetAPI (objdump -T)",
            any(line.split()[-1:] == ["jvmLauncherGetAPI"] for line in symbols.splitlines()), symbols[-500:])
    check_glibc_floor(c, launcher, inspect, pack)

    code, facts, err = run(exe, env={"LANG": "C.UTF-8", "LOFTWICK_DEBUG": "true"})
    c.check("LOFTWICK_DEBUG=true traces to standard error", code == 0 and
            "[TRACE] app.cpp:" in err and "jli arg[0]: [%s]" % exe in err, err[:2000])
    print("%d passed, %d failed" % (c.passed, c.failed))
    return 1 if c.failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
