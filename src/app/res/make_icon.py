#!/usr/bin/env python3
"""Writes stenvault.ico: the blue application and tray icon, 16x16 and 32x32, 32-bit colour."""
import struct
import sys
from pathlib import Path

BLUE = (0x1E, 0x5A, 0xC8)
DARK = (0x0E, 0x30, 0x78)
LIGHT = (0xFF, 0xFF, 0xFF)


def pixel(x, y, n):
    """Colour (r, g, b, a) of one pixel: a rounded blue square holding a white vault dial."""
    c = (n - 1) / 2.0
    dx, dy = x - c, y - c
    r = n / 2.0
    corner = n * 0.2
    ax, ay = abs(dx) - (r - corner), abs(dy) - (r - corner)
    if ax > 0 and ay > 0 and (ax * ax + ay * ay) ** 0.5 > corner:
        return (0, 0, 0, 0)
    if max(abs(dx), abs(dy)) > r - max(1, n // 16):
        return DARK + (255,)
    d = (dx * dx + dy * dy) ** 0.5
    ring = n * 0.30
    if abs(d - ring) < max(0.9, n / 20.0):
        return LIGHT + (255,)
    if d < max(1.0, n / 14.0):
        return LIGHT + (255,)
    if abs(dx) < max(0.6, n / 28.0) and -ring < dy < 0:
        return LIGHT + (255,)
    return BLUE + (255,)


def image(n):
    rows = []
    for y in range(n - 1, -1, -1):  # bottom-up
        row = b""
        for x in range(n):
            r, g, b, a = pixel(x, y, n)
            row += bytes((b, g, r, a))
        rows.append(row)
    xor = b"".join(rows)
    mask_stride = ((n + 31) // 32) * 4
    mask = b""
    for y in range(n - 1, -1, -1):
        bits = 0
        for x in range(n):
            if pixel(x, y, n)[3] == 0:
                bits |= 1 << (mask_stride * 8 - 1 - x)
        mask += bits.to_bytes(mask_stride, "big")
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main(out):
    sizes = [16, 32]
    images = [image(n) for n in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    Path(out).write_bytes(data)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else str(Path(__file__).with_name("stenvault.ico")))
