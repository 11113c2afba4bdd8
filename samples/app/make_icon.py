#!/usr/bin/env python3
"""Writes the samples' icon: one 32x32 32-bit image (a blue disc on a transparent ground) in an .ico file."""
import struct
import sys

SIZE = 32


def pixels():
    rows = []
    centre = (SIZE - 1) / 2
    for y in range(SIZE - 1, -1, -1):  # bottom-up, as bitmaps are stored
        row = b""
        for x in range(SIZE):
            inside = (x - centre) ** 2 + (y - centre) ** 2 <= (SIZE / 2 - 1) ** 2
            row += struct.pack("<BBBB", 0xD0, 0x70, 0x20, 0xFF) if inside else b"\0\0\0\0"
        rows.append(row)
    return b"".join(rows)


def main(path):
    colour = pixels()
    mask = b"\0" * (SIZE * SIZE // 8)  # AND mask: all opaque; the alpha channel does the rest
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    image = header + colour + mask
    icon = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(icon + image)


if __name__ == "__main__":
    main(sys.argv[1])
