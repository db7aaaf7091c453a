#!/usr/bin/env python3
"""Writes gatekeel.ico (one 32 x 32 image, 16 colours) from the pixel map gatekeel_icon.txt.

Each of the 32 lines holds 32 characters: a hex digit picks one of the 16 standard
colours below, '.' is transparent. Usage: make_icon.py [MAP [ICO]]
"""
import struct
import sys
from pathlib import Path

SIZE = 32
# The standard 16-colour palette, as RGB.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]


def read_map(path):
    rows = [line.rstrip("\n") for line in Path(path).read_text().splitlines()]
    if len(rows) != SIZE or any(len(r) != SIZE for r in rows):
        sys.exit(f"{path}: need {SIZE} lines of {SIZE} characters")
    for r in rows:
        for c in r:
            if c != "." and c not in "0123456789abcdef":
                sys.exit(f"{path}: bad pixel {c!r}")
    return rows


def image_bytes(rows):
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, SIZE * SIZE // 2 + SIZE * 4, 0, 0, 16, 0)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    colour = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        indices = [0 if c == "." else int(c, 16) for c in row]
        colour += bytes((indices[i] << 4) | indices[i + 1] for i in range(0, SIZE, 2))
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if c == "." else 0)
        mask += struct.pack(">I", bits)
    return header + palette + bytes(colour) + bytes(mask)


def main():
    here = Path(__file__).resolve().parent
    source = sys.argv[1] if len(sys.argv) > 1 else here / "gatekeel_icon.txt"
    target = sys.argv[2] if len(sys.argv) > 2 else here / "gatekeel.ico"
    image = image_bytes(read_map(source))
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    Path(target).write_bytes(directory + entry + image)


if __name__ == "__main__":
    main()
