#!/usr/bin/env python3
"""Generates the images of the example demos under examples/, so every asset is our own.

Run from the repository root: python3 tools/make_example_assets.py
The output is deterministic (fixed random seed). It also copies the post-processing shader pair
from assets/shaders into every example, so the examples keep the bundled demo's look.
"""

import math
import os
import random
import shutil
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_assets import smoothstep, write_png  # noqa: E402

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
EXAMPLES = os.path.join(ROOT, "examples")
NAMES = ["buffers", "tweens", "shaders", "animation", "particles", "text", "flow", "music"]


def textures(example):
    return os.path.join(EXAMPLES, example, "assets", "textures")


def common(example):
    """The fade overlay, the grain of the post pass and the post shader pair."""
    folder = textures(example)
    write_png(os.path.join(folder, "black.png"), 4, 4, lambda x, y: (0, 0, 0, 255))
    rng = random.Random(1234)
    values = [rng.randint(0, 255) for _ in range(64 * 64)]
    write_png(os.path.join(folder, "noise.png"), 64, 64, lambda x, y: (values[y * 64 + x],) * 3 + (255,))
    shaders = os.path.join(EXAMPLES, example, "assets", "shaders")
    os.makedirs(shaders, exist_ok=True)
    for name in ("passthrough.vert", "vignette.frag"):
        shutil.copyfile(os.path.join(ROOT, "assets", "shaders", name), os.path.join(shaders, name))


def backdrop(example, top, bottom):
    """A vertical gradient 4 x 135 pixels; the scripts scale it to the whole 1920 x 1080 scene."""

    def pixel(x, y):
        t = y / 134.0
        return tuple(a + (b - a) * t for a, b in zip(top, bottom)) + (255,)

    write_png(os.path.join(textures(example), "backdrop.png"), 4, 135, pixel)


def disc(path, size, colour, softness=1.5):
    centre = size / 2 - 0.5
    radius = size / 2 - 2

    def pixel(x, y):
        d = math.hypot(x - centre, y - centre)
        shade = 1.0 - 0.35 * (y / size)
        alpha = smoothstep(radius, radius - softness, d)
        return colour[0] * shade, colour[1] * shade, colour[2] * shade, 255 * alpha

    write_png(path, size, size, pixel)


def glow(path, size, colour):
    centre = size / 2 - 0.5

    def pixel(x, y):
        d = math.hypot(x - centre, y - centre) / (size / 2)
        return colour[0], colour[1], colour[2], 255 * max(0.0, 1.0 - d) ** 1.6

    write_png(path, size, size, pixel)


def rounded_square(path, size, colour, radius=14):
    def pixel(x, y):
        cx = min(max(x, radius), size - 1 - radius)
        cy = min(max(y, radius), size - 1 - radius)
        d = math.hypot(x - cx, y - cy)
        alpha = smoothstep(radius, radius - 1.5, d)
        border = 0.75 if min(x, y, size - 1 - x, size - 1 - y) < 6 else 1.0
        return colour[0] * border, colour[1] * border, colour[2] * border, 255 * alpha

    write_png(path, size, size, pixel)


def wheel_sheet(path):
    """Eight 64 x 64 frames of a wheel whose spokes turn 11.25 degrees per frame."""
    frames, size = 8, 64
    centre = size / 2 - 0.5

    def pixel(x, y):
        frame, fx = divmod(x, size)
        dx, dy = fx - centre, y - centre
        d = math.hypot(dx, dy)
        rim = smoothstep(3.0, 1.5, abs(d - 27))
        angle = math.atan2(dy, dx) - frame * math.pi / 16
        spoke = smoothstep(2.2, 1.0, abs(math.sin(angle * 2)) * d) if d < 27 else 0.0
        hub = smoothstep(7, 5.5, d)
        a = min(1.0, rim + spoke + hub)
        return 250, 200 - 80 * hub, 90 + 120 * rim, 255 * a

    write_png(path, frames * size, size, pixel)


def blob_sheet(path):
    """Six 64 x 64 frames of a blob that squashes and stretches, for a one-shot animation."""
    frames, size = 6, 64
    centre = size / 2 - 0.5
    squash = [1.0, 0.7, 0.55, 0.8, 1.2, 1.0]

    def pixel(x, y):
        frame, fx = divmod(x, size)
        s = squash[frame]
        dx, dy = (fx - centre) * s, (y - (size - 4 - 26 / s)) / s
        d = math.hypot(dx, dy)
        alpha = smoothstep(26, 24.5, d)
        return 120, 220, 160 + 60 * (1 - s), 255 * alpha

    write_png(path, frames * size, size, pixel)


