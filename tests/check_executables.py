#!/usr/bin/python3
"""Reads shipped executables the way Windows validates them, with a PE parser
that is not our toolchain (python3-pefile) and Python's XML parser: Wine
accepts a broken manifest or version resource, Windows refuses to start it.

Usage: check_executables.py FILE:gui|console[:EXPORT] ...
Exits 1 and names every finding when anything is wrong.
"""
import re
import struct
import sys
import xml.etree.ElementTree as ET

import pefile

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
SUBSYSTEMS = {"gui": 2, "console": 3}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "shell32.dll", "msvcrt.dll", "advapi32.dll",
               "version.dll", "gdi32.dll", "ole32.dll", "comctl32.dll", "ntdll.dll",
               "crypt32.dll", "wintrust.dll"}

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V2 = "urn:schemas-microsoft-com:asm.v2"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPAT = "urn:schemas-microsoft-com:compatibility.v1"
WS2005 = "http://schemas.microsoft.com/SMI/2005/WindowsSettings"
WS2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"
WS2019 = "http://schemas.microsoft.com/SMI/2019/WindowsSettings"

SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  # Vista
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # 10 and 11
}
DPI_AWARENESS = {"unaware", "system", "permonitor", "permonitorv2"}
COMMON_CONTROLS = {"type": "win32", "name": "Microsoft.Windows.Common-Controls",
                   "version": "6.0.0.0", "publicKeyToken": "6595b64144ccf1df",
                   "language": "*"}


def q(ns, tag):
    return "{%s}%s" % (ns, tag)


def check_identity(el, problems, where):
    for attr in ("name", "type", "version", "processorArchitecture"):
        if not el.get(attr):
            problems.append("%s: assemblyIdentity lacks %s" % (where, attr))
    version = el.get("version", "")
    parts = version.split(".")
    if len(parts) != 4 or not all(p.isdigit() and int(p) <= 65535 for p in parts):
        problems.append("%s: assemblyIdentity version %r is not four numbers up to 65535"
                        % (where, version))


def check_settings(settings, problems):
    for el in settings:
        value = (el.text or "").strip()
        if el.tag == q(WS2005, "dpiAware"):
            ok = value.lower() in {"true", "false", "true/pm", "per monitor"}
        elif el.tag == q(WS2016, "dpiAwareness"):
            ok = all(v.strip().lower() in DPI_AWARENESS for v in value.split(","))
        elif el.tag == q(WS2016, "longPathAware"):
            ok = value in {"true", "false"}
        elif el.tag == q(WS2019, "activeCodePage"):
            ok = value in {"UTF-8", "Legacy"}
        else:
            problems.append("windowsSettings: unknown element %s" % el.tag)
            continue
        if not ok:
            problems.append("windowsSettings: %s has the value %r" % (el.tag, value))


def check_manifest(text, problems):
    if re.search(r"@[A-Za-z_]+@|\$\{", text):
        problems.append("manifest holds an unconfigured placeholder")
    try:
        root = ET.fromstring(text.encode("utf-8"))
    except ET.ParseError as e:
        problems.append("manifest is not well-formed XML: %s" % e)
        return
    if root.tag != q(ASM_V1, "assembly") or root.get("manifestVersion") != "1.0":
        problems.append("manifest root is not <assembly manifestVersion=\"1.0\">")
    identity = root.find(q(ASM_V1, "assemblyIdentity"))
    if identity is None:
        problems.append("manifest has no assemblyIdentity")
    else:
        check_identity(identity, problems, "manifest")
        if identity.get("processorArchitecture") != "amd64":
            problems.append("assemblyIdentity processorArchitecture is not amd64")
    for child in root:
        tag = child.tag
        if tag == q(ASM_V1, "assemblyIdentity"):
            continue
        if tag in (q(ASM_V2, "trustInfo"), q(ASM_V3, "trustInfo")):
            ns = tag[1:tag.index("}")]
            level = child.find("%s/%s/%s" % (q(ns, "security"), q(ns, "requestedPrivileges"),
                                             q(ns, "requestedExecutionLevel")))
            if level is None or level.get("level") not in {
                    "asInvoker", "highestAvailable", "requireAdministrator"} \
                    or level.get("uiAccess", "false") not in {"true", "false"}:
                problems.append("trustInfo: no valid requestedExecutionLevel")
        elif tag == q(COMPAT, "compatibility"):
            for os_el in child.iter(q(COMPAT, "supportedOS")):
                if os_el.get("Id") not in SUPPORTED_OS:
                    problems.append("supportedOS Id %r is not a Windows version" % os_el.get("Id"))
        elif tag == q(ASM_V3, "application"):
            for settings in child.findall(q(ASM_V3, "windowsSettings")):
                check_settings(settings, problems)
        elif tag == q(ASM_V1, "dependency"):
            dep = child.find("%s/%s" % (q(ASM_V1, "dependentAssembly"), q(ASM_V1, "assemblyIdentity")))
            if dep is None or any(dep.get(k) != v for k, v in COMMON_CONTROLS.items()) \
                    or dep.get("processorArchitecture") not in {"*", "amd64"}:
                problems.append("dependency is not the Common Controls 6.0 assembly")
        else:
            problems.append("manifest: unknown element %s" % tag)


def resources(pe, type_id):
    """{(id, language): bytes} of one resource type."""
    found = {}
    directory = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for t in directory.entries if directory else []:
        if t.id != type_id:
            continue
        for name in t.directory.entries:
            for lang in name.directory.entries:
                s = lang.data.struct
                found[(name.id, lang.id)] = pe.get_data(s.OffsetToData, s.Size)
    return found


