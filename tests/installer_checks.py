#!/usr/bin/python3
"""The installer step, read back with tools we did not write: msitools reads
each .msi, Windows Installer (Wine's msiexec, in a fresh prefix) installs,
upgrades and removes it, and osslsigncode signs it.

  installer_checks.py WINDOWS_BUILD PACK WORK
"""
import filecmp
import glob
import os
import re
import shutil
import struct
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import pack_checks  # noqa: E402
from pack_checks import Checks, windows_path  # noqa: E402

NAME = "Hello"
PRODUCT = "Hell\u00f6 & Co"
DESCRIPTION = 'Says "hello" <loudly>'
FILE_TYPE = ".hlo"
WIX = "{http://schemas.microsoft.com/wix/2006/wi}"
DOWNGRADE = "A newer version of [ProductName] is already installed: uninstall it to install this one."
ERROR_INSTALL_FAILURE = 1603 & 0xFF  # wine passes on the low 8 bits


class Wine:
    """A fresh prefix of its own: nothing installed before."""

    def __init__(self, work):
        self.prefix = os.path.join(work, "prefix")
        shutil.rmtree(self.prefix, ignore_errors=True)
        # An empty home: nothing of the round trip may land in the user's.
        self.home = os.path.join(work, "home")
        shutil.rmtree(self.home, ignore_errors=True)
        os.makedirs(self.home)
        self.env = {**os.environ, "LC_ALL": "en_US.UTF-8", "HOME": self.home}

    def run(self, *args, env=None, timeout=120):
        return subprocess.run([pack_checks.WINE_RUN, self.prefix, *args], capture_output=True,
                              env={**self.env, **(env or {})}, timeout=timeout)

    def msiexec(self, action, msi, log):
        r = self.run("msiexec", action, windows_path(msi), "/qn", "/l*v", windows_path(log))
        with open(log, encoding="cp1252", errors="replace") as f:
            return r.returncode, f.read()

    def path(self, windows):
        """The Unix path of C:\\... in the prefix."""
        return os.path.join(self.prefix, "drive_c", *windows[3:].split("\\"))

    def user_dir(self):
        return [d for d in glob.glob(os.path.join(self.prefix, "drive_c", "users", "*"))
                if os.path.basename(d) != "Public"][0]

    def registry(self, key):
        """{subkey path: {value name: data}} below key, or None if it is missing."""
        out = os.path.join(self.prefix, "export.reg")
        if self.run("reg", "export", key, windows_path(out), "/y").returncode != 0:
            return None
        with open(out, encoding="utf-16") as f:
            text = f.read().replace("\\\n  ", "")
        result, current = {}, None
        for line in text.splitlines():
            if line.startswith("["):
                current = result.setdefault(line[1:-1], {})
            m = re.match(r'^(@|"((?:[^"\\]|\\.)*)")=(?:"((?:[^"\\]|\\.)*)"|(.*))$', line)
            if m and current is not None:
                name = "" if m.group(1) == "@" else m.group(2).replace('\\"', '"').replace("\\\\", "\\")
                value = m.group(3).replace('\\"', '"').replace("\\\\", "\\") if m.group(3) is not None \
                    else m.group(4)
                current[name] = value
        return result

    def record(self, *command, env=None, wait_for_file=False):
        """Runs the command with the stand-in runtime's record, which it returns."""
        record = os.path.join(self.prefix, "record.txt")
        if os.path.exists(record):
            os.remove(record)
        self.run(*command, env={"STANDIN_RECORD": windows_path(record), **(env or {})})
        for _ in range(300 if wait_for_file else 0):
            if os.path.exists(record) and open(record, "rb").read().endswith(b"end\n"):
                break
            time.sleep(0.1)
        if not os.path.exists(record):
            return {}
        with open(record, encoding="utf-8", errors="replace") as f:
            return dict(line.partition("=")[::2] for line in f.read().splitlines())


