#!/usr/bin/env python3
"""Author mode through the real kestrune binary, driven by key presses on a virtual screen.

usage: author_test.py <kestrune binary> CASE
       author_test.py --list     (the cases, one a line: the table in main() is their only list)

Each test starts `kestrune --author` in a temporary copy of a demo, presses keys with xdotool
(a press is one keydown and one keyup) and waits for the state lines the program prints
("author: paused at 4.500 s (step 270)") or for the picture it shows, never for a fixed time.
"""

import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, HERE)
from run_case import Console, screenshot  # noqa: E402

STATE = re.compile(r"author: (paused|playing) at (\d+\.\d{3}) s \(step (\d+)\)(, speed (\S+))?")

# Logs a counter four times a second; the picture is a block that moves one pixel per step.
TICKS = """:tick
add_flag 0, 1
log tick %flag_0
delay 0.25
goto tick
:init
create_buffer main
create_object block, green, 0, 0
exit
:render
clear_buffer main
object_set_x block, %flag_0
draw_object main, block
display_buffer main
render_scene main
exit
"""


# Two halves: on the left the texture "wall", on the right white through the shader "tint".
HALVES = """delay 60
exit
:init
create_buffer main
create_object left, wall, 0, 0
object_set_scale_x left, 60
object_set_scale_y left, 67.5
create_object right, white, 0, 0
object_set_x right, 960
object_set_scale_x right, 60
object_set_scale_y right, 67.5
object_set_shader right, tint
exit
:render
clear_buffer main
draw_object main, left
draw_object main, right
display_buffer main
render_scene main
exit
"""
TINT = "uniform sampler2D texture;\nvoid main() { gl_FragColor = vec4(%s, 1.0); }\n"
RED, GREEN, BLUE = "1.0, 0.0, 0.0", "0.0, 1.0, 0.0", "0.0, 0.0, 1.0"


class Failure(Exception):
    pass


