#!/usr/bin/env python3
"""Writes the logo test pictures (standard library only) and, beside them in
DUMP_DIR, the colour values a loader must produce for each (red in the low
byte, transparency laid over white), as little-endian 32-bit words after a
width and a height."""
import math
import struct
import sys
import zlib

OUT, DUMP = sys.argv[1], sys.argv[2]


def clamp(v):
    return max(0, min(255, int(v)))


def ramp(x, y):
    # A grey-to-colour ramp, a black bar, a red disc and a thin cyan line.
    if 20 <= x < 90 and 10 <= y < 26:
        return (0, 0, 0, 255)
    if (x - 250) ** 2 + (y - 42) ** 2 <= 28 ** 2:
        return (200, 40, 40, 255)
    if abs(x - 3 * y) <= 1:
        return (0, 200, 220, 255)
    g = x * 255 // 316
    return (g, clamp(g * 0.6 + y * 1.5), 255 - g, 255)


def shapes(x, y):
    # Wider and taller than the logo; a transparent ellipse over dark pixels
    # (they must come out as paper), stripes and a diagonal colour wash.
    if ((x - 300) / 90.0) ** 2 + ((y - 50) / 35.0) ** 2 <= 1.0:
        return (10, 10, 10, 0)
    if y % 16 < 3 and x < 500:
        return (30, 30, 120, 255)
    if 520 <= x < 560 and 20 <= y < 80:
        return (255, 255, 0, 255)
    t = (x + 2 * y) % 384
    return (clamp(t * 2 / 3), clamp(255 - t / 2), clamp(128 + 100 * math.sin(x / 40.0)), 255)


def grey(x, y):
    # Plain grey levels of every value, in bands and a checker of mid greys.
    if 400 <= x < 480 and 20 <= y < 76:
        v = 96 if ((x // 4) + (y // 4)) % 2 else 160
    else:
        v = (x + 7 * (y // 12)) % 256
    return (v, v, v, 255)


def over_white(r, g, b, a):
    # Only alpha 0 and 255 are used, so every loader agrees on the result.
    assert a in (0, 255)
    return (r, g, b) if a == 255 else (255, 255, 255)


def dump(name, w, h, fn):
    with open(f"{DUMP}/{name}.pixels", "wb") as f:
        f.write(struct.pack("<ii", w, h))
        for y in range(h):
            for x in range(w):
                r, g, b = over_white(*fn(x, y))
                f.write(struct.pack("<I", r | g << 8 | b << 16))


def write_bmp(path, w, h, fn):
    stride = (w * 3 + 3) & ~3
    size = 54 + stride * h
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", size, 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, stride * h, 2835, 2835, 0, 0))
        for y in range(h - 1, -1, -1):  # bottom-up
            row = bytearray()
            for x in range(w):
                r, g, b, a = fn(x, y)
                row += bytes((b, g, r))
            row += b"\0" * (stride - 3 * w)
            f.write(row)


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, w, h, fn, colour_type):
    bpp = 1 if colour_type == 0 else 4
    raw = bytearray()
    for y in range(h):
        line = bytearray()
        for x in range(w):
            r, g, b, a = fn(x, y)
            line += bytes((r,)) if colour_type == 0 else bytes((r, g, b, a))
        raw.append(1)  # "Sub" filter: each byte less the one to its left
        raw += bytes((line[i] - (line[i - bpp] if i >= bpp else 0)) & 0xFF for i in range(len(line)))
    ihdr = struct.pack(">IIBBBBB", w, h, 8, colour_type, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", ihdr) + png_chunk(b"IDAT", zlib.compress(bytes(raw), 9)) +
                png_chunk(b"IEND", b""))


write_bmp(f"{OUT}/ramp.bmp", 317, 80, ramp)
dump("ramp", 317, 80, ramp)
write_png(f"{OUT}/shapes.png", 600, 104, shapes, 6)
dump("shapes", 600, 104, shapes)
write_png(f"{OUT}/grey.png", 576, 96, grey, 0)
dump("grey", 576, 96, grey)
