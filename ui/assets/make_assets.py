#!/usr/bin/env python3
"""Draws the program's icon and the window's background picture.

Writes, next to this script:
  brisquel.png    128 x 128, 256-colour palette with transparent corners (window icon)
  brisquel.ico    the same PNG inside an icon file (the Windows executable's icon)
  background.png  16 x 16, 24-bit colour (drawn at the window's top-left corner)

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


def draw_icon(size=128):
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

    palette = sorted({c for row in pixels for c in row}, key=lambda c: c != TRANSPARENT)
    index = {c: i for i, c in enumerate(palette)}
    palette += [(0, 0, 0)] * (256 - len(palette))  # a full 256-colour table
    rows = [[index[c] for c in row] for row in pixels]
    plte = chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    trns = chunk(b"tRNS", b"\x00")  # palette entry 0 is transparent, the rest opaque
    return png(size, size, 3, rows, (plte, trns))


def draw_background(size=16):
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
    return png(size, size, 2, rows)


def icon_file(png_bytes, size=128):
    """An icon file holding one PNG image, as Windows Vista and later read it."""
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(png_bytes), 6 + 16)
    return header + entry + png_bytes


def main():
    icon = draw_icon()
    outputs = {
        "brisquel.png": icon,
        "brisquel.ico": icon_file(icon),
        "background.png": draw_background(),
    }
    for name, data in outputs.items():
        with open(os.path.join(HERE, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
