#!/usr/bin/env python3
"""Draws the launcher's icon (a box with an arrow into it) and writes it as a
Windows .ico, by default of three images: 16x16, 32x32 and 48x48.

The drawing has three colours and hard edges (every pixel fully opaque or
fully transparent), so images below 256x256 are 4-bit paletted bitmaps with
the AND mask for transparency: the same pixels as 32-bit images in a fifth
of the bytes, which every setup's launcher carries in its resources. Images
of 256x256 and more are stored as PNG files, as Windows expects them.

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


def image(n, palette):
    """A BITMAPINFOHEADER image: a 16-colour palette, 4-bit rows bottom-up,
    then the AND mask. Transparent pixels take palette entry 0 and a mask
    bit."""
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    colours += bytes(4 * (16 - len(palette)))
    stride = ((n * 4 + 31) // 32) * 4
    mask_stride = ((n + 31) // 32) * 4
    rows = []
    mask_rows = []
    for y in reversed(range(n)):
        row = bytearray(stride)
        mask = bytearray(mask_stride)
        for x in range(n):
            r, g, b, a = pixel(x, y, n)
            if a == 0:
                index = 0
                mask[x // 8] |= 0x80 >> (x % 8)
            else:
                index = palette.index((r, g, b))
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        rows.append(bytes(row))
        mask_rows.append(bytes(mask))
    return header + colours + b"".join(rows) + b"".join(mask_rows)


def palette_of(sizes):
    """Black for the transparent pixels, then every opaque colour drawn."""
    palette = [(0, 0, 0)]
    for n in sizes:
        for y in range(n):
            for x in range(n):
                r, g, b, a = pixel(x, y, n)
                if a not in (0, 255):
                    raise SystemExit("make_icon: partial transparency needs 32-bit images")
                if a == 255 and (r, g, b) not in palette:
                    palette.append((r, g, b))
    if len(palette) > 16:
        raise SystemExit("make_icon: more than 16 colours")
    return palette


def png(n):
    """A PNG file of the n x n image: RGBA rows top-down, each unfiltered."""
    rows = b"".join(b"\0" + bytes(c for x in range(n) for c in pixel(x, y, n)) for y in range(n))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b"")


def main():
    sizes = tuple(int(n) for n in sys.argv[2:]) or (16, 32, 48)
    palette = palette_of(n for n in sizes if n < 256)
    images = [png(n) if n >= 256 else image(n, palette) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        colours, bits = (0, 32) if n >= 256 else (16, 4)
        out += struct.pack("<BBBBHHII", n % 256, n % 256, colours, 0, 1, bits, len(data), offset)
        offset += len(data)
    out += b"".join(images)
    with open(sys.argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()
