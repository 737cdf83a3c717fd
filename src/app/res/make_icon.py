#!/usr/bin/env python3
"""Writes stenvault.ico: the blue application and tray icon, 32-bit colour.

Every size is drawn on its own pixel grid (stroke widths and radii snapped to whole pixels for
that size, edges smoothed by sampling each pixel 8 x 8 times), so the small tray sizes stay crisp
instead of being a large image shrunk. The 256 px image is stored as PNG, the others as BMP.
"""
import struct
import sys
import zlib
from pathlib import Path

SIZES = [16, 20, 24, 32, 40, 48, 256]
SAMPLES = 8

BLUE = (0x1E, 0x5A, 0xC8)
DARK = (0x0E, 0x30, 0x78)
LIGHT = (0xFF, 0xFF, 0xFF)


class Design:
    """The shapes of one size, in pixels, with strokes a whole number of pixels wide."""

    def __init__(self, n):
        self.n = n
        self.c = n / 2.0
        self.corner = max(2, round(n * 0.2))
        self.border = max(1, round(n / 16))
        self.ring_width = max(1, round(n / 12))
        self.ring_outer = round(n * 0.34)
        self.ring_inner = self.ring_outer - self.ring_width
        # Even widths keep the pointer on whole pixels about the centre line.
        self.pointer = max(2, 2 * round(n / 24))
        self.hub = max(1.5, n / 10.0)

    def colour(self, x, y):
        """Colour (r, g, b) at one point, or None outside the rounded square."""
        n, r = self.n, self.corner
        ax = max(r - x, x - (n - r), 0)
        ay = max(r - y, y - (n - r), 0)
        if ax * ax + ay * ay > r * r:
            return None
        edge = min(x, y, n - x, n - y)
        if edge < self.border or (ax > 0 and ay > 0 and (ax * ax + ay * ay) ** 0.5 > r - self.border):
            return DARK
        dx, dy = x - self.c, y - self.c
        d = (dx * dx + dy * dy) ** 0.5
        if self.ring_inner <= d <= self.ring_outer or d <= self.hub:
            return LIGHT
        if abs(dx) <= self.pointer / 2.0 and -self.ring_inner <= dy <= 0:
            return LIGHT
        return BLUE


def pixels(n):
    """Rows of (r, g, b, a) top-down, each pixel averaged over its samples."""
    design = Design(n)
    rows = []
    step = 1.0 / SAMPLES
    for y in range(n):
        row = []
        for x in range(n):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    col = design.colour(x + (sx + 0.5) * step, y + (sy + 0.5) * step)
                    if col is not None:
                        acc[0] += col[0]
                        acc[1] += col[1]
                        acc[2] += col[2]
                        acc[3] += 1
            count = acc[3]
            if count == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((round(acc[0] / count), round(acc[1] / count),
                            round(acc[2] / count), round(255 * count / SAMPLES ** 2)))
        rows.append(row)
    return rows


def bmp_image(n, rows):
    xor = b"".join(bytes(c for r, g, b, a in row for c in (b, g, r, a)) for row in reversed(rows))
    mask_stride = ((n + 31) // 32) * 4
    mask = b""
    for row in reversed(rows):
        bits = 0
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits |= 1 << (mask_stride * 8 - 1 - x)
        mask += bits.to_bytes(mask_stride, "big")
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def png_image(n, rows):
    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

    raw = b"".join(b"\x00" + bytes(c for px in row for c in px) for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", n, n, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main(out):
    images = []
    for n in SIZES:
        rows = pixels(n)
        images.append(png_image(n, rows) if n >= 256 else bmp_image(n, rows))
    data = struct.pack("<HHH", 0, 1, len(SIZES))
    offset = 6 + 16 * len(SIZES)
    for n, img in zip(SIZES, images):
        data += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    Path(out).write_bytes(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else str(Path(__file__).with_name("stenvault.ico")))
