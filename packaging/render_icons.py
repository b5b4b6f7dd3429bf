#!/usr/bin/env python3
"""Draws the program's icon at the sizes of the hicolor theme, from the window's own drawing.

Usage: render_icons.py FOLDER
Writes FOLDER/SIZExSIZE/apps/brisquel.png for each size, 32-bit with transparency. The
output is the same byte for byte on every run.
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "ui", "assets"))
import make_assets  # noqa: E402

SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def main():
    folder = sys.argv[1]
    drawing = make_assets.icon_pixels()
    for size in SIZES:
        rows = [b"".join(bytes(pixel) for pixel in row) for row in make_assets.scaled_icon(drawing, size)]
        target = os.path.join(folder, f"{size}x{size}", "apps")
        os.makedirs(target, exist_ok=True)
        with open(os.path.join(target, "brisquel.png"), "wb") as f:
            f.write(make_assets.png(size, size, 6, rows))


if __name__ == "__main__":
    main()
