#!/usr/bin/env python3
"""Draws the program's icon and the window's background picture.

Writes, next to this script:
  brisquel.png    128 x 128, 256-colour palette with transparent corners (window icon)
  brisquel.ico    the icon at 16, 32, 48 and 128 pixels, each a 32-bit BMP image with
                  its transparency (Windows shows a 256-colour PNG entry badly or not at all)
  background.png  16 x 16, 24-bit colour (drawn at the window's top-left corner)
  background.bmp  the same picture as a Windows bitmap, for the native Windows window

Standard library only: the PNG chunks are written with zlib and struct. Rerun it after
changing a drawing; the output is the same byte for byte on every run.
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

TRANSPARENT = (0, 0, 0)
FRAME = (31, 95, 160)
SHEET = (255, 255, 255)
GRID = (200, 208, 220)
HEADER = (222, 232, 245)
GREEN = (0, 192, 0)
RED = (192, 0, 0)
BLUE = (0, 0, 255)
INK = (40, 40, 40)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(width, height, colour_type, rows, extra_chunks=()):
    raw = b"".join(b"\x00" + bytes(row) for row in rows)
    header = struct.pack(">IIBBBBB", width, height, 8, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + b"".join(extra_chunks)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def inside_rounded(x, y, size, radius):
    cx = min(max(x, radius), size - 1 - radius)
    cy = min(max(y, radius), size - 1 - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def icon_pixels(size=128):
    """A report sheet on a blue tile, with three bars in the window's count colours."""
    pixels = [[TRANSPARENT] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            if inside_rounded(x, y, size, 20):
                pixels[y][x] = FRAME
    left, top, right, bottom = 22, 18, 106, 110
    for y in range(top, bottom):
        for x in range(left, right):
            colour = SHEET
            if y < top + 14:
                colour = HEADER
            if (y - top) % 14 == 0 or x in (left, left + 28, right - 1) or y == bottom - 1:
                colour = GRID
            pixels[y][x] = colour
    bars = [(34, 60, GREEN), (56, 44, RED), (78, 28, BLUE)]
    for x0, height, colour in bars:
        for y in range(bottom - 8 - height, bottom - 8):
            for x in range(x0, x0 + 16):
                pixels[y][x] = colour
    for x in range(30, 100):  # the axis under the bars
        pixels[bottom - 8][x] = INK
        pixels[bottom - 7][x] = INK
    return pixels


def draw_icon(size=128):
    """The icon as a PNG with a 256-colour palette."""
    pixels = icon_pixels(size)
    palette = sorted({c for row in pixels for c in row}, key=lambda c: c != TRANSPARENT)
    index = {c: i for i, c in enumerate(palette)}
    palette += [(0, 0, 0)] * (256 - len(palette))  # a full 256-colour table
    rows = [[index[c] for c in row] for row in pixels]
    plte = chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    trns = chunk(b"tRNS", b"\x00")  # palette entry 0 is transparent, the rest opaque
    return png(size, size, 3, rows, (plte, trns))


def background_rows(size=16):
    """A small tally sheet: grid lines and one green cell."""
    rows = []
    for y in range(size):
        row = []
        for x in range(size):
            colour = SHEET
            if x in (1, 14) or y in (1, 14) or (y - 1) % 4 == 0 or x == 6:
                colour = FRAME
            elif 2 <= x <= 5 and 6 <= y <= 8:
                colour = GREEN
            if x == 0 or y == 0 or x == 15 or y == 15:
                colour = (236, 233, 216)
            row.extend(colour)
        rows.append(row)
    return rows


def scaled_icon(pixels, size):
    """The 128-pixel drawing at a smaller size, as (red, green, blue, alpha) pixels: each
    pixel averages 4 x 4 samples, so edges stay smooth at 48 pixels as at 16 and 32."""
    source = len(pixels)
    samples = 4
    out = []
    for y in range(size):
        row = []
        for x in range(size):
            opaque = []
            for sy in range(samples):
                for sx in range(samples):
                    px = int((x + (sx + 0.5) / samples) * source / size)
                    py = int((y + (sy + 0.5) / samples) * source / size)
                    if pixels[py][px] != TRANSPARENT:
                        opaque.append(pixels[py][px])
            if not opaque:
                row.append((0, 0, 0, 0))
                continue
            mean = [round(sum(c[i] for c in opaque) / len(opaque)) for i in range(3)]
            row.append((*mean, round(255 * len(opaque) / samples ** 2)))
        out.append(row)
    return out


def bmp_icon_image(rgba):
    """One icon image: a BITMAPINFOHEADER of twice the height, the 32-bit pixels bottom
    up, then the 1-bit AND mask (set where the pixel is fully transparent)."""
    size = len(rgba)
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b"".join(bytes((b, g, r, a)) for row in reversed(rgba) for r, g, b, a in row)
    mask_row = (size + 31) // 32 * 4
    mask = b""
    for row in reversed(rgba):
        bits = bytearray(mask_row)
        for x, pixel in enumerate(row):
            if pixel[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(bits)
    return header + colour + mask


def icon_file(pixels, sizes=(16, 32, 48, 128)):
    """An icon file with one BMP image per size."""
    images = [bmp_icon_image(scaled_icon(pixels, size)) for size in sizes]
    offset = 6 + 16 * len(images)
    directory = struct.pack("<HHH", 0, 1, len(images))
    for size, image in zip(sizes, images):
        directory += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    return directory + b"".join(images)


def bmp_file(rows):
    """A 24-bit Windows bitmap file from rows of (red, green, blue) bytes."""
    height, width = len(rows), len(rows[0]) // 3
    stride = (width * 3 + 3) // 4 * 4
    body = b""
    for row in reversed(rows):
        pixels = b"".join(bytes((row[i + 2], row[i + 1], row[i])) for i in range(0, len(row), 3))
        body += pixels + b"\x00" * (stride - len(pixels))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 3780, 3780, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(info) + len(body), 0, 0, 14 + len(info)) + info + body


def main():
    background = background_rows()
    outputs = {
        "brisquel.png": draw_icon(),
        "brisquel.ico": icon_file(icon_pixels()),
        "background.png": png(16, 16, 2, background),
        "background.bmp": bmp_file(background),
    }
    for name, data in outputs.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
