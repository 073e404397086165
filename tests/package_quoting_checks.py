#!/usr/bin/python3
"""Hostile values in every field of the Linux packages, read back with the
real consumers: no value becomes a command or a scriptlet, and each either
arrives unchanged (rpm -qip, rpm -qlp, dpkg-deb -f, the desktop entry and
MIME file parsed) or is refused, naming where it came from.

  package_quoting_checks.py PACK WORK
"""
import configparser
import os
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import pack_checks  # noqa: E402
from pack_checks import Checks  # noqa: E402
import make_elf  # noqa: E402

MAINTAINER = "Loftwick Tests <tests@loftwick.invalid>"


def hostile(marker):
    """The values an attacker tries: a command, a conditional macro, a
    section that runs as root on every install, a section keyword."""
    return ["%(touch " + marker + ")", "%{?x}x", "a\n%post\ntouch " + marker, "%prep"]


def make_image(pack, work, name, files=()):
    """A Linux image around a stand-in runtime: packing needs only its layout."""
    app = os.path.join(work, name + "-input")
    runtime = os.path.join(work, "runtime")
    if not os.path.exists(runtime):
        pack_checks.make_runtime(runtime, make_elf.elf(b"libjli.so", [(b"libc.so.6", [b"GLIBC_2.2.5"])]))
    os.makedirs(app)
    with zipfile.ZipFile(os.path.join(app, "app.jar"), "w") as z:
        z.writestr("META-INF/MANIFEST.MF", "Manifest-Version: 1.0\r\nMain-Class: app.Main\r\n\r\n")
        z.writestr("app/Main.class", b"\xca\xfe\xba\xbe\x00\x00\x00\x3d")
    for relative, content in files:
        os.makedirs(os.path.dirname(os.path.join(app, relative)), exist_ok=True)
        with open(os.path.join(app, relative), "wb") as f:
            f.write(content)
    image = os.path.join(work, name)
    r = subprocess.run([pack, "--name", name, "--input", app, "--runtime", runtime, "--output", image,
                        "--main-jar", "app.jar", "--app-version", "1.0", "--vendor", "Loftwick Tests",
                        "--description", "Checks what the packages carry"], capture_output=True)
    assert r.returncode == 0, r.stderr.decode()
    return image


def package(pack, fmt, image, output, *options):
    r = subprocess.run([pack, fmt, image, "--output", output, "--replace", *options], capture_output=True)
    return r.returncode, r.stdout.decode("utf-8", "replace") + r.stderr.decode("utf-8", "replace")


def rpm_query(rpm, *args):
    return subprocess.run(["rpm", "-qp", *args, rpm], capture_output=True).stdout.decode("utf-8", "replace")


def check_field(c, pack, fmt, image, work, marker, option, value, shown_in, name):
    """One field with one hostile value: no marker and no scriptlet, and the
    value read back unchanged, or a refusal that names the field."""
    out = os.path.join(work, "field." + fmt)
    if os.path.exists(out):
        os.remove(out)
    extra = [] if option == "--maintainer" or fmt == "rpm" else ["--maintainer", MAINTAINER]
    code, text = package(pack, fmt, image, out, *extra, option, value)
    ran = os.path.exists(marker)
    if ran:
        os.remove(marker)
    if code != 0:
        ok = code == 1 and name in text and not os.path.exists(out)
        c.check("%s %s %r: refused, naming %s" % (fmt, option, value, name), ok and not ran, text)
        return
    if fmt == "rpm":
        arrived = shown_in(out)
        scripts = rpm_query(out, "--scripts")
        c.check("%s %s %r: arrives unchanged, no scriptlet, nothing run" % (fmt, option, value),
                value in arrived and not scripts.strip() and not ran, arrived + scripts)
    else:
        arrived = shown_in(out)
        c.check("%s %s %r: arrives unchanged, nothing run" % (fmt, option, value),
                arrived == value and not ran, repr(arrived))


def unwrapped(text):
    """A description as one line: its lines joined as a reader joins them."""
    return " ".join(line[1:] if line.startswith(" ") else line for line in text.split("\n"))


def rpm_info(rpm):
    return rpm_query(rpm, "-i") + unwrapped(rpm_query(rpm, "-i")) + rpm_query(rpm, "--changelog")


def deb_field(name):
    """The field's first line, as dpkg-deb reads it."""
    return lambda deb: subprocess.run(["dpkg-deb", "-f", deb, name], capture_output=True).stdout.decode().split("\n")[0]


def deb_text(deb):
    return unwrapped(subprocess.run(["dpkg-deb", "-f", deb, "Description"], capture_output=True).stdout.decode())


