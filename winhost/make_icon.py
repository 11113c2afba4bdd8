#!/usr/bin/env python3
"""Writes the window host's icon (16, 24, 32 and 48 pixels, 32-bit with alpha) to the file given.

The picture is drawn from shapes in unit coordinates, so every size is drawn for its own grid rather than scaled
from another: a blue program list with three rows, and a red disc with a white bar over its corner, the sign for
taking a program away. Four by four samples a pixel smooth the edges.
"""
import struct
import sys

SIZES = (16, 24, 32, 48)
SAMPLES = 4

BLUE = (0x2F, 0x6F, 0xD6)
BLUE_DARK = (0x1D, 0x4E, 0xA8)
WHITE = (0xFF, 0xFF, 0xFF)
RED = (0xD8, 0x3B, 0x3B)


def in_rounded(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(x, y):
    """The colour of the unit point (x, y), or None where the icon is clear; later shapes lie on top."""
    colour = None
    if in_rounded(x, y, 0.06, 0.10, 0.82, 0.86, 0.10):
        colour = BLUE_DARK if y < 0.26 else BLUE
        for top in (0.36, 0.50, 0.64):
            if 0.18 <= x <= 0.66 and top <= y <= top + 0.07:
                colour = WHITE
    dx, dy = x - 0.74, y - 0.74
    if dx * dx + dy * dy <= 0.25 ** 2:
        colour = WHITE
    if dx * dx + dy * dy <= 0.21 ** 2:
        colour = RED
        if abs(dy) <= 0.045 and abs(dx) <= 0.12:
            colour = WHITE
    return colour


def render(size):
    """Bottom-up BGRA rows, as an icon's bitmap stores them."""
    rows = []
    for py in reversed(range(size)):
        row = bytearray()
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) / size, (py + (sy + 0.5) / SAMPLES) / size)
                    if c:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            if a:
                row += bytes((b // a, g // a, r // a, 255 * a // (SAMPLES * SAMPLES)))
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return b"".join(rows)


def image(size):
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    mask_stride = ((size + 31) // 32) * 4
    return header + render(size) + bytes(mask_stride * size)


def main():
    images = [image(s) for s in SIZES]
    out = struct.pack("<HHH", 0, 1, len(SIZES))
    offset = 6 + 16 * len(SIZES)
    for size, data in zip(SIZES, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    main()