def solid_png(rgb, size=16):
    """A PNG of one colour, made here rather than by the program under test."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    rows = b"".join(b"\x00" + bytes(rgb) * size for _ in range(size))
    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


def save(folder, name, data):
    """Saves as editors do: a temporary file renamed over the old one, with a new time."""
    path = os.path.join(folder, name)
    staging = path + ".saving"
    with open(staging, "wb") as out:
        out.write(data.encode() if isinstance(data, str) else data)
    stamp = time.time() + 10
    os.utime(staging, (stamp, stamp))
    os.replace(staging, path)


def demo_folder(script=None):
    """A temporary copy of the bundled demo, or of the black-box base demo playing `script`."""
    folder = tempfile.mkdtemp(prefix="kestrune-author-")
    if script is None:
        shutil.copytree(os.path.join(REPO, "assets"), os.path.join(folder, "assets"))
        shutil.copy2(os.path.join(REPO, "config.json"), folder)
    else:
        shutil.copytree(os.path.join(HERE, "base"), folder, dirs_exist_ok=True)
        save(folder, "assets/demo.script", script)
    return folder


def wait_for(probe, failure, process, timeout=60):
    """Polls `probe` until it gives something true and returns that; fails with `failure()` once
    `timeout` s have passed or the program has ended."""
    deadline = time.time() + timeout
    while True:
        got = probe()
        if got:
            return got
        if process.poll() is not None or time.time() > deadline:
            raise Failure(failure())
        time.sleep(0.05)


class Session:
    """One run of kestrune --author, its console, and the keys pressed into it."""

    def __init__(self, binary, folder, args=()):
        self.folder = folder
        env = dict(os.environ, ALSOFT_DRIVERS="null")
        self.process = subprocess.Popen(["stdbuf", "-oL", "-eL", os.path.abspath(binary), "--author"] + list(args),
                                        cwd=folder, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.out, self.err = Console(self.process.stdout), Console(self.process.stderr)
        self.seen = 0  # state lines already waited for

    def press(self, key):
        subprocess.run(["xdotool", "keydown", key], check=True, timeout=10)
        subprocess.run(["xdotool", "keyup", key], check=True, timeout=10)

    def states(self):
        return [STATE.fullmatch(line) for line in self.out.snapshot() if STATE.fullmatch(line)]

    def next_state(self):
        """The next state line after those already taken: (paused, step, speed)."""
        failure = lambda: "no state line after %d; stdout:\n%s\nstderr:\n%s" % (
            self.seen, "\n".join(self.out.snapshot()[-20:]), "\n".join(self.err.snapshot()[-20:]))
        match = wait_for(lambda: self.states()[self.seen:], failure, self.process)[0]
        self.seen += 1
        return match.group(1) == "paused", int(match.group(3)), match.group(5) or "1x"

    def expect(self, key, paused, step=None):
        """Presses a key and checks the state line it prints; the step it reports."""
        self.press(key)
        got_paused, got_step, _ = self.next_state()
        if got_paused != paused or (step is not None and got_step != step):
            raise Failure("after %s: %s at step %d, expected %s at step %s" % (
                key, "paused" if got_paused else "playing", got_step, "paused" if paused else "playing", step))
        return got_step

    def wait_line(self, pattern, after=0):
        """The index of the first line of standard output from `after` on that matches `pattern`."""
        found = lambda: [i for i, line in enumerate(self.out.snapshot()) if i >= after and re.fullmatch(pattern, line)]
        return wait_for(found, lambda: "never saw /%s/ on standard output" % pattern, self.process)[0]

    def wait_errors(self, prefix, what):
        """The lines of standard error that start with `prefix`, once there is one."""
        return wait_for(lambda: [l for l in self.err.snapshot() if l.startswith(prefix)], lambda: what, self.process)

    def wait_screen(self, good, what):
        """Screenshots until `good(shot)` holds; fails with `what(last shot)` after 30 s."""
        shots = []
        wait_for(lambda: shots.append(screenshot(self.folder)) or good(shots[-1]), lambda: what(shots[-1]),
                 self.process, timeout=30)

    def quit(self):
        self.press("Escape")
        try:
            code = self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise Failure("Escape did not end author mode")
        if code != 0:
            raise Failure("author mode ended with %d" % code)
        shutil.rmtree(self.folder, ignore_errors=True)


def halves_demo():
    folder = demo_folder(HALVES)
    save(folder, "assets/shaders/tint.frag", TINT % RED)
    save(folder, "assets/textures/wall.png", solid_png((220, 30, 40)))
    with open(os.path.join(folder, "assets", "textures.json")) as catalog:
        textures = catalog.read().replace('"white":', '"wall": { "file": "assets/textures/wall.png" },\n        "white":')
    save(folder, "assets/textures.json", textures)
    save(folder, "assets/shaders.json", '{ "shaders": { "tint": { "fragment": "assets/shaders/tint.frag" } } }')
    return folder


def dominant(shot, point):
    """The channel that stands out at a pixel ("red", "green", "blue"), or None."""
    width, _, rgb = shot
    x, y = point
    pixel = rgb[(y * width + x) * 3:(y * width + x) * 3 + 3]
    best = max(range(3), key=lambda k: pixel[k])
    others = [pixel[k] for k in range(3) if k != best]
    return ("red", "green", "blue")[best] if pixel[best] > 80 and max(others) < pixel[best] // 3 else None


LEFT, RIGHT = (480, 540), (1440, 540)


def reference_frame(binary, folder, step):
    """The rgb bytes of what --render shows after `step` steps."""
    out = os.path.join(folder, "reference_%d" % step)
    run = subprocess.run([os.path.abspath(binary), "--render", out, "--start", "%.6f" % (step / 60.0), "--frames",
                          "1"], cwd=folder, env=dict(os.environ, ALSOFT_DRIVERS="null"), timeout=120,
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if run.returncode != 0:
        raise Failure("--render --start failed: %s" % run.stderr.decode())
    return subprocess.run(["convert", os.path.join(out, "frame_000001.png"), "-depth", "8", "rgb:-"], check=True,
                          stdout=subprocess.PIPE).stdout


def start(session):
    paused, step, speed = session.next_state()
    if paused or speed != "1x":
        raise Failure("author mode does not start playing at normal speed")
    return step


def paused_after_tick(binary, tick):
    """The ticking demo, started, then paused by Space once it has logged `tick`: the session and
    the step it paused at."""
    session = Session(binary, demo_folder(TICKS))
    start(session)
    session.wait_line(r"LOG: tick %d" % tick)
    return session, session.expect("space", True)


def test_pause(binary):
    """A pause holds the picture and prints nothing; . and , step exactly one step."""
    session, step = paused_after_tick(binary, 2)
    lines = len(session.out.snapshot())
    # The frame of the key press may still be on its way: take the picture once it holds still.
    first, second = None, screenshot(session.folder)[2]
    while first != second:
        first, second = second, screenshot(session.folder)[2]
    time.sleep(1.0)  # what is checked is that nothing changes in that time
    if screenshot(session.folder)[2] != first:
        raise Failure("the picture changed while paused")
    if len(session.out.snapshot()) != lines:
        raise Failure("lines were printed while paused: %s" % session.out.snapshot()[lines:])
    session.expect("period", True, step + 1)
    session.expect("period", True, step + 2)
    session.expect("comma", True, step + 1)
    session.expect("space", False, step + 1)
    session.quit()


def test_seek(binary):
    """Seeks back and forward land on the frames --render --start gives for those steps."""
    folder = demo_folder()
    session = Session(binary, folder, ["--start", "5"])
    if start(session) != 300:
        raise Failure("--start 5 does not arrive at step 300")
    session.press("F3")  # the overlay is not part of the demo's picture
    paused = session.expect("space", True)
    back, further = paused - 60, paused - 120
    expected = {step: reference_frame(binary, folder, step) for step in (back, further)}
    session.expect("Left", True, back)
    session.expect("Left", True, further)
    session.wait_screen(lambda shot: shot[2] == expected[further],
                        lambda _: "after seeking back to step %d the picture differs from --render --start" % further)
    session.expect("Right", True, back)
    session.wait_screen(lambda shot: shot[2] == expected[back],
                        lambda _: "after seeking forward to step %d the picture differs from --render --start" % back)
    session.quit()


def test_speed(binary):
    """At 8x every frame runs eight steps; the speed is part of the state line."""
    session = Session(binary, demo_folder(TICKS))
    start(session)
    paused_at = session.expect("space", True)
    for speed in ("2x", "4x", "8x"):
        session.press("bracketright")
        _, _, got = session.next_state()
        if got != speed:
            raise Failure("the speed went to %s, expected %s" % (got, speed))
    after = len(session.out.snapshot())
    session.expect("space", False, paused_at)
    session.wait_line(r"LOG: tick \d+", after)
    session.wait_line(r"LOG: tick \d+", session.wait_line(r"LOG: tick \d+", after) + 1)
    now = session.expect("space", True)
    if now <= paused_at or (now - paused_at) % 8 != 0:
        raise Failure("at 8x the demo went from step %d to %d, not by frames of eight steps" % (paused_at, now))
    session.quit()


def test_loop(binary):
    """L, a seek forward and L again make a range that playing returns from to its start."""
    session, loop_start = paused_after_tick(binary, 2)
    session.expect("l", True, loop_start)
    session.expect("Right", True, loop_start + 60)
    session.expect("l", True, loop_start + 60)
    session.expect("space", False, loop_start + 60)
    # The next state lines are the returns to the loop's start, each a seek.
    for _ in range(2):
        paused, step, _ = session.next_state()
        if paused or step != loop_start:
            raise Failure("playing the loop returned to step %d, expected %d" % (step, loop_start))
    session.quit()


def test_reload_script(binary):
    """A saved script plays on from the same step with its own values; nothing is logged again."""
    session, paused_at = paused_after_tick(binary, 12)
    ticks = max(int(line.split()[-1]) for line in session.out.snapshot() if line.startswith("LOG: tick"))
    save(session.folder, "assets/demo.script", TICKS.replace("add_flag 0, 1", "add_flag 0, 100"))
    reloaded = session.wait_line(r"author: reloaded demo\.script; paused at \d+\.\d{3} s \(step %d\)" % paused_at)
    session.expect("space", False, paused_at)
    first = session.wait_line(r"LOG: tick \d+", reloaded)
    # Not the start's tick 1 (nothing is logged again), but the new script's value at this step.
    if session.out.snapshot()[first] != "LOG: tick %d" % (100 * (ticks + 1)):
        raise Failure("after the save the next tick is %r, expected the new script's %d" % (
            session.out.snapshot()[first], 100 * (ticks + 1)))
    session.quit()


def test_reload_files(binary):
    """Shader and texture saves show at the same moment; broken saves are reported and survived."""
    session = Session(binary, halves_demo())
    start(session)

    def picture(left, right, what):
        def at(shot, point):
            return tuple(shot[2][(point[1] * shot[0] + point[0]) * 3:(point[1] * shot[0] + point[0]) * 3 + 3])
        session.wait_screen(lambda shot: (dominant(shot, LEFT), dominant(shot, RIGHT)) == (left, right),
                            lambda shot: "%s: the halves are %s %s, expected %s" % (
                                what, at(shot, LEFT), at(shot, RIGHT), (left, right)))

    picture("red", "red", "at the start")
    session.expect("space", True)
    save(session.folder, "assets/shaders/tint.frag", TINT % GREEN)
    session.wait_line(r"author: reloaded tint\.frag; paused at .*")
    picture("red", "green", "after the shader was saved green")

    # Indented with spaces, which the compiler's own columns do not count.
    save(session.folder, "assets/shaders/tint.frag", "void main()\n{\n    gl_FragColor = glowz;\n}\n")
    errors = session.wait_errors("assets/shaders/tint.frag:", "the broken shader was not reported")
    if errors != ["assets/shaders/tint.frag:3:20: error: `glowz' undeclared"]:
        raise Failure("the broken shader gave %s, expected its one error at the token" % errors)
    picture("red", "green", "after a broken save")
    step = session.states()[-1].group(3)
    session.expect("period", True, int(step) + 1)  # it runs on

    save(session.folder, "assets/shaders/tint.frag", TINT % BLUE)
    session.wait_line(r"author: reloaded tint\.frag; paused at .*")
    picture("red", "blue", "after the shader was fixed")

    save(session.folder, "assets/textures/wall.png", solid_png((30, 200, 60)))
    session.wait_line(r"author: reloaded wall\.png; paused at .*")
    picture("green", "blue", "after the texture was saved")

    lines = len(session.out.snapshot())
    save(session.folder, "assets/textures.json", '{ "textures": { "wall": ')
    errors = session.wait_errors("assets/textures.json:", "the catalog's syntax error was not reported")
    if not re.fullmatch(r"assets/textures\.json:1:\d+: error: JSON syntax error: .*", errors[0]):
        raise Failure("the catalog's syntax error reads %r" % errors[0])
    session.expect("period", True, int(step) + 2)
    picture("green", "blue", "after a catalog that does not parse")
    if any(line.startswith("author: reloaded") for line in session.out.snapshot()[lines:]):
        raise Failure("a catalog that does not parse was loaded")
    session.quit()


PROBLEM_COLOUR = lambda p: p[0] > 200 and 140 < p[1] < 225 and p[2] < 170 and p[0] - p[2] > 60
STATUS_COLOUR = lambda p: min(p) > 200


def count_pixels(shot, box, matches):
    """How many pixels inside box = (x0, y0, x1, y1) match."""
    width, _, rgb = shot
    x0, y0, x1, y1 = box
    return sum(1 for y in range(y0, y1, 2) for x in range(x0, x1, 2)
               if matches(rgb[(y * width + x) * 3:(y * width + x) * 3 + 3]))


PANEL_BOX, STATUS_BOX = (0, 880, 1100, 1080), (0, 0, 700, 260)


def held_back(session, step, what):
    """The demo did not reload and still plays the old script: . steps on from `step`."""
    session.expect("period", True, step + 1)
    if any(line.startswith("author: reloaded") for line in session.out.snapshot()):
        raise Failure("%s was loaded" % what)


def test_script_errors(binary):
    """A script saved with an error is said as --check says it and held back; a warning is not."""
    session, step = paused_after_tick(binary, 2)
    save(session.folder, "assets/demo.script", TICKS.replace("add_flag 0, 1", "add_flagg 0, 1"))
    errors = session.wait_errors("assets/demo.script:", "the script's error was not reported")
    if len(errors) != 1 or not re.fullmatch(r"assets/demo\.script:2: error: .*add_flagg.*", errors[0]):
        raise Failure("the broken script gave %s, expected one error at line 2" % errors)
    session.wait_screen(lambda shot: count_pixels(shot, PANEL_BOX, PROBLEM_COLOUR) > 20,
                        lambda _: "the script's error is not on screen")
    held_back(session, step, "a script with an error")
    save(session.folder, "assets/demo.script", TICKS.replace("delay 0.25", "delay 0.25s"))
    session.wait_line(r"author: reloaded demo\.script; paused at \d+\.\d{3} s \(step %d\)" % (step + 1))
    warnings = [l for l in session.err.snapshot() if " warning: " in l]
    if not any(re.fullmatch(r"assets/demo\.script:4: warning: .*0\.25s.*", l) for l in warnings):
        raise Failure("the script's warning was not said: %s" % warnings)
    session.quit()


def test_empty_script(binary):
    """An empty save keeps the author's place; the next good save returns there."""
    session, step = paused_after_tick(binary, 2)
    save(session.folder, "assets/demo.script", "")
    errors = session.wait_errors("assets/demo.script", "the empty script was not reported")
    if errors != ["assets/demo.script: error: the script is empty; the last good version plays on until it is "
                  "saved again"]:
        raise Failure("the empty script gave %s" % errors)
    held_back(session, step, "an empty script")
    save(session.folder, "assets/demo.script", TICKS.replace("add_flag 0, 1", "add_flag 0, 100"))
    session.wait_line(r"author: reloaded demo\.script; paused at \d+\.\d{3} s \(step %d\)" % (step + 1))
    # A file that disappears is said on the console as well as on screen.
    os.remove(os.path.join(session.folder, "assets/demo.script"))
    session.wait_errors("assets/demo.script: the file is gone; its last version stays in use until it is saved again",
                        "the deleted script was not said on standard error")
    session.expect("period", True, step + 2)
    session.quit()