def check_rpm_fields(c, pack, image, work, marker):
    fields = [("--product-name", "product name"), ("--vendor", "vendor"), ("--description", "description"),
              ("--license", "license"), ("--maintainer", "maintainer"), ("--homepage", "homepage")]
    for option, name in fields:
        for value in hostile(marker):
            if option == "--maintainer":
                value = value + " <m@example.invalid>"
            if option == "--description":
                value = value + " starts the summary"  # one word is no summary, and is replaced
            if option == "--homepage" and "\n" not in value:
                value = "https://example.invalid/" + value.replace(" ", "")
            check_field(c, pack, "rpm", image, work, marker, option, value, rpm_info, name)
    for option, name in (("--app-version", "version"), ("--release", "release"), ("--package-name", "package name"),
                         ("--category", "category")):
        for value in hostile(marker):
            check_field(c, pack, "rpm", image, work, marker, option, value, rpm_info, name)


def check_deb_fields(c, pack, image, work, marker):
    for option, field, name in (("--description", "Description", "description"),
                                ("--maintainer", "Maintainer", "maintainer"),
                                ("--homepage", "Homepage", "homepage"), ("--vendor", None, "vendor"),
                                ("--product-name", None, "product name")):
        for value in hostile(marker) + ["x\nPre-Depends: evil", " leading space"]:
            if option == "--maintainer" and "\n" not in value:
                value = value.strip() + " <m@example.invalid>"
            if option == "--description":
                value = value + " starts the summary"
            shown = deb_field(field) if field else (lambda deb, v=value: v if v in deb_text(deb) else "")
            check_field(c, pack, "deb", image, work, marker, option, value, shown, name)
    out = os.path.join(work, "library.deb")
    for value in ("libdep1\nPre-Depends: x\nX-Injected: yes", "libdep1, evil", "libdep1 (>= 1", "%(touch x)"):
        code, text = package(pack, "deb", image, out, "--maintainer", MAINTAINER, "--library-package",
                             "libdep.so.1=" + value)
        c.check("deb --library-package %r: refused, naming the option" % value,
                code == 1 and "--library-package" in text and not os.path.exists(out), text)


def check_desktop_and_mime(c, pack, image, work, marker):
    """Every text key of the desktop entry and the MIME file, parsed back."""
    values = {"--product-name": " Back\\slash; semi=equal [Desktop Entry] %f $HOME \"q\" 'a' <b> & \u00e9",
              "--description": "Not\\na break, a;b %(touch " + marker + ")"}
    out = os.path.join(work, "desktop.deb")
    code, text = package(pack, "deb", image, out, "--maintainer", MAINTAINER, "--file-type",
                         ".lwq=" + values["--product-name"], *[x for kv in values.items() for x in kv])
    extracted = os.path.join(work, "desktop-extracted")
    shutil.rmtree(extracted, ignore_errors=True)
    subprocess.run(["dpkg-deb", "-x", out, extracted], check=code == 0)
    entry = os.path.join(extracted, "usr/share/applications", os.path.basename(image).lower() + ".desktop")
    parsed = configparser.RawConfigParser(delimiters=("=",), interpolation=None)
    parsed.optionxform = str
    parsed.read(entry, encoding="utf-8")

    def unescaped(value):
        out, i = "", 0
        while i < len(value):
            if value[i] == "\\" and i + 1 < len(value):
                out += {"s": " ", "n": "\n", "t": "\t", "r": "\r", "\\": "\\"}.get(value[i + 1], value[i + 1])
                i += 2
            else:
                out += value[i]
                i += 1
        return out

    got = {k: unescaped(parsed.get("Desktop Entry", k, fallback="")) for k in ("Name", "Comment")}
    r = subprocess.run(["desktop-file-validate", entry], capture_output=True)
    c.check("the desktop entry carries every escaped character unchanged, and desktop-file-validate accepts it",
            code == 0 and got == {"Name": values["--product-name"], "Comment": values["--description"]}
            and r.returncode == 0, text + repr(got) + r.stdout.decode())
    mime = os.path.join(extracted, "usr/share/mime/packages", os.path.basename(image).lower() + ".xml")
    types = ElementTree.parse(mime).getroot() if os.path.exists(mime) else []
    comment = types[0].find("{http://www.freedesktop.org/standards/shared-mime-info}comment") if len(types) else None
    c.check("the MIME file carries the type's description unchanged (XML parser)",
            comment is not None and comment.text == values["--product-name"], mime)
    for value in ("one\ntwo", "bell\x07"):
        code, text = package(pack, "deb", image, out, "--maintainer", MAINTAINER, "--file-type", ".lwq=" + value)
        c.check("a file type's description %r: refused, naming it" % value,
                code == 1 and "description of .lwq" in text, text)


