#!/usr/bin/python3
"""Writes a .ico file with 16, 32 and 48 pixel bitmaps and a 256 pixel PNG,
each a different colour, for the packing tests and the demo.
Usage: make_icon.py OUT.ico"""
import struct
import sys
import zlib


def bitmap(size, rgb):
    pixels = bytes([rgb[2], rgb[1], rgb[0], 255]) * (size * size)
    mask = bytes((size + 31) // 32 * 4 * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0,
                         len(pixels) + len(mask), 0, 0, 0, 0)
    return header + pixels + mask


def png(size, rgb):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes(rgb) * size for _ in range(size))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def icon(images):
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)


if __name__ == "__main__":
    images = [(16, bitmap(16, (200, 0, 0))), (32, bitmap(32, (0, 200, 0))),
              (48, bitmap(48, (0, 0, 200))), (256, png(256, (200, 200, 0)))]
    with open(sys.argv[1], "wb") as f:
        f.write(icon(images))