def test_rerun_problems(binary):
    """A saved script's problems in steps already played are said once each, at their line."""
    session, step = paused_after_tick(binary, 4)
    lines = len(session.out.snapshot())
    # The checker sees the object created (after the loop, where nothing runs it); playing does not.
    save(session.folder, "assets/demo.script", TICKS.replace("delay 0.25", "object_set_x nosuch, 1\ndelay 0.25").replace(
        "goto tick\n", "goto tick\ncreate_object nosuch, green, 0, 0\n"))
    session.wait_line(r"author: reloaded demo\.script; paused at \d+\.\d{3} s \(step %d\)" % step)
    problems = [l for l in session.err.snapshot() if "nosuch" in l]
    if len(problems) != 1 or not problems[0].startswith("assets/demo.script:4: "):
        raise Failure("the re-run's problem was said as %s, expected once at line 4" % problems)
    if any(l.startswith("LOG: tick") for l in session.out.snapshot()[lines:]):
        raise Failure("the re-run printed the script's own lines again")
    session.quit()


def test_problems_stay(binary):
    """F3 hides the overlay, never the problems."""
    session = Session(binary, demo_folder(TICKS.replace("delay 0.25", "object_set_x nosuch, 1\ndelay 0.25")))
    start(session)
    session.wait_screen(lambda shot: count_pixels(shot, PANEL_BOX, PROBLEM_COLOUR) > 20 and
                        count_pixels(shot, STATUS_BOX, STATUS_COLOUR) > 20,
                        lambda _: "the overlay and the problem are not both on screen")
    session.press("F3")
    session.wait_screen(lambda shot: count_pixels(shot, PANEL_BOX, PROBLEM_COLOUR) > 20 and
                        count_pixels(shot, STATUS_BOX, STATUS_COLOUR) == 0,
                        lambda _: "after F3 the overlay is not hidden with the problem still shown")
    session.quit()


