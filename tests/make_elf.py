#!/usr/bin/python3
"""Writes a small x86-64 ELF shared object that names the libraries and
symbol versions it is given, byte for byte, however hostile: section
headers, .dynstr, .dynamic and .gnu.version_r, as a linker lays them out.

  make_elf.py OUT SONAME NEEDED[:VERSION[,VERSION...]]...
"""
import struct
import sys

SHT_STRTAB, SHT_DYNAMIC, SHT_GNU_VERNEED = 3, 6, 0x6FFFFFFE
DT_NEEDED, DT_SONAME = 1, 14


def elf(soname, needs):
    """needs: [(library bytes, [version bytes, ...]), ...]"""
    strings = bytearray(b"\0")

    def string(text):
        strings.extend(text + b"\0")
        return len(strings) - len(text) - 1

    dynamic = b"".join(struct.pack("<QQ", DT_NEEDED, string(lib)) for lib, _ in needs)
    dynamic += struct.pack("<QQ", DT_SONAME, string(soname)) + struct.pack("<QQ", 0, 0)
    verneed = bytearray()
    versioned = [(lib, versions) for lib, versions in needs if versions]
    for i, (lib, versions) in enumerate(versioned):
        size = 16 + 16 * len(versions)
        verneed += struct.pack("<HHIII", 1, len(versions), string(lib), 16,
                               size if i + 1 < len(versioned) else 0)
        for j, version in enumerate(versions):
            verneed += struct.pack("<IHHII", 0, 0, 2 + j, string(version), 16 if j + 1 < len(versions) else 0)
    return layout(bytes(strings), dynamic, bytes(verneed), len(versioned))


def layout(strings, dynamic, verneed, verneed_count):
    names = b"\0.dynstr\0.dynamic\0.gnu.version_r\0.shstrtab\0"
    body = bytearray(64)
    offsets = []
    for blob in (strings, dynamic, verneed, names):
        offsets.append(len(body))
        body += blob
        body += bytes(-len(body) % 8)

    def header(name, kind, index, size, link=0, info=0, align=1, entry=0):
        return struct.pack("<IIQQQQIIQQ", names.index(name), kind, 2, 0, offsets[index], size, link, info, align,
                           entry)

    sections = [bytes(64), header(b".dynstr", SHT_STRTAB, 0, len(strings)),
                header(b".dynamic", SHT_DYNAMIC, 1, len(dynamic), 1, 0, 8, 16),
                header(b".gnu.version_r", SHT_GNU_VERNEED, 2, len(verneed), 1, verneed_count, 8),
                header(b".shstrtab", SHT_STRTAB, 3, len(names))]
    header_at = len(body)
    body += b"".join(sections)
    body[0:64] = (b"\x7fELF\x02\x01\x01" + bytes(9) + struct.pack("<HHIQQQIHHHHHH", 3, 0x3E, 1, 0, 0, header_at,
                                                                  0, 64, 0, 0, 64, len(sections), len(sections) - 1))
    return bytes(body)


if __name__ == "__main__":
    out, soname, *needed = sys.argv[1:]
    needs = []
    for n in needed:
        lib, _, versions = n.partition(":")
        needs.append((lib.encode(), [v.encode() for v in versions.split(",") if v]))
    with open(out, "wb") as f:
        f.write(elf(soname.encode(), needs))
