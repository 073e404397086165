#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets, from the tests' own
fixtures: jars as the checks see them, manifests, class files and module
descriptors, ELF libraries (make_elf.py), configuration files, icons
(make_icon.py) and a small launcher-like executable.

  make_corpus.py CORPUS_DIR [TINY_EXE]

The seeds are committed; run it again only to change them. TINY_EXE is a
small PE with an icon, built by MinGW-w64:
  x86_64-w64-mingw32-gcc -nostdlib -Wl,--entry=start -s -o tiny.exe tiny.c tiny.res
"""
import io
import os
import struct
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, ".."))
import make_elf  # noqa: E402
import make_icon  # noqa: E402

MANIFEST = b"Manifest-Version: 1.0\r\nMain-Class: app.Main\r\nClass-Path: lib/util.jar my%20lib.jar\r\n\r\n"
CLASS = b"\xca\xfe\xba\xbe\x00\x00\x00\x3d"


def module_info(name, main=None):
    """A module-info.class declaring `name`, with a ModuleMainClass when given."""
    pool = []

    def utf8(text):
        pool.append(b"\x01" + struct.pack(">H", len(text)) + text)
        return len(pool)

    def ref(tag, index):
        pool.append(bytes([tag]) + struct.pack(">H", index))
        return len(pool)

    this = ref(7, utf8(b"module-info"))
    module_attr = utf8(b"Module")
    module = ref(19, utf8(name))
    attributes = [struct.pack(">HI", module_attr, 16) + struct.pack(">HHH", module, 0, 0) + bytes(10)]
    if main:
        main_attr = utf8(b"ModuleMainClass")
        attributes.append(struct.pack(">HIH", main_attr, 2, ref(7, utf8(main))))
    body = struct.pack(">IHHH", 0xCAFEBABE, 0, 53, len(pool) + 1) + b"".join(pool)
    body += struct.pack(">HHHHHH", 0x8000, this, 0, 0, 0, 0) + struct.pack(">H", len(attributes))
    return body + b"".join(attributes)


def jar(entries, compression=zipfile.ZIP_STORED, comment=b""):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", compression) as z:
        z.comment = comment
        for name, data in entries:
            z.writestr(name, data)
    return out.getvalue()


def jimage(packages, big_endian=False):
    """A runtime's module container holding only /packages/NAME resources
    ({package: [(module, is_empty)]})."""
    order = ">" if big_endian else "<"
    strings = bytearray(b"\0")

    def string(text):
        at = strings.find(text.encode() + b"\0")
        if at < 0 or (at > 0 and strings[at - 1] != 0):
            at = len(strings)
            strings.extend(text.encode() + b"\0")
        return at

    def attribute(kind, value):
        data = value.to_bytes(max(1, (value.bit_length() + 7) // 8), "big")
        return bytes([kind << 3 | (len(data) - 1)]) + data

    locations, offsets, resources = bytearray(), [], bytearray()
    for package, modules in packages.items():
        content = b"".join(struct.pack(order + "II", empty, string(module)) for module, empty in modules)
        offsets.append(len(locations))
        locations += (attribute(1, string("packages")) + attribute(3, string(package))
                      + attribute(5, len(resources)) + attribute(7, len(content)) + b"\0")
        resources += content
    count = len(offsets)
    header = struct.pack(order + "7I", 0xCAFEDADA, 1 << 16, 0, count, count, len(locations), len(strings))
    tables = struct.pack(order + "%di" % count, *range(count)) + struct.pack(order + "%dI" % count, *offsets)
    return header + tables + bytes(locations) + bytes(strings) + bytes(resources)


def seeds(tiny_exe):
    yield "ZipArchive/stored.jar", jar([("META-INF/MANIFEST.MF", MANIFEST), ("app/Main.class", CLASS)])
    yield "ZipArchive/deflated.jar", jar([("META-INF/MANIFEST.MF", MANIFEST), ("app/Main.class", CLASS)],
                                         zipfile.ZIP_DEFLATED)
    yield "ZipArchive/comment.jar", jar([("a/B.class", CLASS)], comment=b"PK\x05\x06 a comment")
    yield "ZipArchive/module.jar", jar([("module-info.class", module_info(b"m.main", b"p/Main"))])
    yield "ZipArchive/versions.jar", jar([("META-INF/MANIFEST.MF", b"Multi-Release: true\r\n\r\n"),
                                          ("META-INF/versions/9/a/B.class", CLASS), ("a/B.class", CLASS)])
    zip64 = io.BytesIO()
    with zipfile.ZipFile(zip64, "w", zipfile.ZIP_DEFLATED) as z:
        with z.open("META-INF/MANIFEST.MF", "w", force_zip64=True) as f:
            f.write(MANIFEST)
    yield "ZipArchive/zip64.jar", zip64.getvalue()
    yield "Manifest/crlf.mf", MANIFEST
    yield "Manifest/wrapped.mf", (b"Manifest-Version: 1.0\nMain-Class: com.example.a.very.long.package.name.t\n"
                                  b" hat.goes.on.app.Main\nClass-Path: a.jar\n  b.jar\n\nName: x\nA: b\n")
    yield "Manifest/cr.mf", b"main-class: a.B\rMULTI-RELEASE: true\rAutomatic-Module-Name: m.x\r"
    yield "ClassFile/class61.class", CLASS
    yield "ClassFile/module.class", module_info(b"m.plain")
    yield "ClassFile/module-main.class", module_info(b"m.main", b"p/Main")
    yield "Jimage/packages.jimage", jimage({"java.lang": [("java.base", 0), ("java.instrument", 1)],
                                            "java.sql": [("java.sql", 0)], "doc-files": [("java.desktop", 0)]})
    yield "Jimage/big-endian.jimage", jimage({"sun.misc": [("jdk.unsupported", 0)]}, big_endian=True)
    yield "ElfFile/libjli.so", make_elf.elf(b"libjli.so", [(b"libc.so.6", [b"GLIBC_2.2.5", b"GLIBC_2.14"]),
                                                           (b"libz.so.1", [b"ZLIB_1.2.0"]), (b"libdl.so.2", [])])
    yield "ElfFile/plain.so", make_elf.elf(b"libplain.so.1", [(b"libm.so.6", [])])
    yield "CfgFile/full.cfg", (b"[Application]\napp.classpath=$APPDIR/a.jar\napp.mainclass=hello.Main\n"
                               b"app.splash=$APPDIR/s.png\napp.runtime=$ROOTDIR/rt\napp.failurebox=false\n"
                               b"[JavaOptions]\njava-options=-Dx=$BINDIR\n[ArgOptions]\narguments=$APPDIR\n")
    yield "CfgFile/odd.cfg", (b"\xef\xbb\xbf[Application]\r\napp.mainjar=x.jar\r\n[ArgOptions]\rarguments=a\r"
                              b"; comment\n[Other]\narguments\\=x=y\narguments=\xc3\xa4\xff\n=\n")
    yield "CfgFile/modules.cfg", (b"[Application]\napp.modulepath=m1\napp.modulepath=m2\napp.mainmodule=mod/Main\n"
                                  b"[Application]\nunknown=1\n[AppCDSJavaOptions]\njava-options=-Xshare:dump\n")
    yield "IconPe/two-sizes.ico", make_icon.icon([(16, make_icon.bitmap(16, (200, 0, 0))),
                                                  (32, make_icon.png(32, (0, 0, 200)))])
    yield "IconPe/square.png", make_icon.png(48, (0, 120, 0))
    if tiny_exe:
        yield "IconPe/tiny.exe", open(tiny_exe, "rb").read()


def main(corpus, tiny_exe=None):
    for name, data in seeds(tiny_exe):
        path = os.path.join(corpus, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(*sys.argv[1:])
