#!/usr/bin/env python3
"""Converts the XWD frame buffer file Xvfb keeps (-fbdir) to a PNG, with the
standard library alone: the window tests keep screenshots of what Wine drew.
Handles the 24- and 32-bit TrueColor ZPixmap images Xvfb writes.
Usage: xwd_to_png.py IN.xwd OUT.png"""
import struct
import sys
import zlib


def read_xwd(data):
    fields = struct.unpack(">25I", data[:100])
    header_size, width, height = fields[0], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    red_mask, green_mask, blue_mask, ncolors = fields[14], fields[15], fields[16], fields[19]
    if bits_per_pixel != 32:
        raise SystemExit(f"xwd_to_png: {bits_per_pixel} bits a pixel is not handled")
    start = header_size + ncolors * 12
    order = "<" if byte_order == 0 else ">"
    shifts = [(m, (m & -m).bit_length() - 1) for m in (red_mask, green_mask, blue_mask)]
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line:start + y * bytes_per_line + width * 4]
        pixels = struct.unpack(f"{order}{width}I", line)
        row = bytearray([0])  # filter: none
        for p in pixels:
            row += bytes((p & m) >> s for m, s in shifts)
        rows.append(bytes(row))
    return width, height, b"".join(rows)


def write_png(path, width, height, raw):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b"")
    open(path, "wb").write(png)


if __name__ == "__main__":
    write_png(sys.argv[2], *read_xwd(open(sys.argv[1], "rb").read()))
