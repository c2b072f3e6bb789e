#!/usr/bin/env python3
"""Draws the launcher's icon (a box with an arrow into it) and writes it as a
Windows .ico of 32-bit images, by default 16x16, 32x32 and 48x48. Images of
256x256 and more are stored as PNG files, as Windows expects them; the
others as bitmaps.

Usage: make_icon.py OUTPUT.ico [SIZE...]
"""
import struct
import sys
import zlib


def pixel(x, y, n):
    """RGBA of the pixel at (x, y), y counted from the top, for an n x n image."""
    u, v = (x + 0.5) / n, (y + 0.5) / n
    border = 1.0 / n
    # The box: lower part of the image.
    if 0.12 <= u <= 0.88 and 0.45 <= v <= 0.9:
        edge = u < 0.12 + 1.5 * border or u > 0.88 - 1.5 * border or v > 0.9 - 1.5 * border or v < 0.45 + 1.5 * border
        return (0x2B, 0x4A, 0x7A, 255) if edge else (0xD9, 0xA4, 0x41, 255)
    # The arrow: a shaft and a head pointing down into the box.
    if 0.42 <= u <= 0.58 and 0.08 <= v <= 0.42:
        return (0x2E, 0x8B, 0x57, 255)
    if 0.28 <= v <= 0.5 and abs(u - 0.5) <= (0.5 - v) * 1.2 + 0.02 and v >= 0.3:
        return (0x2E, 0x8B, 0x57, 255)
    return (0, 0, 0, 0)


def image(n):
    """A BITMAPINFOHEADER image: BGRA rows bottom-up, then the AND mask."""
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    rows = []
    mask_rows = []
    mask_stride = ((n + 31) // 32) * 4
    for y in reversed(range(n)):
        row = bytearray()
        mask = bytearray(mask_stride)
        for x in range(n):
            r, g, b, a = pixel(x, y, n)
            row += bytes((b, g, r, a))
            if a == 0:
                mask[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(row))
        mask_rows.append(bytes(mask))
    return header + b"".join(rows) + b"".join(mask_rows)


def png(n):
    """A PNG file of the n x n image: RGBA rows top-down, each unfiltered."""
    rows = b"".join(b"\0" + bytes(c for x in range(n) for c in pixel(x, y, n)) for y in range(n))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")


def main():
    sizes = tuple(int(n) for n in sys.argv[2:]) or (16, 32, 48)
    images = [png(n) if n >= 256 else image(n) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