def version_numbers(text):
    parts = text.split(".")
    if not 1 <= len(parts) <= 4 or not all(p.isdigit() and int(p) <= 65535 for p in parts):
        return None
    return tuple(int(p) for p in parts) + (0,) * (4 - len(parts))


def check_version(pe, problems):
    found = resources(pe, RT_VERSION)
    if not found:
        problems.append("no version information")
        return
    for data in found.values():
        # Windows reads the block as long as its first field says.
        if len(data) < 2 or struct.unpack("<H", data[:2])[0] != len(data):
            problems.append("version information of %d bytes says %d" % (len(data),
                            struct.unpack("<H", data[:2])[0] if len(data) >= 2 else 0))
    fixed = pe.VS_FIXEDFILEINFO[0]
    fixed_file = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                  fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
    fixed_product = (fixed.ProductVersionMS >> 16, fixed.ProductVersionMS & 0xFFFF,
                     fixed.ProductVersionLS >> 16, fixed.ProductVersionLS & 0xFFFF)
    tables, translations = [], []
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            tables.extend(info.StringTable)
        elif info.Key == b"VarFileInfo":
            for var in info.Var:
                value = var.entry.get(b"Translation", "")
                translations.extend(value.split(" ") if value else [])
    if len(tables) != 1:
        problems.append("version information holds %d string tables, not one" % len(tables))
        return
    table = tables[0]
    # "0x0409 0x04b0" pairs against the table's "040904B0".
    pairs = [translations[i][2:] + translations[i + 1][2:] for i in range(0, len(translations) - 1, 2)]
    if table.LangID.decode().lower() not in [p.lower() for p in pairs]:
        problems.append("translation table %s does not match string table %s"
                        % (translations, table.LangID.decode()))
    strings = {k.decode(): v.decode() for k, v in table.entries.items()}
    for key in ("CompanyName", "FileDescription", "FileVersion", "InternalName",
                "OriginalFilename", "ProductName", "ProductVersion"):
        if not strings.get(key):
            problems.append("version information lacks %s" % key)
    for key, numbers in (("FileVersion", fixed_file), ("ProductVersion", fixed_product)):
        if key in strings and version_numbers(strings[key]) != numbers:
            problems.append("%s %r differs from the fixed version %s"
                            % (key, strings[key], ".".join(map(str, numbers))))


def image_shape(data):
    """(width, height, bit count) of an icon image: a PNG or a DIB (whose
    height counts the mask too)."""
    if data[:8] == b"\x89PNG\r\n\x1a\n" and len(data) >= 24:
        width, height = struct.unpack(">II", data[16:24])
        return width, height, 32
    if len(data) >= 16:
        _, width, height, _, bits = struct.unpack("<IiiHH", data[:16])
        return width, height // 2, bits
    return None


def check_icons(pe, problems):
    """Each group entry as Windows reads it: the image it names exists, and
    its byte count, size and bit count are the image's own."""
    images = resources(pe, RT_ICON)
    for (group_id, lang), data in resources(pe, RT_GROUP_ICON).items():
        where = "icon group %s" % group_id
        if len(data) < 6 or struct.unpack("<HH", data[:4]) != (0, 1):
            problems.append("%s: not an icon group header" % where)
            continue
        count = struct.unpack("<H", data[4:6])[0]
        if len(data) != 6 + 14 * count:
            problems.append("%s: %d bytes for %d entries" % (where, len(data), count))
            continue
        for i in range(count):
            width, height, colors, _, planes, bits, size, image_id = struct.unpack(
                "<BBBBHHIH", data[6 + 14 * i:20 + 14 * i])
            image = images.get((image_id, lang))
            if image is None:
                problems.append("%s entry %d names icon %d, which is missing" % (where, i, image_id))
                continue
            if size != len(image):
                problems.append("%s entry %d says %d bytes, icon %d has %d"
                                % (where, i, size, image_id, len(image)))
            shape = image_shape(image)
            if shape != (width or 256, height or 256, bits) or planes != 1:
                problems.append("%s entry %d says %dx%d, %d planes, %d bits; icon %d is %s"
                                % (where, i, width or 256, height or 256, planes, bits, image_id, shape))


def check(path, subsystem, export):
    problems = []
    try:
        pe = pefile.PE(path)
    except (OSError, pefile.PEFormatError) as e:
        return ["cannot read: %s" % e]
    if pe.OPTIONAL_HEADER.Subsystem != SUBSYSTEMS[subsystem]:
        problems.append("subsystem %d, expected %s" % (pe.OPTIONAL_HEADER.Subsystem, subsystem))
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        if entry.dll.decode().lower() not in SYSTEM_DLLS:
            problems.append("imports %s, not a system DLL" % entry.dll.decode())
    if export:
        exports = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
        if not exports or export.encode() not in [s.name for s in exports.symbols]:
            problems.append("does not export %s" % export)
    manifests = resources(pe, RT_MANIFEST)
    if [key[0] for key in manifests] != [1]:
        problems.append("manifest resources %s, expected exactly one with ID 1"
                        % sorted(manifests))
    for data in manifests.values():
        try:
            check_manifest(data.decode("utf-8"), problems)
        except UnicodeDecodeError:
            problems.append("manifest is not UTF-8")
    check_version(pe, problems)
    check_icons(pe, problems)
    return problems


def main(argv):
    failed = 0
    for arg in argv:
        path, subsystem, *export = arg.split(":")
        problems = check(path, subsystem, export[0] if export else None)
        for p in problems:
            print("%s: %s" % (path, p))
        failed += bool(problems)
        print("%s: %s" % ("FAIL" if problems else "PASS", path))
    print("%d passed, %d failed" % (len(argv) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