def make_images(work, build, pack):
    """Version 1.0 has old.txt, 1.1 drops it and adds new.txt."""
    images = {}
    base, icon, runtime = pack_checks.make_inputs(work, build)
    for version, extra in (("1.0", "old.txt"), ("1.1", "new.txt")):
        inputs = os.path.join(work, "input-" + version)
        shutil.rmtree(inputs, ignore_errors=True)
        shutil.copytree(base, inputs)
        with open(os.path.join(inputs, extra), "w") as f:
            f.write(version + "\n")
        image = os.path.join(work, "image-" + version, NAME)
        subprocess.run([pack, "--name", NAME, "--input", inputs, "--runtime", runtime, "--output", image,
                        "--main-class", "hello.Main", "--class-path", "hello.jar", "--icon", icon,
                        "--app-version", version, "--vendor", "Acme", "--product-name", PRODUCT,
                        "--description", DESCRIPTION, "--kind", "both", "--replace"],
                       check=True, capture_output=True)
        images[version] = image
    return images


def build_installer(c, pack, image, msi, *options):
    r = subprocess.run([pack, "installer", image, "--output", msi, "--replace",
                        "--file-type", FILE_TYPE + "=Hello [greeting] document", *options],
                       capture_output=True)
    c.check("loftwick-pack installer builds " + os.path.basename(msi), r.returncode == 0,
            r.stdout.decode() + r.stderr.decode())
    code = re.search(rb"Upgrade code: ([0-9A-F-]{36})", r.stdout)
    return code.group(1).decode() if code else ""


def table(msi, name):
    """The rows of a table as msiinfo exports it, as dictionaries."""
    lines = subprocess.run(["msiinfo", "export", msi, name], capture_output=True,
                           check=True).stdout.decode("utf-8").splitlines()
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def check_msi(c, msi, image, upgrade_code, per_machine):
    """msitools' reading: product, scope, and every file of the image with its size."""
    props = {row["Property"]: row["Value"] for row in table(msi, "Property")}
    c.check("msiinfo: name, version, publisher and upgrade code",
            props.get("ProductName") == PRODUCT and props.get("ProductVersion") == "1.0" and
            props.get("Manufacturer") == "Acme" and props.get("UpgradeCode") == "{%s}" % upgrade_code,
            str(props))
    suminfo = subprocess.run(["msiinfo", "suminfo", msi], capture_output=True).stdout.decode("utf-8")
    word_count = int(re.search(r"^Source: (\d+)", suminfo, re.M).group(1))
    c.check("msiinfo: install scope (%s)" % ("machine" if per_machine else "user, no elevation"),
            (props.get("ALLUSERS") == "1") == per_machine and bool(word_count & 8) != per_machine and
            "Template: x64;1033" in suminfo, suminfo + str(props))
    dirs = {row["Directory"]: row for row in table(msi, "Directory")}
    components = {row["Component"]: row for row in table(msi, "Component")}

    def dir_path(d):
        parts = []
        while dirs[d]["DefaultDir"] != "." and d != "INSTALLDIR":
            parts.insert(0, dirs[d]["DefaultDir"].split("|")[-1])
            d = dirs[d]["Directory_Parent"]
        return parts

    listed = {"/".join(dir_path(components[row["Component_"]]["Directory_"]) + [row["FileName"]]):
              int(row["FileSize"]) for row in table(msi, "File")}
    on_disk = {}
    for root, _, files in os.walk(image):
        for f in files:
            path = os.path.join(root, f)
            on_disk[os.path.relpath(path, image).replace(os.sep, "/")] = os.path.getsize(path)
    c.check("msiinfo: every file of the image, with its size (%d files)" % len(on_disk),
            listed == on_disk, "%s\n%s" % (sorted(listed.items()), sorted(on_disk.items())))
    dump = os.path.join(os.path.dirname(msi), "dump")
    os.makedirs(dump, exist_ok=True)
    r = subprocess.run(["msidump", "--streams", "-d", dump, msi], capture_output=True)
    streams = os.listdir(os.path.join(dump, "_Streams")) if r.returncode == 0 else []
    icon = os.path.join(dump, "_Streams", "Icon.AppIcon.ico")
    c.check("msidump: the files' cabinet, and the icon holding the images of the executable's icon",
            "app.cab" in streams and os.path.exists(icon) and
            icon_images(open(icon, "rb").read()) == exe_icons(os.path.join(image, NAME + ".exe")),
            str(streams) + r.stderr.decode())
    conditions = [row["Description"] for row in table(msi, "LaunchCondition")]
    c.check("msiinfo: a downgrade is refused with a message", conditions == [DOWNGRADE], str(conditions))