def test_created_file(binary):
    """A file that a catalog names but that does not exist yet is used once it is created."""
    folder = halves_demo()
    os.remove(os.path.join(folder, "assets/textures/wall.png"))
    session = Session(binary, folder)
    start(session)
    session.wait_screen(lambda shot: dominant(shot, RIGHT) == "red" and dominant(shot, LEFT) is None,
                        lambda _: "the demo does not show its right half without the texture")
    session.expect("space", True)
    save(session.folder, "assets/textures/wall.png", solid_png((30, 200, 60)))
    session.wait_line(r"author: reloaded wall\.png; paused at .*")
    session.wait_screen(lambda shot: dominant(shot, LEFT) == "green",
                        lambda shot: "the created texture is not shown")
    session.quit()


def test_start_unreached(binary):
    """A start point that cannot be reached leaves the author paused where the run stopped."""
    cases = [
        ("5", "delay 1\nexit\n", 63, "kestrune: --start 5: the demo ends after 63 steps (1.05 s), before the "
                                     "start point"),
        ("later", "delay 3700\n:later\nexit\n", 216000, 'kestrune: --start later: the main flow does not reach '
                                                         'label "later" in the first hour'),
    ]
    for point, script, step, reason in cases:
        session = Session(binary, demo_folder(script + ":init\nexit\n:render\nexit\n"), ["--start", point])
        paused, got, _ = session.next_state()
        if not paused or got != step:
            raise Failure("--start %s: %s at step %d, expected paused at %d" % (
                point, "paused" if paused else "playing", got, step))
        errors = session.wait_errors("kestrune:", "--start %s: no reason on standard error" % point)
        if errors != [reason]:
            raise Failure("--start %s: standard error says %s" % (point, errors))
        session.wait_screen(lambda shot: count_pixels(shot, PANEL_BOX, PROBLEM_COLOUR) > 20,
                            lambda _: "--start %s: the reason is not on screen" % point)
        session.quit()


