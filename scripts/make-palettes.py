#!/usr/bin/python3
"""Writes the bundled palettes, assets/palettes/NAME.pal, as JASC palette
files of 256 colours, from the colour maps of Debian's python3-matplotlib
(scripts/install-deps.sh does not install it: it is needed only to make
these files again). Run from the repository root:

    apt-get install python3-matplotlib && scripts/make-palettes.py
"""
import os

from matplotlib import colormaps

NAMES = ["viridis", "magma", "inferno", "plasma", "cividis", "twilight", "turbo", "hsv"]

os.makedirs("assets/palettes", exist_ok=True)
for name in NAMES:
    cmap = colormaps[name].resampled(256)
    lines = ["JASC-PAL", "0100", "256"]
    for i in range(256):
        r, g, b, _ = cmap(i)
        lines.append(" ".join(str(int(round(c * 255))) for c in (r, g, b)))
    with open(f"assets/palettes/{name}.pal", "w", newline="") as out:
        out.write("\r\n".join(lines) + "\r\n")
    print(f"assets/palettes/{name}.pal")
