#!/usr/bin/env python3
"""Writes the window's icon (32 x 32, 32-bit): a blue chip with an upward
arrow, the tool's sign for a firmware update. Deterministic.
Usage: make_icon.py OUT.ico"""
import struct
import sys

SIZE = 32


def pixel(x, y):
    """BGRA of one pixel; y counts from the top."""
    if 4 <= x < 28 and 6 <= y < 26:
        arrow = (abs(x - 15.5) < (y - 8) * 0.9 and y < 17) or (12 <= x < 20 and 16 <= y < 23)
        return (255, 255, 255, 255) if arrow else (170, 80, 20, 255)
    if (y in (8, 12, 16, 20, 24) and (1 <= x < 4 or 28 <= x < 31)) or (
            x in (8, 12, 16, 20, 24) and (2 <= y < 6 or 26 <= y < 30)):
        return (150, 150, 150, 255)
    return (0, 0, 0, 0)


def main(out):
    rows = []
    for y in reversed(range(SIZE)):  # bottom-up
        rows.append(b"".join(struct.pack("4B", *pixel(x, y)) for x in range(SIZE)))
    xor = b"".join(rows)
    and_mask = b"\0" * (SIZE * 4)  # 32 bits a row, all opaque; alpha decides
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = header + xor + and_mask
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(out, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1) + entry + image)


if __name__ == "__main__":
    main(sys.argv[1])