def rings(path, size):
    """Concentric coloured rings, something for a shader to bend."""
    centre = size / 2 - 0.5

    def pixel(x, y):
        d = math.hypot(x - centre, y - centre)
        band = 0.5 + 0.5 * math.cos(d * 0.35)
        a = smoothstep(size / 2 - 1, size / 2 - 3, d)
        return 60 + 190 * band, 90 + 80 * (1 - band), 200 - 120 * band, 255 * a

    write_png(path, size, size, pixel)


def song(path, bpm=120.0, bars=4, rate=22050):
    """A drum loop with a bass line, 16-bit mono WAV: a kick on every beat, a snare on beats 2
    and 4, a hi-hat on every off-beat and a bass note on every eighth, so that the bass, mid and
    treble bands and the beats all move."""
    beat = 60.0 / bpm
    length = int(bars * 4 * beat * rate)
    out = [0.0] * length
    rng = random.Random(35)

    def add(start, samples):
        first = int(round(start * rate))
        for i, value in enumerate(samples):
            if first + i < length:
                out[first + i] += value

    def kick():
        n = int(0.25 * rate)
        phase, samples = 0.0, []
        for i in range(n):
            t = i / rate
            phase += 2 * math.pi * (45 + 90 * math.exp(-t * 30)) / rate
            samples.append(0.8 * math.sin(phase) * math.exp(-t * 12))
        return samples

    def noise(seconds, decay, gain, bright):
        samples, last = [], 0.0
        for i in range(int(seconds * rate)):
            white = rng.uniform(-1, 1)
            # A first difference lifts the highs for the hi-hat.
            value = white - last if bright else white
            last = white
            samples.append(gain * value * math.exp(-i / rate * decay))
        return samples

    def bass(hertz, seconds):
        samples = []
        for i in range(int(seconds * rate)):
            t = i / rate
            saw = 2 * ((t * hertz) % 1.0) - 1
            samples.append(0.25 * saw * min(1.0, t * 200) * math.exp(-t * 6))
        return samples

    notes = [55.0, 55.0, 65.4, 55.0, 73.4, 65.4, 55.0, 49.0]
    for b in range(bars * 4):
        start = b * beat
        add(start, kick())
        if b % 2 == 1:
            add(start, noise(0.18, 18, 0.35, False))
        add(start + beat / 2, noise(0.05, 60, 0.25, True))
        for half in range(2):
            add(start + half * beat / 2, bass(notes[(2 * b + half) % len(notes)], beat / 2 * 0.9))
    peak = max(abs(v) for v in out)
    frames = b"".join(struct.pack("<h", int(round(v / peak * 0.9 * 32767))) for v in out)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", 36 + len(frames)) + b"WAVEfmt ")
        f.write(struct.pack("<IHHIIHH", 16, 1, 1, rate, rate * 2, 2, 16))
        f.write(b"data" + struct.pack("<I", len(frames)) + frames)


def main():
    for name in NAMES:
        common(name)
    backdrop("buffers", (20, 24, 48), (70, 40, 90))
    rounded_square(os.path.join(textures("buffers"), "tile.png"), 128, (240, 170, 70))
    backdrop("tweens", (14, 30, 40), (30, 70, 80))
    disc(os.path.join(textures("tweens"), "ball.png"), 64, (255, 200, 90))
    backdrop("shaders", (30, 16, 36), (12, 12, 20))
    rings(os.path.join(textures("shaders"), "rings.png"), 256)
    backdrop("animation", (60, 90, 140), (20, 30, 50))
    wheel_sheet(os.path.join(textures("animation"), "wheel.png"))
    blob_sheet(os.path.join(textures("animation"), "blob.png"))
    backdrop("particles", (6, 8, 20), (30, 20, 50))
    glow(os.path.join(textures("particles"), "spark.png"), 16, (255, 190, 90))
    glow(os.path.join(textures("particles"), "flake.png"), 12, (200, 220, 255))
    backdrop("text", (10, 12, 30), (40, 20, 40))
    glow(os.path.join(textures("text"), "spark.png"), 16, (255, 220, 140))
    backdrop("flow", (16, 20, 24), (40, 44, 52))
    rounded_square(os.path.join(textures("flow"), "cell.png"), 96, (90, 200, 255))
    backdrop("music", (8, 10, 26), (34, 12, 40))
    os.makedirs(os.path.join(EXAMPLES, "music", "assets", "music"), exist_ok=True)
    song(os.path.join(EXAMPLES, "music", "assets", "music", "groove.wav"))


if __name__ == "__main__":
    main()
