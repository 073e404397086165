#!/usr/bin/python3
"""The deb and rpm steps against the real tools: packages read back with
dpkg-deb and rpm, judged by lintian, rpmlint and desktop-file-validate,
installed and removed for real (as root), and a desktop session under Xvfb
for the window class, file types and the failure dialog.

  linux_package_checks.py PACK WORK
"""
import os
import re
import shutil
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import pack_checks  # noqa: E402
from pack_checks import Checks  # noqa: E402
import make_icon  # noqa: E402

# Each run installs a package of its own name, so that two runs on one
# machine never meet.
NAME, PREFIX = "LoftwickCheck", "loftwick-check-"
PACKAGE = PREFIX + str(os.getpid())
MIME = "application/x-%s-lwcheck" % PACKAGE
# apt waits for the package database's lock that another run or a package
# operation of the machine holds; dpkg alone would fail at once.
APT = ["apt-get", "-y", "-q", "--no-install-recommends", "-o", "DPkg::Lock::Timeout=600"]
MAINTAINER = "Loftwick Tests <tests@loftwick.invalid>"
DESKTOP_PATHS = ["/usr/bin/" + PACKAGE, "/opt/" + PACKAGE, "/usr/share/applications/%s.desktop" % PACKAGE,
                 "/usr/share/mime/packages/%s.xml" % PACKAGE, "/usr/share/doc/" + PACKAGE,
                 "/usr/share/icons/hicolor/48x48/apps/%s.png" % PACKAGE]


def run(args, env=None, **kw):
    r = subprocess.run(args, capture_output=True, env=env, timeout=kw.pop("timeout", 300), **kw)
    return r.returncode, r.stdout.decode("utf-8", "replace"), r.stderr.decode("utf-8", "replace")


def make_inputs(work):
    """The window application's jar (plus a file version 2 drops), a runtime
    with java.desktop, and an icon of four sizes."""
    classes = os.path.join(work, "classes")
    subprocess.run(["javac", "--release", "17", "-d", classes,
                    os.path.join(HERE, "java", "window", "window", "Main.java")], check=True)
    inputs = {}
    for version in ("1", "2"):
        folder = inputs[version] = os.path.join(work, "input" + version)
        os.makedirs(folder)
        subprocess.run(["jar", "--create", "--file", os.path.join(folder, "window.jar"), "--main-class",
                        "window.Main", "-C", classes, "window"], check=True)
        if version == "1":
            open(os.path.join(folder, "dropped.txt"), "w").write("only in version 1\n")
    runtime = os.path.join(work, "runtime")
    subprocess.run(["jlink", "--add-modules", "java.base,java.desktop", "--output", runtime,
                    "--strip-debug", "--no-header-files", "--no-man-pages"], check=True)
    icon = os.path.join(work, "app.ico")
    with open(icon, "wb") as f:
        f.write(make_icon.icon([(16, make_icon.bitmap(16, (200, 0, 0))), (48, make_icon.bitmap(48, (0, 0, 200))),
                                (256, make_icon.png(256, (200, 200, 0)))]))
    return inputs, runtime, icon


def pack_image(pack, work, inputs, runtime, icon, version):
    image = os.path.join(work, "image" + version)
    code, out, err = run([pack, "--name", NAME, "--input", inputs[version], "--runtime", runtime,
                          "--output", image, "--main-jar", "window.jar", "--icon", icon,
                          "--app-version", "1.%s.0" % version, "--vendor", "Loftwick Tests",
                          "--description", "Shows a window for the package checks",
                          "--product-name", "Loftwick Check"])
    assert code == 0, out + err
    return image


def make_package(pack, fmt, image, output, *extra, maintainer=MAINTAINER):
    code, out, err = run([pack, fmt, image, "--output", output, "--package-name", PACKAGE, "--maintainer",
                          maintainer, "--file-type", ".lwcheck=Loftwick check file", "--category",
                          "Development", "--homepage", "https://loftwick.invalid/", *extra])
    return code, out + err


def image_files(image):
    """Every file of the image, relative, with its mode's permission bits."""
    files = {}
    for folder, _, names in os.walk(image):
        for n in names:
            path = os.path.join(folder, n)
            files[os.path.relpath(path, image)] = os.stat(path).st_mode & 0o777
    return files