def icon_images(ico):
    count = struct.unpack_from("<H", ico, 4)[0]
    entries = [struct.unpack_from("<II", ico, 6 + 16 * i + 8) for i in range(count)]
    return [ico[offset:offset + size] for size, offset in entries]


def exe_icons(path):
    pe = pefile.PE(path)
    icons = [e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == 3][0]
    data = []
    for entry in sorted(icons.directory.entries, key=lambda e: e.id):
        leaf = entry.directory.entries[0].data.struct
        data.append(pe.get_data(leaf.OffsetToData, leaf.Size))
    return data


def check_source(c, build, pack, image, work):
    """The WiX source parses as XML, holds every value unchanged and is the same each time."""
    source = os.path.join(work, "source", "hello.wxs")
    texts = []
    for _ in range(2):
        subprocess.run([pack, "installer", image, "--wix-source", source, "--replace"], check=True,
                       capture_output=True)
        with open(source, "rb") as f:
            texts.append(f.read())
    product = ET.fromstring(texts[0]).find(WIX + "Product")
    package = product.find(WIX + "Package")
    sources = {e.get("Source") for e in product.iter(WIX + "File")}
    files = sum(len(f) for _, _, f in os.walk(image))
    c.check("the WiX source is XML with the values unchanged, the same each time, every file in it",
            texts[0] == texts[1] and product.get("Name") == PRODUCT and
            package.get("Description") == DESCRIPTION and len(sources) == files, texts[0].decode())
    r = pack_checks.wine(build, os.path.join(build, "bin", "loftwick-pack.exe"), "installer",
                         windows_path(image), "--wix-source", windows_path(source), "--replace")
    with open(source, "rb") as f:
        c.check("loftwick-pack.exe writes the same WiX source", r.returncode == 0 and f.read() == texts[0],
                r.stderr.decode())
    # There is no Windows wixl here: a stand-in copies the source it is given
    # to its output, from the directory it was started in.
    out = os.path.join(work, "source", "windows.msi")
    tool = [os.path.join(build, "bin", "loftwick-pack.exe"), "installer", windows_path(image),
            "--output", windows_path(out), "--replace"]
    path = {"WINEPATH": windows_path(os.path.join(build, "bin", "standin-wixl"))}
    r = pack_checks.wine(build, *tool, env=path)
    given = ET.parse(out).getroot().find(WIX + "Product") if r.returncode == 0 else None
    scratch = os.path.join(work, "source", "scratch")  # a directory beside the output
    found = [os.path.exists(os.path.normpath(os.path.join(scratch, e.get("Source"))))
             for e in given.iter(WIX + "File")] if given is not None else []
    c.check("loftwick-pack.exe starts wixl.exe with the source, its files named from where it runs",
            len(found) == files and all(found), r.stderr.decode())
    os.remove(out)
    r = pack_checks.wine(build, *tool, env={**path, "STANDIN_WIXL_WARN": "1"})
    c.check("loftwick-pack.exe fails on wixl's warning and leaves no .msi",
            r.returncode == 1 and b"warning: stand-in wixl ignored something" in r.stderr and
            not os.path.exists(out), r.stderr.decode())


