#!/usr/bin/env python3
"""Draws the About picture (bitmap 102): 160 x 56 pixels, 24-bit BMP.

Two overlapping rounded squares, their union outlined, on a light ground:
what the plug-in does, at a glance. Run it again only to change the picture;
the BMP it writes is kept in the repository.
"""
import struct
import sys

W, H = 160, 56


def inside_rounded(x, y, x0, y0, x1, y1, r):
    if not (x0 <= x <= x1 and y0 <= y <= y1):
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def region(x, y):
    a = inside_rounded(x, y, 12, 8, 52, 48, 8)
    b = inside_rounded(x, y, 34, 8, 74, 48, 8)
    return a, b


def colour(x, y):
    a, b = region(x, y)
    if a or b:
        # Outline: a region pixel with a neighbour outside the union.
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            na, nb = region(x + dx, y + dy)
            if not (na or nb):
                return (0, 50, 200)
        return (130, 150, 220) if (a and b) else (170, 185, 235)
    # A band of darker grey on the right for the name, drawn as bars.
    if 86 <= x <= 150 and 22 <= y <= 34 and ((x - 86) // 4) % 3 != 2:
        return (90, 90, 90)
    return (220, 220, 220)


def main(path):
    row_bytes = (W * 3 + 3) & ~3
    pixels = bytearray()
    for y in range(H - 1, -1, -1):  # bottom-up rows
        row = bytearray()
        for x in range(W):
            r, g, b = colour(x, y)
            row += bytes((b, g, r))
        row += b"\0" * (row_bytes - len(row))
        pixels += row
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "Carvex.bmp")
