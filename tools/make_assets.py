#!/usr/bin/env python3
"""Generates the bundled demo's images and music from code, so every asset is our own.

Run from the repository root: python3 tools/make_assets.py
The output is deterministic (fixed random seed), so re-running it changes nothing.
"""

import math
import os
import random
import struct
import wave
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
ASSETS = os.path.join(ROOT, "assets")


def write_png(path, width, height, pixel):
    """Writes an 8-bit RGBA PNG; pixel(x, y) returns (r, g, b, a)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # filter type: none
        for x in range(width):
            r, g, b, a = pixel(x, y)
            rows.extend((clamp8(r), clamp8(g), clamp8(b), clamp8(a)))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
    png += chunk(b"IEND", b"")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(png)


def clamp8(value):
    return max(0, min(255, int(round(value))))


def smoothstep(edge0, edge1, x):
    t = max(0.0, min(1.0, (x - edge0) / (edge1 - edge0)))
    return t * t * (3 - 2 * t)


def noise_texture():
    rng = random.Random(1234)
    values = [rng.randint(0, 255) for _ in range(256 * 256)]
    write_png(os.path.join(ASSETS, "textures", "noise.png"), 256, 256,
              lambda x, y: (values[y * 256 + x],) * 3 + (255,))


def black_texture():
    write_png(os.path.join(ASSETS, "textures", "black.png"), 4, 4, lambda x, y: (0, 0, 0, 255))


def sky_texture():
    # 480 x 270, drawn at scale 4: a night gradient with a few fixed stars.
    rng = random.Random(77)
    stars = {(rng.randrange(480), rng.randrange(200)): rng.uniform(0.4, 1.0) for _ in range(140)}

    def pixel(x, y):
        t = y / 269.0
        r, g, b = 8 + 40 * t, 10 + 22 * t, 38 + 60 * t
        glow = math.exp(-((x - 240) ** 2 + (y - 300) ** 2) / 9000.0)
        r, g, b = r + 120 * glow, g + 60 * glow, b + 70 * glow
        if (x, y) in stars:
            s = stars[(x, y)] * 255
            r, g, b = max(r, s), max(g, s), max(b, s * 0.9 + 25)
        return r, g, b, 255

    write_png(os.path.join(ASSETS, "textures", "sky.png"), 480, 270, pixel)


def planet_texture():
    size = 256
    centre = size / 2 - 0.5

    def pixel(x, y):
        dx, dy = (x - centre) / 120.0, (y - centre) / 120.0
        d = math.sqrt(dx * dx + dy * dy)
        if d > 1.0:
            return 0, 0, 0, 0
        z = math.sqrt(max(0.0, 1 - d * d))
        light = max(0.0, -0.5 * dx - 0.6 * dy + 0.62 * z)
        band = 0.5 + 0.5 * math.sin(dy * 9.0 + math.sin(dx * 3.0) * 1.5)
        r = (60 + 140 * band) * (0.25 + 0.9 * light)
        g = (90 + 60 * band) * (0.25 + 0.9 * light)
        b = (170 - 60 * band) * (0.25 + 0.9 * light)
        edge = smoothstep(1.0, 0.97, d)
        return r, g, b, 255 * edge

    write_png(os.path.join(ASSETS, "textures", "planet.png"), size, size, pixel)


def star_texture():
    size = 64
    centre = size / 2 - 0.5

    def pixel(x, y):
        dx, dy = x - centre, y - centre
        d = math.sqrt(dx * dx + dy * dy) / 30.0
        angle = math.atan2(dy, dx)
        spikes = 0.45 + 0.55 * abs(math.cos(angle * 2.5)) ** 6
        a = smoothstep(spikes, spikes * 0.55, d) + 0.6 * math.exp(-d * d * 30)
        return 255, 240, 200, 255 * min(1.0, a)

    write_png(os.path.join(ASSETS, "textures", "star.png"), size, size, pixel)


def spark_texture():
    # A soft warm dot for the ember particles: white-hot centre, orange glow.
    size = 16
    centre = size / 2 - 0.5

    def pixel(x, y):
        dx, dy = x - centre, y - centre
        d = math.sqrt(dx * dx + dy * dy) / 7.5
        a = math.exp(-d * d * 4.0) * smoothstep(1.0, 0.8, d)
        hot = math.exp(-d * d * 16.0)
        return 255, clamp8(150 + 105 * hot), clamp8(60 + 195 * hot), 255 * a

    write_png(os.path.join(ASSETS, "textures", "spark.png"), size, size, pixel)


# A 5 x 7 bitmap font for the title, just the letters it needs.
GLYPHS = {
    "K": ["X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"],
    "E": ["XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"],
    "S": [".XXXX", "X....", "X....", ".XXX.", "....X", "....X", "XXXX."],
    "T": ["XXXXX", "..X..", "..X..", "..X..", "..X..", "..X..", "..X.."],
    "R": ["XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"],
    "U": ["X...X", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."],
    "N": ["X...X", "XX..X", "X.X.X", "X..XX", "X...X", "X...X", "X...X"],
}


def title_texture():
    word = "KESTRUNE"
    cell, gap = 12, 2  # pixels per font dot, dots between letters
    width = (len(word) * (5 + gap) - gap) * cell + 16
    height = 7 * cell + 16

    def pixel(x, y):
        gx, gy = (x - 8) // cell, (y - 8) // cell
        if x < 8 or y < 8 or gy >= 7:
            return 0, 0, 0, 0
        letter, column = divmod(gx, 5 + gap)
        if letter >= len(word) or column >= 5:
            return 0, 0, 0, 0
        if GLYPHS[word[letter]][gy][column] != "X":
            return 0, 0, 0, 0
        shade = 1.0 - 0.35 * (y - 8) / (7 * cell)
        return 255 * shade, 210 * shade, 120 * shade, 255

    write_png(os.path.join(ASSETS, "textures", "title.png"), width, height, pixel)


def orb_sheet():
    # Eight 64 x 64 frames of a pulsing ring, side by side.
    frames, size = 8, 64
    centre = size / 2 - 0.5

    def pixel(x, y):
        frame, fx = divmod(x, size)
        phase = frame / frames * 2 * math.pi
        radius = 18 + 8 * math.sin(phase)
        dx, dy = fx - centre, y - centre
        d = math.sqrt(dx * dx + dy * dy)
        ring = math.exp(-((d - radius) ** 2) / 10.0)
        core = math.exp(-(d * d) / (30 + 20 * math.cos(phase)))
        a = min(1.0, ring + core)
        return 120 + 135 * ring, 200 + 55 * core, 255, 255 * a

    write_png(os.path.join(ASSETS, "textures", "orb.png"), frames * size, size, pixel)


def music():
    """About 24 seconds of a simple arpeggio over a bass line, 16-bit mono at 22050 Hz."""
    rate = 22050
    beat = 0.25
    chords = [(57, 60, 64), (53, 57, 60), (48, 52, 55), (55, 59, 62)]
    samples = []
    for bar in range(24):
        chord = chords[bar % len(chords)]
        for step in range(4):
            note = chord[step % 3] + (12 if step == 3 else 0)
            freq = 440.0 * 2 ** ((note - 69) / 12.0)
            bass = 440.0 * 2 ** ((chord[0] - 12 - 69) / 12.0)
            for i in range(int(rate * beat)):
                t = i / rate
                envelope = math.exp(-t * 7.0)
                lead = math.sin(2 * math.pi * freq * t) + 0.3 * math.sin(4 * math.pi * freq * t)
                low = math.sin(2 * math.pi * bass * (bar * 4 * beat + step * beat + t))
                samples.append(0.28 * envelope * lead + 0.18 * low)
    path = os.path.join(ASSETS, "music", "arpeggio.wav")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(b"".join(struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32000)) for s in samples))


def main():
    noise_texture()
    black_texture()
    sky_texture()
    planet_texture()
    star_texture()
    spark_texture()
    title_texture()
    orb_sheet()
    music()


if __name__ == "__main__":
    main()