def check_dollar_signs(c, pack, image, work):
    """wixl expands $(env.X) and eats lone '$': every '$' arrives, "$(" is refused."""
    dollars = os.path.join(work, "dollars", NAME)
    shutil.rmtree(os.path.dirname(dollars), ignore_errors=True)
    shutil.copytree(image, dollars)
    name = "a$b $ c$.txt"
    with open(os.path.join(dollars, "app", name), "w") as f:
        f.write("$\n")
    msi = os.path.join(work, "dollars.msi")
    product = "Cost $ 5 $$ x$"
    r = subprocess.run([pack, "installer", dollars, "--output", msi, "--product-name", product,
                        "--description", "$HOME $ 1"], capture_output=True)
    props = {row["Property"]: row["Value"] for row in table(msi, "Property")} if r.returncode == 0 else {}
    files = [row["FileName"].split("|")[-1] for row in table(msi, "File")] if r.returncode == 0 else []
    suminfo = subprocess.run(["msiinfo", "suminfo", msi], capture_output=True).stdout.decode("utf-8")
    c.check("lone '$' signs reach the .msi unchanged: product name, description, a file's name",
            props.get("ProductName") == product and name in files and "Subject: $HOME $ 1" in suminfo,
            str(props) + str(files) + suminfo + r.stderr.decode())
    secret = {**os.environ, "SECRET_TOKEN": "hunter2"}
    for what, args, place in (
            ("a product name", ["--product-name", "Tool $(env.SECRET_TOKEN)"], None),
            ("a file's name", [], os.path.join(dollars, "app", "$(env.SECRET_TOKEN).jar"))):
        if place:
            open(place, "w").close()
        if os.path.exists(msi):
            os.remove(msi)
        r = subprocess.run([pack, "installer", dollars, "--output", msi, *args], capture_output=True,
                           env=secret)
        text = (r.stdout + r.stderr).decode()
        c.check("\"$(\" in %s is refused, named, and no secret is printed or written" % what,
                r.returncode == 1 and "$(env.SECRET_TOKEN)" in text and "hunter2" not in text and
                not os.path.exists(msi), text)


def installed_entries(wine):
    keys = wine.registry("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall") or {}
    return {k: v for k, v in keys.items() if v.get("DisplayName") == PRODUCT}


def same_files(image, installed):
    mismatch = filecmp.dircmp(image, installed)
    problems = []

    def walk(d, at):
        problems.extend(os.path.join(at, f) for f in d.left_only + d.right_only + d.funny_files)
        problems.extend(os.path.join(at, f) for f in d.common_files
                        if not filecmp.cmp(os.path.join(d.left, f), os.path.join(d.right, f), shallow=False))
        for name, sub in d.subdirs.items():
            walk(sub, os.path.join(at, name))
    walk(mismatch, "")
    return problems


def check_running(c, wine, exe_windows, what, *args):
    fields = wine.record(exe_windows, *args)
    c.check(what, fields.get("argv[0]") == exe_windows and
            "-Dloftwick.app-path=" + exe_windows in fields.values(), str(fields))
    return fields


def check_per_user(c, wine, images, msis, work):
    code, log = wine.msiexec("/i", msis["1.0"], os.path.join(work, "install-1.0.log"))
    c.check("msiexec installs 1.0 silently, for the user", code == 0, log[-2000:])
    home = wine.user_dir()
    installed = os.path.join(home, "AppData", "Local", "Programs", NAME)
    exe = "C:\\users\\%s\\AppData\\Local\\Programs\\%s\\%s.exe" % (os.path.basename(home), NAME, NAME)
    problems = same_files(images["1.0"], installed)
    c.check("every installed file is byte-identical to the image's", not problems, str(problems))
    check_running(c, wine, exe, "the installed executable runs from where it was installed")
    link = os.path.join(home, "AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs",
                        PRODUCT + ".lnk")
    fields = wine.record("start", exe[:exe.index("AppData")] + link[len(home) + 1:].replace("/", "\\"),
                         wait_for_file=True)
    c.check("the Start-menu shortcut exists and starts it",
            os.path.exists(link) and fields.get("argv[0]") == exe, str(fields))
    entries = installed_entries(wine)
    entry = next(iter(entries.values()), {})
    products = wine.registry("HKCU\\Software\\Microsoft\\Installer\\Products") or {}
    icons = [v.get("ProductIcon", "") for v in products.values() if v.get("ProductName") == PRODUCT]
    icon_ok = bool(icons) and os.path.exists(wine.path(icons[0])) and icon_images(
        open(wine.path(icons[0]), "rb").read()) == exe_icons(os.path.join(images["1.0"], NAME + ".exe"))
    c.check("one Apps entry: name, version, publisher and icon", len(entries) == 1 and
            entry.get("DisplayVersion") == "1.0" and entry.get("Publisher") == "Acme" and icon_ok,
            str(entries) + str(icons))

    classes = wine.registry("HKCU\\Software\\Classes\\" + FILE_TYPE) or {}
    prog_id = classes.get("HKEY_CURRENT_USER\\Software\\Classes\\" + FILE_TYPE, {}).get("")
    types = wine.registry("HKCU\\Software\\Classes\\%s" % prog_id) if prog_id else None
    command = (types or {}).get("HKEY_CURRENT_USER\\Software\\Classes\\%s\\shell\\open\\command"
                                % prog_id, {}).get("")
    icon = (types or {}).get("HKEY_CURRENT_USER\\Software\\Classes\\%s\\DefaultIcon" % prog_id, {}).get("")
    document = "C:\\users\\Public\\my greeting" + FILE_TYPE
    ran = {}
    if command and command.startswith('"') and command.endswith(' "%1"'):
        ran = wine.record(command[1:command.index('"', 1)], document)
    c.check("the file type is registered for the user; its command opens the file",
            command == '"%s" "%%1"' % exe and icon == '"%s",0' % exe and
            types[next(iter(types))].get("") == "Hello [greeting] document" and
            ran.get("argv[argc]") == "null" and document in ran.values(), str(types) + str(ran))