def check_deb_contents(c, deb, image):
    code, info, _ = run(["dpkg-deb", "-I", deb])
    fields = dict(re.findall(r"^ (\S+): (.*)$", info, re.M))
    c.check("dpkg-deb -I: the product data, from the image", fields.get("Package") == PACKAGE
            and fields.get("Version") == "1.1.0" and fields.get("Maintainer") == MAINTAINER
            and fields.get("Description") == "Shows a window for the package checks"
            and fields.get("Homepage") == "https://loftwick.invalid/", info)
    depends = [d.strip() for d in fields.get("Depends", "").split(",")]
    c.check("dpkg-deb -I: Depends from the runtime's libraries, t64 alternatives, nothing the image holds",
            re.fullmatch(r"libc6 \(>= 2\.3[0-5]\)", depends[0]) is not None
            and {"libx11-6", "libxtst6", "libasound2t64 | libasound2", "libpng16-16t64 | libpng16-16",
                 "zlib1g"} <= set(depends) and not any("jvm" in d or "java" in d for d in depends), info)
    code, listing, _ = run(["dpkg-deb", "-c", deb])
    listed = {}
    for line in listing.splitlines():
        mode, owner, _, _, _, path = line.split(None, 5)
        listed[path.split(" -> ")[0][2:]] = (mode, owner)
    expected = {"opt/%s/%s" % (PACKAGE, p): m for p, m in image_files(image).items()}
    wrong = [p for p, m in expected.items() if p not in listed or listed[p][1] != "root/root"
             or listed[p][0][1:] != ("rwxr-xr-x" if m & 0o100 else "rw-r--r--")]
    c.check("dpkg-deb -c: every file of the image under /opt, root's, 0755 where executable, else 0644",
            len(expected) > 50 and not wrong, str(wrong[:10]))
    c.check("dpkg-deb -c: command, desktop entry, icons in the sizes the icon holds, MIME type, docs",
            {"usr/bin/" + PACKAGE, "usr/share/applications/%s.desktop" % PACKAGE,
             "usr/share/mime/packages/%s.xml" % PACKAGE, "usr/share/man/man1/%s.1.gz" % PACKAGE,
             "usr/share/doc/%s/copyright" % PACKAGE, "usr/share/lintian/overrides/" + PACKAGE}
            | {"usr/share/icons/hicolor/%dx%d/apps/%s.png" % (s, s, PACKAGE) for s in (16, 48, 256)}
            <= set(listed), listing[-1500:])


def check_checkers(c, work, deb, rpm):
    code, out, err = run(["lintian", "--fail-on", "error", deb])
    c.check("lintian: no errors", code == 0 and "\nE:" not in "\n" + out, out + err)
    extracted = os.path.join(work, "deb-extracted")
    subprocess.run(["dpkg-deb", "-x", deb, extracted], check=True)
    overrides = open(os.path.join(extracted, "usr/share/lintian/overrides", PACKAGE)).read()
    c.check("each lintian override follows its reason", all(
        lines[i - 1].startswith("#") for lines in [overrides.splitlines()]
        for i, line in enumerate(lines) if not line.startswith("#")), overrides)
    entry = os.path.join(extracted, "usr/share/applications/%s.desktop" % PACKAGE)
    code, out, err = run(["desktop-file-validate", entry])
    c.check("desktop-file-validate: clean", code == 0 and not out + err, out + err)
    text = open(entry).read()
    c.check("the desktop entry: name, command with the file, icon, category, MIME type, window class",
            "Name=Loftwick Check\n" in text and "Exec=%s %%f\n" % PACKAGE in text and "Icon=%s\n" % PACKAGE in text
            and "Categories=Development;\n" in text and "MimeType=%s;\n" % MIME in text
            and "StartupWMClass=window-Main\n" in text, text)
    rpm_root = os.path.join(work, "rpm-extracted")
    os.makedirs(rpm_root)
    subprocess.run("rpm2cpio '%s' | cpio -idm --quiet" % rpm, shell=True, cwd=rpm_root, check=True)
    filters = os.path.join(rpm_root, "usr/share/doc", PACKAGE, "rpmlintrc")
    code, out, err = run(["rpmlint", "-r", filters, rpm])
    c.check("rpmlint, with the filters the package lists: 0 errors", " 0 errors," in out, out[-3000:] + err)
    code, out, err = run([os.path.join(rpm_root, "usr", "lib", PACKAGE, "bin", NAME)],
                         env={"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"})
    c.check("the command extracted from the .rpm (rpm2cpio | cpio) runs the real virtual machine",
            code == 0 and out == "window: started with 0 arguments\n", out + err)