# The timeline along the window's bottom (TimelineStrip): the track runs from x = INSET to
# x = width - INSET over the steps 0 .. span, where the span is the demo's end once it is known.
STRIP_HEIGHT, STRIP_INSET = 96, 32
STRIP_Y = 1080 - STRIP_HEIGHT // 2
ABOVE_STRIP = (300, 1080 - STRIP_HEIGHT)  # rows below the overlay's status and above the strip
LOOP = re.compile(r"author: loop \d+\.\d{3} s to \d+\.\d{3} s \(steps (\d+) to (\d+)\)")


def strip_step(x, span, width=1920):
    """The step under the pointer at x: round((x - INSET) * span / track), clamped; halves up."""
    track = width - 2 * STRIP_INSET
    along = min(max(x - STRIP_INSET, 0), track)
    return (along * span + track // 2) // track


def mouse(*actions):
    subprocess.run(["xdotool"] + [str(a) for a in actions], check=True, timeout=10)


def ended_session(binary):
    """The bundled demo, started past its end: it opens paused at its last step, so that the strip
    spans exactly the demo's steps. The session and that step."""
    folder = demo_folder()
    session = Session(binary, folder, ["--start", "100"])
    paused, end, _ = session.next_state()
    if not paused:
        raise Failure("--start past the end does not open paused")
    return session, end


def rows(shot, band):
    width = shot[0]
    return shot[2][band[0] * width * 3:band[1] * width * 3]


def test_strip_click(binary):
    """A click on the strip lands on the step under the pointer, on --render --start's frame."""
    session, end = ended_session(binary)
    for x in (STRIP_INSET + 1856 * 2 // 5, 5):  # a point along it, and left of the track: step 0
        expected = strip_step(x, end)
        mouse("mousemove", x, STRIP_Y, "click", 1)
        paused, step, _ = session.next_state()
        if not paused or step != expected:
            raise Failure("a click at x = %d landed %s at step %d, expected paused at %d (span %d)" % (
                x, "paused" if paused else "playing", step, expected, end))
        reference = reference_frame(binary, session.folder, expected)
        session.wait_screen(lambda shot: rows(shot, ABOVE_STRIP) == reference[ABOVE_STRIP[0] * 1920 * 3:
                                                                               ABOVE_STRIP[1] * 1920 * 3],
                            lambda _: "after a click at step %d the picture above the strip differs from "
                                      "--render --start" % expected)
    session.quit()


def test_strip_drag(binary):
    """A drag scrubs; it ends on the step under the pointer's last position, said once at the end."""
    session, end = ended_session(binary)
    path = [1500, 1300, 700, 400, 900, 1111]
    mouse("mousemove", path[0], STRIP_Y, "mousedown", 1)
    for x in path[1:]:
        mouse("mousemove", x, STRIP_Y)
    mouse("mouseup", 1)
    expected = strip_step(path[-1], end)
    paused, step, _ = session.next_state()
    if not paused or step != expected:
        raise Failure("the drag's first state line is %s at step %d, expected paused at %d (the last position)" % (
            "paused" if paused else "playing", step, expected))
    # Nothing more follows: the drag is said once, when it ends.
    session.expect("period", True, expected + 1)
    session.quit()


def told(session, after):
    """The author: lines of standard output from `after` on, but the state lines."""
    return [l for l in session.out.snapshot()[after:] if l.startswith("author: ") and not STATE.fullmatch(l)]


def test_label_keys(binary):
    """P and N seek to the previous and next label of the main flow, where --timeline says the
    main flow first arrives there; with none before or after, they stay."""
    session, end = ended_session(binary)
    timeline = subprocess.run([binary, "--timeline", "--json"], cwd=session.folder, capture_output=True,
                              text=True, timeout=120, env=dict(os.environ, ALSOFT_DRIVERS="null"))
    arrivals = [entry["step"] for entry in json.loads(timeline.stdout)["labels"]]
    if len(arrivals) != 1 or not 0 < arrivals[0] < end:
        raise Failure("the bundled demo's --timeline is not one label before the end: %s" % timeline.stdout)
    orbit = arrivals[0]
    session.expect("p", True, orbit)
    session.expect("Home", True, 0)
    # No label before: P stays and says so in one line; the step key that follows is the next state.
    lines = len(session.out.snapshot())
    session.press("p")
    session.expect("period", True, 1)
    said = told(session, lines)
    if said != ["author: no label of the main flow before 0.000 s (step 0)"]:
        raise Failure("P with no label before said %s" % said)
    session.expect("n", True, orbit)
    lines = len(session.out.snapshot())
    session.press("n")
    session.expect("period", True, orbit + 1)
    said = told(session, lines)
    if said != ["author: no label of the main flow after %.3f s (step %d)" % (orbit / 60.0, orbit)]:
        raise Failure("N with no label after said %s" % said)
    session.quit()


def test_strip_loop(binary):
    """A Shift drag sets the loop (in order, whichever way it went) without seeking; playing loops."""
    session, end = ended_session(binary)
    start_x, end_x = 1000, 900  # dragged leftwards
    mouse("mousemove", start_x, STRIP_Y)
    mouse("keydown", "shift")
    mouse("mousedown", 1)
    for x in (980, 940, end_x):
        mouse("mousemove", x, STRIP_Y)
    mouse("mouseup", 1)
    mouse("keyup", "shift")
    first, last = strip_step(end_x, end), strip_step(start_x, end)
    said = session.wait_line(LOOP.pattern)
    got = tuple(int(g) for g in LOOP.fullmatch(session.out.snapshot()[said]).groups())
    if got != (first, last):
        raise Failure("the Shift drag set the loop %s, expected %s" % (got, (first, last)))
    paused, step, _ = session.next_state()
    if not paused or step != end:
        raise Failure("the Shift drag moved the demo to step %d" % step)
    # Into the range, then play: playing its end returns to its start.
    middle = (start_x + end_x) // 2
    mouse("mousemove", middle, STRIP_Y, "click", 1)
    _, at, _ = session.next_state()
    if at != strip_step(middle, end):
        raise Failure("the click into the loop landed at step %d" % at)
    session.expect("space", False, at)
    paused, step, _ = session.next_state()
    if paused or step != first:
        raise Failure("playing the loop returned to step %d, expected %d" % (step, first))
    session.quit()


def wait_said(session, pattern, errs, lines, what):
    """Waits for a line of standard error from `errs` on that matches `pattern`; fails at once when
    a reload is said instead (standard output from `lines` on)."""
    def said():
        if any(l.startswith("author: reloaded") for l in session.out.snapshot()[lines:]):
            raise Failure("%s was loaded: %s" % (what, [l for l in session.out.snapshot()[lines:]
                                                        if l.startswith("author: reloaded")] +
                                                       session.err.snapshot()[errs:][-3:]))
        return [l for l in session.err.snapshot()[errs:] if re.fullmatch(pattern, l)]
    return wait_for(said, lambda: "%s: never said /%s/; standard error: %s" % (
        what, pattern, session.err.snapshot()[errs:][-5:]), session.process)


# A saved image, song or font that does not load (made from the good file's bytes), and what
# --check says of it: the catalog that names it, at the entry's file key.
STAR_SAID = r'assets/textures\.json:\d+:\d+: error: texture "star": file "assets/textures/star\.png" cannot be ' \
            r'loaded as an image'
BROKEN_ASSETS = [
    ("assets/textures/star.png", lambda good: b"not a png", STAR_SAID),
    ("assets/textures/star.png", lambda good: good[:200], STAR_SAID),
    ("assets/textures/star.png", lambda good: b"", STAR_SAID),
    ("assets/music/arpeggio.wav", lambda good: b"not a wav", r"assets/music\.json:\d+:\d+: error: .*arpeggio\.wav.*"),
    ("assets/fonts/DejaVuSans.ttf", lambda good: b"not a font", r"assets/text\.json:\d+:\d+: error: .*DejaVuSans\.ttf.*"),
]


def test_broken_assets(binary):
    """A saved image, song or font that does not load is said as --check says it and held back;
    saved good again, it reloads."""
    folder = demo_folder()
    session = Session(binary, folder, ["--start", "5"])
    start(session)
    step = session.expect("space", True)
    for name, broken, said in BROKEN_ASSETS:
        with open(os.path.join(folder, name), "rb") as good_file:
            good = good_file.read()
        junk = broken(good)
        lines, errs = len(session.out.snapshot()), len(session.err.snapshot())
        save(folder, name, junk)
        wait_said(session, said, errs, lines, "%s saved as %d bytes" % (name, len(junk)))
        step += 1
        session.expect("period", True, step)  # held back: it steps on, and nothing was reloaded
        if any(l.startswith("author: reloaded") for l in session.out.snapshot()[lines:]):
            raise Failure("%s saved as %d bytes was loaded" % (name, len(junk)))
        save(folder, name, good)
        session.wait_line(r"author: reloaded %s; paused at \d+\.\d{3} s \(step %d\)" % (
            re.escape(os.path.basename(name)), step), lines)
    session.quit()


def test_config_save(binary):
    """A config.json that does not parse or has a key of the wrong type is held back with one line;
    a good one reloads at the same step."""
    session, step = paused_after_tick(binary, 2)
    for text, said in (('{ "music": tru', r"config\.json:1:\d+: error: JSON syntax error: .*"),
                       ('{ "music": "yes" }', r'config\.json:1:\d+: error: .*"music".*')):
        lines, errs = len(session.out.snapshot()), len(session.err.snapshot())
        save(session.folder, "config.json", text)
        wait_said(session, said, errs, lines, "config.json saved as %r" % text)
        step += 1
        session.expect("period", True, step)
        told = [l for l in session.err.snapshot()[errs:] if "config.json" in l.lower()]
        if len(told) != 1:
            raise Failure("config.json saved as %r was said in %d lines: %s" % (text, len(told), told))
    save(session.folder, "config.json", '{ "title": "Kestrune black-box case", "music": false }')
    session.wait_line(r"author: reloaded config\.json; paused at \d+\.\d{3} s \(step %d\)" % step)
    session.expect("period", True, step + 1)
    session.quit()


LABEL_SAID = re.compile(r"author: label :(\S+) (?:at \d+\.\d{3} s \(step (\d+)\)|not reached), line (\d+)")
# The chosen line of the label list, drawn in its own colour (light blue text).
CHOICE_COLOUR = lambda p: p[2] > 200 and 150 < p[1] < p[2] and p[0] < 170
LIST_BOX = (660, 0, 1560, 1080)


def label_said(session, key, after):
    """Presses `key`, then `.`: the label line said in between, as (name, step or None, line)."""
    session.press(key)
    session.expect("period", True)
    found = [LABEL_SAID.fullmatch(l) for l in session.out.snapshot()[after:] if LABEL_SAID.fullmatch(l)]
    if not found:
        raise Failure("%s said no label line: %s" % (key, [l for l in session.out.snapshot()[after:]
                                                           if l.startswith("author: ")]))
    match = found[-1]
    return match.group(1), int(match.group(2)) if match.group(2) else None, int(match.group(3))


def many_labels(count):
    """A script of `count` labels of the main flow, one every 0.1 s, and the file line of each."""
    lines, at = [], {}
    for k in range(count):
        lines.append(":l%d" % k)
        at["l%d" % k] = len(lines)
        lines += ["add_flag 0, 1", "delay 0.1"]
    lines += ["exit"] + TICKS[TICKS.index(":init"):].splitlines()
    return "\n".join(lines) + "\n", at


def test_label_list(binary):
    """G's list names each label's own line and says the choice on the console; with many labels
    it scrolls so that the choice stays on screen, and Enter goes there."""
    folder = demo_folder()
    session = Session(binary, folder)
    start(session)
    session.expect("space", True)
    with open(os.path.join(folder, "assets/demo.script")) as script:
        orbit_line = [n for n, l in enumerate(script.read().splitlines(), 1) if l.strip() == ":orbit"][0]
    name, step, line = label_said(session, "g", len(session.out.snapshot()))
    if (name, line) != ("orbit", orbit_line):
        raise Failure("G says :%s at line %d, expected :orbit at line %d (grep -n)" % (name, line, orbit_line))
    session.quit()
    for count in (80, 443):
        script, at = many_labels(count)
        session = Session(binary, demo_folder(script))
        start(session)
        session.expect("space", True)
        session.press("F3")  # the overlay's status plate stays out of the way
        first = label_said(session, "g", len(session.out.snapshot()))
        if first[0] != "l0" or first[2] != at["l0"]:
            raise Failure("%d labels: G chose %s first, expected :l0 at line %d" % (count, first, at["l0"]))
        last = label_said(session, "Up", len(session.out.snapshot()))
        expected = "l%d" % (count - 1)
        if last[0] != expected or last[2] != at[expected] or last[1] is None:
            raise Failure("%d labels: Up from the first chose %s, expected :%s at line %d" % (
                count, last, expected, at[expected]))
        session.wait_screen(lambda shot: count_pixels(shot, LIST_BOX, CHOICE_COLOUR) > 20,
                            lambda _: "%d labels: the chosen label :%s is not on screen" % (count, expected))
        session.press("Return")
        _, landed, _ = session.next_state()
        if landed != last[1]:
            raise Failure("%d labels: Enter on :%s landed at step %d, expected %d" % (count, expected, landed,
                                                                                     last[1]))
        session.quit()


def run_named(kind, tests):
    """Runs the test named on the command line (after the binary) and says PASS or FAIL; with
    --list, names the tests one a line (tests/CMakeLists.txt makes a ctest case of each)."""
    if sys.argv[1:] == ["--list"]:
        print("\n".join(sorted(tests)))
        return 0
    if len(sys.argv) != 3 or sys.argv[2] not in tests:
        print("usage: %s <kestrune binary> %s | --list" % (os.path.basename(sys.argv[0]), "|".join(sorted(tests))))
        return 2
    binary, test = sys.argv[1], sys.argv[2]
    try:
        tests[test](binary)
    except Failure as failure:
        print("FAIL %s %s: %s" % (kind, test, failure))
        return 1
    print("PASS %s %s" % (kind, test))
    return 0


def main():
    return run_named("author", {
        "pause": test_pause, "seek": test_seek, "speed": test_speed, "loop": test_loop,
        "reload_script": test_reload_script, "reload_files": test_reload_files,
        "script_errors": test_script_errors, "empty_script": test_empty_script,
        "problems_stay": test_problems_stay, "created_file": test_created_file,
        "start_unreached": test_start_unreached, "rerun_problems": test_rerun_problems,
        "strip_click": test_strip_click, "strip_drag": test_strip_drag, "strip_loop": test_strip_loop,
        "label_keys": test_label_keys, "broken_assets": test_broken_assets, "config_save": test_config_save,
        "label_list": test_label_list})


if __name__ == "__main__":
    sys.exit(main())