def check_upgrades(c, wine, msis, work):
    home = wine.user_dir()
    installed = os.path.join(home, "AppData", "Local", "Programs", NAME)
    exe = "C:\\users\\%s\\AppData\\Local\\Programs\\%s\\%s.exe" % (os.path.basename(home), NAME, NAME)
    code, log = wine.msiexec("/i", msis["1.1"], os.path.join(work, "install-1.1.log"))
    entries = installed_entries(wine)
    c.check("1.1 replaces 1.0 in one step: one entry, version 1.1, old.txt gone, new.txt there",
            code == 0 and len(entries) == 1 and
            next(iter(entries.values())).get("DisplayVersion") == "1.1" and
            not os.path.exists(os.path.join(installed, "app", "old.txt")) and
            os.path.exists(os.path.join(installed, "app", "new.txt")), str(entries) + log[-2000:])
    # Wine's msiexec logs the failed launch condition, not its text (msiinfo
    # reads that from the table).
    code, log = wine.msiexec("/i", msis["1.0"], os.path.join(work, "downgrade.log"))
    newer = re.search(r"Found application: (\{[0-9A-F-]+\})", log)
    c.check("1.0 over 1.1 is refused: exit code 1603, the newer product found, launch conditions failed",
            code == ERROR_INSTALL_FAILURE and newer and
            "WIX_DOWNGRADE_DETECTED = " + newer.group(1) in log and
            "InstallFiles" not in log, log[-3000:])
    check_running(c, wine, exe, "1.1 still runs after the refused downgrade")
    wine.msiexec("/i", msis["1.1"], os.path.join(work, "again.log"))
    entries = installed_entries(wine)
    c.check("1.1 installed again: still one entry", len(entries) == 1, str(entries))
    check_running(c, wine, exe, "1.1 still runs after installing it again")

    code, log = wine.msiexec("/x", msis["1.1"], os.path.join(work, "uninstall.log"))
    link = os.path.join(home, "AppData", "Roaming", "Microsoft", "Windows", "Start Menu", "Programs",
                        PRODUCT + ".lnk")
    products = wine.registry("HKCU\\Software\\Microsoft\\Installer\\Products") or {}
    left = [p for p in (installed, link) if os.path.exists(p)]
    c.check("msiexec /x removes files, folder, shortcut, file type and entry", code == 0 and not left and
            wine.registry("HKCU\\Software\\Classes\\" + FILE_TYPE) is None and
            wine.registry("HKCU\\Software\\Classes\\Hello.hlo") is None and
            not installed_entries(wine) and
            not any(v.get("ProductName") == PRODUCT for v in products.values()), str(left) + log[-2000:])


def sign(c, path, out, key, cert):
    r = subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-n", PRODUCT,
                        "-in", path, "-out", out], capture_output=True)
    v = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", out], capture_output=True)
    c.check("osslsigncode signs and verifies " + os.path.basename(out),
            r.returncode == 0 and v.returncode == 0, (r.stdout + r.stderr + v.stdout + v.stderr).decode())


