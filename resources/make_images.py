#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the program icon, the about window's icon and the about picture.

Writes app.ico (32x32 in 16 colours; 32, 48, 16 and 64 square in 256 colours), about.ico
(32x32 in 16 colours) and about.ppm, which ImageMagick turns into about.jpg:
    python3 make_images.py && convert about.ppm -quality 92 about.jpg && rm about.ppm
It also draws the desktop icons too large for the .ico, smoothed, in true colour
(icons/valdrune-music-changer-128.png and -256.png), and the same note as shapes
(icons/valdrune-music-changer.svg).
"""
import math
import struct
import zlib

VGA = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
       (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
       (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def palette256():
    colours = list(VGA)
    colours += [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    colours += [(8 + 10 * i,) * 3 for i in range(24)]
    return colours[:256]


def nearest(colour, palette):
    return min(range(len(palette)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(colour, palette[i])))


def note_icon(x, y):
    """A gold eighth note on a dark blue disc; coordinates in 0..1."""
    cx, cy = x - 0.5, y - 0.5
    if cx * cx + cy * cy > 0.25:
        return None
    if ((x - 0.42) / 0.14) ** 2 + ((y - 0.72) / 0.10) ** 2 <= 1:
        return (255, 204, 0)
    if 0.52 <= x <= 0.58 and 0.22 <= y <= 0.72:
        return (255, 204, 0)
    if 0.58 <= x <= 0.74 and 0.22 <= y <= 0.22 + 0.5 * (x - 0.58) + 0.08:
        return (255, 204, 0)
    return (0, 0, 128) if cx * cx + cy * cy < 0.2 else (0, 0, 255)


def info_icon(x, y):
    """A white letter i on a green disc."""
    cx, cy = x - 0.5, y - 0.5
    if cx * cx + cy * cy > 0.25:
        return None
    if (x - 0.5) ** 2 + (y - 0.27) ** 2 <= 0.006:
        return (255, 255, 255)
    if 0.44 <= x <= 0.56 and 0.40 <= y <= 0.80:
        return (255, 255, 255)
    return (0, 128, 0)


def dib(draw, size, bits):
    palette = VGA if bits == 4 else palette256()
    pixels = [[draw((i + 0.5) / size, (j + 0.5) / size) for i in range(size)] for j in range(size)]
    xor_rows, and_rows = [], []
    for row in reversed(pixels):
        indexes = [nearest(p, palette) if p else 0 for p in row]
        if bits == 4:
            data = bytes((indexes[i] << 4) | indexes[i + 1] for i in range(0, size, 2))
        else:
            data = bytes(indexes)
        xor_rows.append(data + b"\0" * (-len(data) % 4))
        mask = 0
        for p in row:
            mask = (mask << 1) | (0 if p else 1)
        mask_bytes = mask.to_bytes(size // 8, "big")
        and_rows.append(mask_bytes + b"\0" * (-len(mask_bytes) % 4))
    image = b"".join(xor_rows) + b"".join(and_rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, bits, 0, len(image), 0, 0,
                         len(palette), 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + table + image


def write_ico(path, draw, images):
    blobs = [dib(draw, size, bits) for size, bits in images]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for (size, bits), blob in zip(images, blobs):
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 16 if bits == 4 else 0, 0, 1,
                           bits, len(blob), offset)
        offset += len(blob)
    with open(path, "wb") as f:
        f.write(out + b"".join(blobs))


def write_picture(path, width, height):
    rows = []
    for j in range(height):
        for i in range(width):
            x, y = i / width, j / height
            colour = note_icon(x, y * width / height + 0.02)
            if colour is None:
                shade = int(200 - 80 * y)
                colour = (shade // 3, shade // 2, shade)
            rows.append(bytes(colour))
    with open(path, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (width, height) + b"".join(rows))


def write_png(path, draw, size, samples=4):
    """The icon smoothed: each pixel the average of samples x samples points."""
    rows = []
    for j in range(size):
        row = bytearray(b"\0")
        for i in range(size):
            total, covered = [0, 0, 0], 0
            for sj in range(samples):
                for si in range(samples):
                    colour = draw((i + (si + 0.5) / samples) / size, (j + (sj + 0.5) / samples) / size)
                    if colour:
                        covered += 1
                        total = [t + c for t, c in zip(total, colour)]
            alpha = 255 * covered // (samples * samples)
            row += bytes([t // covered for t in total] if covered else [0, 0, 0]) + bytes([alpha])
        rows.append(bytes(row))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))


def write_svg(path):
    """note_icon's shapes on a 100-unit square."""
    gold = "#ffcc00"
    svg = f"""<?xml version="1.0" encoding="UTF-8"?>
<!-- SPDX-License-Identifier: GPL-3.0-or-later -->
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 100 100">
  <circle cx="50" cy="50" r="50" fill="#0000ff"/>
  <circle cx="50" cy="50" r="{100 * math.sqrt(0.2):.3f}" fill="#000080"/>
  <ellipse cx="42" cy="72" rx="14" ry="10" fill="{gold}"/>
  <rect x="52" y="22" width="6" height="50" fill="{gold}"/>
  <polygon points="58,22 74,22 74,38 58,30" fill="{gold}"/>
</svg>
"""
    with open(path, "w") as f:
        f.write(svg)


if __name__ == "__main__":
    for size in (128, 256):
        write_png(f"icons/valdrune-music-changer-{size}.png", note_icon, size)
    write_svg("icons/valdrune-music-changer.svg")
    write_ico("app.ico", note_icon, [(32, 4), (32, 8), (48, 8), (16, 8), (64, 8)])
    write_ico("about.ico", info_icon, [(32, 4)])
    write_picture("about.ppm", 98, 105)