def check_rpm(c, work, rpm, image):
    code, info, _ = run(["rpm", "-qip", rpm])
    c.check("rpm -qip: the product data", re.search(r"^Name\s*: %s$" % PACKAGE, info, re.M) and
            re.search(r"^Version\s*: 1\.1\.0$", info, re.M) and re.search(r"^Vendor\s*: Loftwick Tests$", info, re.M)
            and "Shows a window for the package checks" in info, info)
    code, requires, _ = run(["rpm", "-qpR", rpm])
    c.check("rpm -qpR: the libraries the runtime needs, none it holds",
            "libX11.so.6()(64bit)" in requires and "libc.so.6(GLIBC_2.34)(64bit)" in requires
            and "libjvm" not in requires and "libjava" not in requires, requires)
    code, listing, _ = run(["rpm", "-qp", "--qf", "[%{FILEMODES:perms} %{FILEUSERNAME} %{FILENAMES}\n]", rpm])
    listed = {line.split(" ", 2)[2]: line.split(" ", 2)[:2] for line in listing.splitlines()}
    # RPM's distributions mark shared libraries executable.
    wrong = [p for p, m in image_files(image).items() if listed.get("/usr/lib/%s/%s" % (PACKAGE, p)) !=
             ["-rwxr-xr-x" if m & 0o100 or p.endswith(".so") else "-rw-r--r--", "root"]]
    c.check("rpm -qlp: every file of the image under /usr/lib, root's, 0755 where executable or a "
            "library, else 0644", not wrong, str(wrong[:10]))
    root = os.path.join(work, "rpm-root")
    code, out, err = run(["rpm", "-i", "--root", root, "--dbpath", os.path.join(root, "var/lib/rpm"),
                          "--nodeps", rpm])
    code, out, err = run([os.path.join(root, "usr", "bin", PACKAGE), "a b"],
                         env={"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"})
    link = os.readlink(os.path.join(root, "usr", "bin", PACKAGE))
    c.check("rpm -i --root: its /usr/bin command (%s) runs the real virtual machine" % link,
            link == "../lib/%s/bin/%s" % (PACKAGE, NAME) and code == 0 and out == "window: started with 1 arguments\n", out + err)


class Display:
    """Xvfb on a free display; HOME and the XDG folders inside the work tree."""

    def __init__(self, work):
        self.file = os.path.join(work, "display")
        with open(self.file, "w") as out:
            self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24"],
                                         stdout=out, stderr=subprocess.DEVNULL)
        for _ in range(40):
            if open(self.file).read().strip():
                break
            time.sleep(0.25)
        home = os.path.join(work, "desktop-home")
        os.makedirs(home)
        self.env = {"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "HOME": home,
                    "DISPLAY": ":" + open(self.file).read().strip(),
                    "XDG_CONFIG_HOME": os.path.join(home, "config"), "XDG_DATA_HOME": os.path.join(home, "data"),
                    "XDG_STATE_HOME": os.path.join(home, "state"), "XDG_CACHE_HOME": os.path.join(home, "cache")}

    def windows(self, name):
        r = subprocess.run(["xdotool", "search", "--name", name], capture_output=True, env=self.env)
        return r.stdout.decode().split()

    def wait_for(self, name, seconds=30):
        for _ in range(seconds * 4):
            found = self.windows(name)
            if found:
                return found
            time.sleep(0.25)
        return []

    def close(self):
        self.xvfb.kill()
        self.xvfb.wait()


def install(deb):
    return run(APT + ["install", os.path.abspath(deb)], timeout=900)


def purge(package):
    return run(APT + ["purge", package], timeout=900)


def purge_left_behind():
    """A run that was killed could not remove its package: the next one does."""
    code, out, _ = run(["dpkg-query", "-W", "-f", "${Package} ${Status}\n", PREFIX + "*"])
    for line in out.splitlines():
        package, _, status = line.partition(" ")
        pid = package[len(PREFIX):]
        if status.endswith("installed") and pid.isdigit() and not os.path.exists("/proc/" + pid):
            purge(package)