def check_file_names(c, pack, work):
    """rpm reads its file list as macro text more than once, and as glob
    patterns: the image's own names must never reach it."""
    home = os.environ["HOME"]
    names = ["%(cd;touch MARKER)", "%{!x}", "%prep", "%%", "br[a]", "c{a,b}", "sp ace", "a$HOME", "semi;colon"]
    image = make_image(pack, work, "Names", [("odd/" + n, b"x") for n in names])
    out = os.path.join(work, "names.rpm")
    code, text = package(pack, "rpm", image, out)
    listed = rpm_query(out, "-l").splitlines() if code == 0 else []
    c.check("rpm: the image's odd file names are packaged unchanged, none run",
            all("/opt/names/lib/app/odd/" + n in listed for n in names)
            and not os.path.exists(os.path.join(home, "MARKER")) and not rpm_query(out, "--scripts").strip(),
            text + "\n".join(listed[-20:]))
    deb = os.path.join(work, "names.deb")
    code, text = package(pack, "deb", image, deb, "--maintainer", MAINTAINER)
    listing = subprocess.run(["dpkg-deb", "-c", deb], capture_output=True).stdout.decode() if code == 0 else ""
    c.check("deb: the same names packaged unchanged", all("./opt/names/lib/app/odd/" + n in listing for n in names),
            text + listing[-2000:])
    with open(os.path.join(image, "lib", "app", "odd", "line\n%post"), "w") as f:
        f.write("added after packing\n")
    for fmt in ("rpm", "deb"):
        code, text = package(pack, fmt, image, os.path.join(work, "broken." + fmt), "--maintainer", MAINTAINER)
        c.check("%s: a file name with a line break is refused, naming the file" % fmt,
                code == 1 and "odd/line" in text and "control character" in text, text)


def check_elf_names(c, pack, work, marker):
    """Names read from a native library of the application: refused by name
    when no library has such a name, before any tool runs."""
    for library, versions in ((b"%(touch " + marker.encode() + b")libfoo.so.1", []),
                              (b"libfoo.so.1\n%post\ntouch " + marker.encode(), []),
                              (b"libc.so.6", [b"GLIBC_2.2.5 %{?x}"]), (b"lib, evil.so.1", [])):
        name = "Elf%d" % len(os.listdir(work))
        lib = make_elf.elf(b"libodd.so", [(library, versions)])
        image = make_image(pack, work, name, [("native/libodd.so", lib)])
        for fmt in ("rpm", "deb"):
            code, text = package(pack, fmt, image, os.path.join(work, "elf." + fmt), "--maintainer", MAINTAINER)
            c.check("%s: a library that needs %r is refused, naming the file" % (fmt, library + b" ".join(versions)),
                    code == 1 and "libodd.so" in text and "not a name" in text and not os.path.exists(marker), text)


def check_output_path(c, pack, image, work, marker):
    folder = os.path.join(work, "o%(touch " + marker + ")$(touch " + marker + ")`touch " + marker + "`\"'")
    os.makedirs(folder)
    for fmt in ("rpm", "deb"):
        out = os.path.join(folder, "n%{?x}." + fmt)
        code, text = package(pack, fmt, image, out, "--maintainer", MAINTAINER)
        c.check("%s: an output path full of macros and shell syntax is written there, nothing run" % fmt,
                code == 0 and os.path.exists(out) and not os.path.exists(marker), text)


def main(pack, work):
    work = os.path.abspath(work)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    missing = [t for t in ("dpkg-deb", "rpmbuild", "rpm", "desktop-file-validate") if not shutil.which(t)]
    if missing:
        print("SKIP: %s not installed (make deps)" % ", ".join(missing))
        return 0
    # rpm keeps a query database in $HOME.
    os.environ["HOME"] = os.path.join(work, "home")
    os.makedirs(os.environ["HOME"])
    marker = os.path.join(work, "MARKER")
    c = Checks()
    image = make_image(pack, work, "Fields")
    check_rpm_fields(c, pack, image, work, marker)
    check_deb_fields(c, pack, image, work, marker)
    check_desktop_and_mime(c, pack, image, work, marker)
    check_file_names(c, pack, work)
    check_elf_names(c, pack, work, marker)
    check_output_path(c, pack, image, work, marker)
    print("%d passed, %d failed" % (c.passed, c.failed))
    return 1 if c.failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