def check_per_machine(c, wine, pack, image, work):
    """Executables signed before the installer is made; the installer signed afterwards."""
    key, cert = os.path.join(work, "key.pem"), os.path.join(work, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                    "-out", cert, "-days", "1", "-subj", "/CN=Loftwick test signer"],
                   check=True, capture_output=True)
    signed = os.path.join(work, "signed", NAME)
    shutil.rmtree(os.path.dirname(signed), ignore_errors=True)
    shutil.copytree(image, signed)
    for exe in (NAME + ".exe", NAME + ".com"):
        os.remove(os.path.join(signed, exe))
        sign(c, os.path.join(image, exe), os.path.join(signed, exe), key, cert)
    msi = os.path.join(work, "machine.msi")
    build_installer(c, pack, signed, msi, "--scope", "machine", "--desktop-shortcut")
    sign(c, msi, os.path.join(work, "machine-signed.msi"), key, cert)
    code, log = wine.msiexec("/i", os.path.join(work, "machine-signed.msi"), os.path.join(work, "machine.log"))
    installed = wine.path("C:\\Program Files\\" + NAME)
    problems = same_files(signed, installed)
    c.check("the signed per-machine installer installs into Program Files, signed executables unchanged",
            code == 0 and not problems, str(problems) + log[-2000:])
    # Where Windows Installer resolved the folders (Wine 8 resolves them
    # for the installing user even per machine).
    folders = [re.search(r"Property\(S\): %s = (.*)\\$" % f, log, re.M) for f in
               ("ProgramMenuFolder", "DesktopFolder")]
    links = [wine.path(f.group(1) + "\\" + PRODUCT + ".lnk") for f in folders if f]
    c.check("the Start-menu and desktop shortcuts are there", len(links) == 2 and
            all(map(os.path.exists, links)), str(links))
    document = os.path.join(work, "greeting" + FILE_TYPE)
    with open(document, "w") as f:
        f.write("hello\n")
    fields = wine.record("cmd", "/c", "start", "", windows_path(document), wait_for_file=True)
    exe = "C:\\Program Files\\%s\\%s.exe" % (NAME, NAME)
    c.check("opening a %s file through the shell starts the application with its path" % FILE_TYPE,
            fields.get("argv[0]") == exe and windows_path(document) in fields.values(), str(fields))
    code, log = wine.msiexec("/x", msi, os.path.join(work, "machine-uninstall.log"))
    c.check("the per-machine product uninstalls as cleanly",
            code == 0 and not os.path.exists(installed) and not installed_entries(wine) and
            wine.registry("HKLM\\Software\\Classes\\" + FILE_TYPE) is None and
            not any(map(os.path.exists, links)),
            log[-2000:])


def main(build, pack, work):
    build = os.path.abspath(build)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    c = Checks()
    images = make_images(work, build, pack)
    msis = {v: os.path.join(work, "%s-%s.msi" % (NAME, v)) for v in images}
    codes = {v: build_installer(c, pack, images[v], msis[v]) for v in images}
    c.check("the upgrade code is the same for both versions", codes["1.0"] and codes["1.0"] == codes["1.1"],
            str(codes))
    check_msi(c, msis["1.0"], images["1.0"], codes["1.0"], per_machine=False)
    check_source(c, build, pack, images["1.0"], work)
    check_dollar_signs(c, pack, images["1.0"], work)
    wine = Wine(work)
    check_per_user(c, wine, images, msis, work)
    check_upgrades(c, wine, msis, work)
    check_per_machine(c, wine, pack, images["1.0"], work)
    subprocess.run(["wineserver", "-k"], env={**os.environ, "WINEPREFIX": wine.prefix})
    left = [os.path.relpath(os.path.join(d, f), wine.home) for d, dirs, files in os.walk(wine.home)
            for f in files + dirs]
    c.check("the round trip wrote nothing into $HOME (no menu entries, no .desktop files)", not left,
            str(left))
    print("%d passed, %d failed" % (c.passed, c.failed))
    return 1 if c.failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