def check_round_trip(c, work, debs, display):
    code, out, err = install(debs["1"])
    c.check("apt-get install: installed", code == 0, out + err)
    code, out, err = run([PACKAGE], env={"PATH": "/usr/bin:/bin", "LANG": "C.UTF-8"})
    c.check("the installed command runs the real virtual machine (own path through the /usr/bin link)",
            code == 0 and out == "window: started with 0 arguments\n", out + err)
    c.check("desktop entry, icon and MIME type in place", all(os.path.exists(p) for p in DESKTOP_PATHS))
    code, out, err = run(["xdg-mime", "query", "default", MIME], env=display.env)
    c.check("xdg-mime query default names the application", out.strip() == PACKAGE + ".desktop", out + err)

    env = dict(display.env, WINDOW_SECONDS="20")
    app = subprocess.Popen([PACKAGE], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = display.wait_for("^Loftwick window check$")
        wm_class = run(["xprop", "-id", window[0], "WM_CLASS"], env=env)[1] if window else ""
    finally:
        app.kill()
        app.wait()
    entry = open("/usr/share/applications/%s.desktop" % PACKAGE).read()
    declared = re.search(r"^StartupWMClass=(.*)$", entry, re.M)
    c.check("a real Swing window's WM_CLASS (xprop) is the entry's StartupWMClass",
            declared and wm_class.strip().endswith('"%s"' % declared.group(1)), wm_class + entry)

    document = os.path.join(work, "a document.lwcheck")
    open(document, "w").write("check\n")
    arguments = os.path.join(work, "arguments.txt")
    code, out, err = run(["xdg-open", document], env=dict(display.env, WINDOW_ARGS_FILE=arguments))
    for _ in range(120):
        if os.path.exists(arguments):
            break
        time.sleep(0.25)
    got = open(arguments).read() if os.path.exists(arguments) else ""
    c.check("xdg-open on a file of the type starts the application with its path", got == document, got + out + err)

    code, out, err = install(debs["2"])
    code, status, _ = run(["dpkg-query", "-W", "-f", "${Package} ${Version}\n", PACKAGE])
    c.check("an upgrade: one package, the newer version, the dropped file gone", code == 0
            and status == PACKAGE + " 1.2.0\n" and not os.path.exists("/opt/%s/lib/app/dropped.txt" % PACKAGE)
            and os.path.exists("/opt/%s/lib/app/window.jar" % PACKAGE), status + out + err)
    code, out, err = purge(PACKAGE)
    left = [p for p in DESKTOP_PATHS if os.path.lexists(p)]
    code, out, _ = run(["xdg-mime", "query", "default", MIME], env=display.env)
    c.check("apt-get purge: nothing is left, and no file type points at it", not left and not out.strip(),
            str(left) + out)


def check_failure_report(c, work, pack, image, display):
    """A wrong main class, started as the desktop starts it: no terminal."""
    bad = os.path.join(work, "bad")
    shutil.copytree(image, bad, symlinks=True)
    cfg = os.path.join(bad, "lib", "app", NAME + ".cfg")
    text = open(cfg).read().replace("app.mainjar=$APPDIR/window.jar",
                                    "app.mainclass=window.Mian\napp.classpath=$APPDIR/window.jar")
    open(cfg, "w").write(text)
    exe = os.path.join(bad, "bin", NAME)
    launcher = subprocess.Popen([exe], env=display.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)
    try:
        found = display.wait_for("^%s$" % NAME)
        time.sleep(1)
        boxes = display.windows("^%s$" % NAME)
        zenity = [p for p in os.listdir("/proc") if p.isdigit() and
                  pack_checks.command_line(p).startswith(b"/usr/bin/zenity")] if found else []
        shown = pack_checks.command_line(zenity[0]).decode() if zenity else ""
        for box in boxes:
            subprocess.run(["xdotool", "windowfocus", box, "key", "Return"], env=display.env)
        out, err = launcher.communicate(timeout=30)
    finally:
        launcher.kill()
    c.check("from the desktop, a wrong main class: exactly one zenity dialog, with the runtime's text "
            "and the exit code", len(boxes) == 1 and "Error: Could not find or load main class window.Mian" in shown
            and "The application ended with exit code 1." in shown, str(boxes) + shown)
    c.check("... the launcher still ends with 1 and passes the runtime's text to its standard error",
            launcher.returncode == 1 and b"Could not find or load main class window.Mian" in err, err.decode())

    nowhere = os.path.join(work, "no-dialog")
    os.makedirs(nowhere)
    code, out, err = run([exe], env=dict(display.env, PATH=nowhere), stdin=subprocess.DEVNULL)
    log = os.path.join(display.env["XDG_STATE_HOME"], "loftwick", NAME + ".log")
    logged = open(log).read() if os.path.exists(log) else ""
    c.check("without zenity or kdialog: the text goes to $XDG_STATE_HOME/loftwick/NAME.log",
            code == 1 and "Could not find or load main class window.Mian" in logged
            and "exit code 1." in logged, logged + err)
    shutil.rmtree(os.path.join(bad, "lib", "runtime"))
    code, out, err = run([exe], env=dict(display.env, PATH=nowhere), stdin=subprocess.DEVNULL)
    logged = open(log).read() if os.path.exists(log) else ""
    c.check("... and so is the launcher's own failure (no runtime)",
            code == 1 and 'Failed to find JVM in "%s/lib/runtime" directory.' % bad in logged, logged + err)


def check_refusals(c, pack, image, work):
    out = os.path.join(work, "refused.deb")
    for fmt, version in (("deb", "1.0-beta"), ("rpm", "2.0-rc1"), ("deb", "v2")):
        code, text = make_package(pack, fmt, image, out, "--app-version", version)
        c.check("%s refuses the version %s, saying why" % (fmt, version),
                code == 1 and ("'-'" in text or "digit" in text) and not os.path.exists(out), text)
    code, text = make_package(pack, "rpm", image, out, "--license", "MIT\n%install\ntouch injected")
    c.check("a line break in a one-line field (here, a build recipe section that runs commands) is refused",
            code == 1 and "control character" in text and not os.path.exists(out), text)
    code, text = make_package(pack, "deb", image, out, maintainer="nobody")
    c.check("a .deb without a maintainer's address is refused", code == 1 and "--maintainer" in text, text)
    empty = os.path.join(work, "empty-path")
    os.makedirs(empty)
    r = subprocess.run([pack, "rpm", image, "--output", out], capture_output=True, env={"PATH": empty})
    c.check("no rpmbuild: the message says how to install it on Debian, Fedora and macOS",
            r.returncode == 1 and all(w in r.stderr for w in (b"apt install rpm", b"dnf install rpm-build",
                                                                 b"brew install rpm")), r.stderr.decode())


def ended(signal_number, _):
    """Ended from outside (CTest's time-out, Ctrl+C): the finally blocks
    still remove what the run installed."""
    raise SystemExit(128 + signal_number)


def check_ordinary_inputs(c, pack, work, inputs, runtime):
    """What a user naturally gives: no description, a license as SPDX or
    Debian writes it, one additional category, programs it runs."""
    image = os.path.join(work, "ordinary")
    code, out, err = run([pack, "--name", "Ordinary", "--input", inputs["1"], "--runtime", runtime, "--output",
                          image, "--main-jar", "window.jar", "--app-version", "2.0", "--vendor", "Loftwick Tests"])
    c.check("an image packed without --description", code == 0, out + err)
    deb, rpm = os.path.join(work, "ordinary.deb"), os.path.join(work, "ordinary.rpm")

    def package(fmt, output, *options):
        code, out, err = run([pack, fmt, image, "--output", output, "--package-name", PACKAGE, *options])
        return code, out + err

    code, text = package("deb", deb, "--maintainer", MAINTAINER, "--license", "GPL-2+", "--category",
                         "TextEditor", "--depends", "zenity", "--recommends", "xdg-utils (>= 1.0)")
    c.check("deb without a description: a warning says what the summary says instead",
            code == 0 and "is one word" in text and 'says "Java application Ordinary" instead' in text, text)
    code, out, err = run(["lintian", "--fail-on", "error", deb])
    c.check("lintian: no errors for the ordinary inputs (GPL-2+ refers to common-licenses)",
            code == 0 and "\nE:" not in "\n" + out, out + err)
    extracted = os.path.join(work, "ordinary-deb")
    subprocess.run(["dpkg-deb", "-x", deb, extracted], check=True)
    entry = os.path.join(extracted, "usr/share/applications/%s.desktop" % PACKAGE)
    code, out, err = run(["desktop-file-validate", entry])
    c.check("desktop-file-validate: --category TextEditor alone gets its main category, Utility",
            code == 0 and not out + err and "Categories=Utility;TextEditor;\n" in open(entry).read(), out + err)
    fields = run(["dpkg-deb", "-f", deb, "Depends", "Recommends"])[1]
    c.check("--depends and --recommends reach the control file", ", zenity\n" in fields
            and "Recommends: xdg-utils (>= 1.0)" in fields, fields)
    code, text = package("rpm", rpm, "--license", "GPL-2.0-or-later", "--depends", "zenity")
    root = os.path.join(work, "ordinary-rpm")
    os.makedirs(root)
    subprocess.run("rpm2cpio '%s' | cpio -idm --quiet" % rpm, shell=True, cwd=root, check=code == 0)
    code, out, err = run(["rpmlint", "-r", os.path.join(root, "usr/share/doc", PACKAGE, "rpmlintrc"), rpm])
    c.check("rpmlint: 0 errors without --maintainer (the vendor packs it)", " 0 errors," in out, out[-3000:] + err)
    info = run(["rpm", "-qip", rpm])[1] + run(["rpm", "-qpR", rpm])[1]
    c.check("the .rpm names its packager and license, and requires what --depends gives",
            re.search(r"^Packager\s*: Loftwick Tests$", info, re.M) and "GPL-2.0-or-later" in info
            and "\nzenity\n" in info, info[:3000])
    code, out, err = run([pack, "deb", image, "--output", deb, "--replace", "--package-name", "zenity",
                          "--maintainer", MAINTAINER])
    text = out + err
    c.check("a package name that is also a package of the distribution: a warning",
            code == 0 and 'the package name "zenity" is also a package' in text, text)
    code, out, err = run([pack, "--name", "Ordinary", "--input", inputs["1"], "--runtime", runtime, "--output",
                          image, "--main-jar", "window.jar", "--app-version", "5.5.0-beta", "--replace"])
    c.check("a Linux image whose version the packages would refuse: a warning when it is packed",
            code == 0 and 'the version "5.5.0-beta" is not one to four numbers' in err, err)


def main(pack, work):
    for s in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        signal.signal(s, ended)
    work = os.path.abspath(work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    missing = [t for t in ("dpkg-deb", "rpmbuild", "lintian", "rpmlint", "desktop-file-validate") if not shutil.which(t)]
    if missing:
        print("SKIP: %s not installed (make deps)" % ", ".join(missing))
        return 0
    # rpm keeps its query database in $HOME/.rpmdb, rpmlint a spelling
    # dictionary in $HOME/.config: both stay in the work tree.
    os.environ["HOME"] = os.path.join(work, "home")
    os.makedirs(os.environ["HOME"])
    c = Checks()
    inputs, runtime, icon = make_inputs(work)
    images = {v: pack_image(pack, work, inputs, runtime, icon, v) for v in ("1", "2")}
    debs = {v: os.path.join(work, "%s_%s.deb" % (PACKAGE, v)) for v in ("1", "2")}
    for v in ("1", "2"):
        code, text = make_package(pack, "deb", images[v], debs[v])
        c.check("deb of version %s built" % v, code == 0, text)
    rpm = os.path.join(work, PACKAGE + ".rpm")
    code, text = make_package(pack, "rpm", images["1"], rpm, "--location", "usr-lib")
    c.check("rpm built, for /usr/lib", code == 0, text)
    check_deb_contents(c, debs["1"], images["1"])
    check_checkers(c, work, debs["1"], rpm)
    check_rpm(c, work, rpm, images["1"])
    check_refusals(c, pack, images["1"], work)
    check_ordinary_inputs(c, pack, work, inputs, runtime)

    display = Display(work)
    try:
        if os.geteuid() == 0 and shutil.which("apt-get"):
            purge_left_behind()
            try:
                check_round_trip(c, work, debs, display)
            finally:
                purge(PACKAGE)
        else:
            print("SKIP: the install round trip needs root")
        check_failure_report(c, work, pack, images["1"], display)
    finally:
        display.close()
    print("%d passed, %d failed" % (c.passed, c.failed))
    return 1 if c.failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
