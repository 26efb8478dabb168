#!/usr/bin/env python3
"""Checks one example demo through the real binary.

usage: check_example.py <kestrune binary> <example folder> check|render

check:  `kestrune --check` finds nothing: exit status 0, the summary "0 errors, 0 warnings" and no
        diagnostic line.
render: `kestrune --render` of the first second ends normally, writes its frames, the last frame is
        not black (the fade-in is over and the scene shows), and the demo printed no problem
        while it ran (no line from the player's components on standard error).
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

BINARY, EXAMPLE, MODE = os.path.abspath(sys.argv[1]), sys.argv[2], sys.argv[3]
NAME = os.path.basename(os.path.normpath(EXAMPLE))

# Lines of the player's components report problems in a demo's files or script.
COMPONENT_LINE = re.compile(
    r"^(Config\.json|config\.json|Script|ScriptInterp|GameCutscene|TextureManager|SpriteManager|ShaderManager|"
    r"MusicManager|ParticleManager|ParticleSystem|TextManager|TextSystem|AnimationCollection|Animator|"
    r"validateJson)[: ]")


def run(args):
    environment = dict(os.environ, ALSOFT_DRIVERS="null")
    result = subprocess.run([BINARY] + args, env=environment, timeout=240, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return result.returncode, result.stdout.decode("utf-8", "replace"), result.stderr.decode("utf-8", "replace")


def fail(message, out="", err=""):
    print(f"example {NAME}: {message}")
    if out:
        print("--- stdout\n" + out)
    if err:
        print("--- stderr\n" + err)
    sys.exit(1)


def check():
    code, out, err = run(["--check", EXAMPLE])
    lines = (out + err).splitlines()
    diagnostics = [line for line in lines if re.search(r": (error|warning): ", line)]
    if code != 0 or diagnostics or "0 errors, 0 warnings" not in lines:
        fail(f"--check exit {code}, {len(diagnostics)} diagnostic(s)", out, err)


def mean_brightness(path):
    """Mean of all channels from 0 to 1, measured by ImageMagick rather than by the player."""
    result = subprocess.run(["convert", path, "-colorspace", "gray", "-format", "%[fx:mean]", "info:"],
                            check=True, stdout=subprocess.PIPE)
    return float(result.stdout.decode())


def render():
    folder = tempfile.mkdtemp(prefix=f"kestrune-example-{NAME}-")
    try:
        code, out, err = run(["--render", folder, "--seconds", "1", "--fps", "30", EXAMPLE])
        if code != 0:
            fail(f"--render exit {code}", out, err)
        problems = [line for line in err.splitlines() if COMPONENT_LINE.match(line)]
        if problems:
            fail("the demo reported problems while it ran", out, "\n".join(problems))
        frames = sorted(name for name in os.listdir(folder) if name.startswith("frame_"))
        if len(frames) < 25:
            fail(f"only {len(frames)} frames for one second at 30 frames per second", out, err)
        brightness = mean_brightness(os.path.join(folder, frames[-1]))
        if brightness < 0.02:
            fail(f"the last frame is black (mean brightness {brightness:.4f})", out, err)
        print(f"example {NAME}: {len(frames)} frames, last frame mean brightness {brightness:.3f}")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


if MODE == "check":
    check()
elif MODE == "render":
    render()
else:
    fail("mode must be check or render")
print(f"example {NAME}: {MODE} passed")
