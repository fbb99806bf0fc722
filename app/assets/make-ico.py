#!/usr/bin/env python3
"""Packs square RGBA pictures into one Windows icon file.

Usage: make-ico.py OUT.ico SIZE:BITS:RAW [SIZE:BITS:RAW ...]

RAW holds SIZE x SIZE pixels as 8-bit R, G, B, A (ImageMagick's RGBA:
format). BITS is 32 (colour and alpha) or 24 (colour only; the mask marks
the pixels that are less than half opaque). Each image is stored as a
bottom-up device-independent bitmap followed by its 1-bit mask, the form
every Windows version reads. Only the Python standard library is used.
"""
import struct
import sys


def row_padding(byte_count):
    return b"\0" * (-byte_count % 4)


def encode(size, bits, rgba):
    if len(rgba) != size * size * 4:
        raise SystemExit(f"expected {size * size * 4} bytes of RGBA, got {len(rgba)}")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    mask = bytearray()
    for y in reversed(range(size)):
        row = rgba[y * size * 4:(y + 1) * size * 4]
        line = bytearray()
        mask_bits = 0
        mask_line = bytearray()
        for x in range(size):
            r, g, b, a = row[x * 4:x * 4 + 4]
            transparent = a == 0 if bits == 32 else a < 128
            if bits == 32:
                line += bytes((b, g, r, a))
            else:
                line += bytes((b, g, r))
            mask_bits = (mask_bits << 1) | (1 if transparent else 0)
            if x % 8 == 7:
                mask_line.append(mask_bits)
                mask_bits = 0
        if size % 8:
            mask_line.append(mask_bits << (8 - size % 8))
        colour += line + row_padding(len(line))
        mask += mask_line + row_padding(len(mask_line))
    return header + bytes(colour) + bytes(mask)


def main(argv):
    if len(argv) < 3:
        raise SystemExit(__doc__)
    images = []
    for spec in argv[2:]:
        size, bits, path = spec.split(":", 2)
        size, bits = int(size), int(bits)
        if bits not in (24, 32) or not 1 <= size <= 256:
            raise SystemExit(f"bad image spec {spec}")
        with open(path, "rb") as f:
            images.append((size, bits, encode(size, bits, f.read())))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, bits, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, bits, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    with open(argv[1], "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main(sys.argv)
