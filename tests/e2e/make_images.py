#!/usr/bin/env python3
"""Writes the solid-colour textures the black-box cases draw with (tests/e2e/base/assets/textures)."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from make_assets import write_png  # noqa: E402

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "base", "assets", "textures")

COLOURS = {
    "red": (220, 30, 40, 255),
    "green": (30, 200, 60, 255),
    "blue": (40, 60, 230, 255),
    "white": (255, 255, 255, 255),
    "black": (0, 0, 0, 255),
}

for name, colour in COLOURS.items():
    write_png(os.path.join(OUT, name + ".png"), 16, 16, lambda x, y, c=colour: c)
# A quiet grey noise texture so the real vignette's grain has something to sample.
write_png(os.path.join(OUT, "noise.png"), 16, 16, lambda x, y: ((x * 37 + y * 91) % 256,) * 3 + (255,))
