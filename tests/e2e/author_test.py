#!/usr/bin/env python3
"""Author mode through the real kestrune binary, driven by key presses on a virtual screen.

usage: author_test.py <kestrune binary> pause|seek|speed|loop

Each test starts `kestrune --author` in a temporary copy of a demo, presses keys with xdotool
(a press is one keydown and one keyup) and waits for the state lines the program prints
("author: paused at 4.500 s (step 270)") or for the picture it shows, never for a fixed time.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

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


class Failure(Exception):
    pass


def bundled_demo():
    folder = tempfile.mkdtemp(prefix="kestrune-author-")
    shutil.copytree(os.path.join(REPO, "assets"), os.path.join(folder, "assets"))
    shutil.copy2(os.path.join(REPO, "config.json"), folder)
    return folder


def ticking_demo():
    folder = tempfile.mkdtemp(prefix="kestrune-author-")
    shutil.copytree(os.path.join(HERE, "base"), folder, dirs_exist_ok=True)
    with open(os.path.join(folder, "assets", "demo.script"), "w") as script:
        script.write(TICKS)
    return folder


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

    def next_state(self, timeout=60):
        """The next state line after those already taken: (paused, step, speed)."""
        deadline = time.time() + timeout
        while len(self.states()) <= self.seen:
            if self.process.poll() is not None or time.time() > deadline:
                raise Failure("no state line after %d; stdout:\n%s\nstderr:\n%s" % (
                    self.seen, "\n".join(self.out.snapshot()[-20:]), "\n".join(self.err.snapshot()[-20:])))
            time.sleep(0.02)
        match = self.states()[self.seen]
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

    def wait_line(self, pattern, after=0, timeout=60):
        deadline = time.time() + timeout
        while True:
            lines = self.out.snapshot()
            for index in range(after, len(lines)):
                if re.fullmatch(pattern, lines[index]):
                    return index
            if self.process.poll() is not None or time.time() > deadline:
                raise Failure("never saw /%s/ on standard output" % pattern)
            time.sleep(0.02)

    def screen_until(self, wanted, timeout=30):
        """Screenshots until the picture equals `wanted` (rgb bytes); the last one otherwise."""
        deadline = time.time() + timeout
        while True:
            shot = screenshot(self.folder)[2]
            if shot == wanted or time.time() > deadline:
                return shot
            time.sleep(0.1)

    def quit(self):
        self.press("Escape")
        try:
            code = self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise Failure("Escape did not end author mode")
        if code != 0:
            raise Failure("author mode ended with %d" % code)


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


def test_pause(binary):
    """A pause holds the picture and prints nothing; . and , step exactly one step."""
    session = Session(binary, ticking_demo())
    start(session)
    session.wait_line(r"LOG: tick 2")
    step = session.expect("space", True)
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
    folder = bundled_demo()
    session = Session(binary, folder, ["--start", "5"])
    if start(session) != 300:
        raise Failure("--start 5 does not arrive at step 300")
    session.press("F3")  # the overlay is not part of the demo's picture
    paused = session.expect("space", True)
    back, further = paused - 60, paused - 120
    expected = {step: reference_frame(binary, folder, step) for step in (back, further)}
    session.expect("Left", True, back)
    session.expect("Left", True, further)
    if session.screen_until(expected[further]) != expected[further]:
        raise Failure("after seeking back to step %d the picture differs from --render --start" % further)
    session.expect("Right", True, back)
    if session.screen_until(expected[back]) != expected[back]:
        raise Failure("after seeking forward to step %d the picture differs from --render --start" % back)
    session.quit()


def test_speed(binary):
    """At 8x every frame runs eight steps; the speed is part of the state line."""
    session = Session(binary, ticking_demo())
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
    session = Session(binary, ticking_demo())
    start(session)
    session.wait_line(r"LOG: tick 2")
    loop_start = session.expect("space", True)
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


def main():
    binary, test = sys.argv[1], sys.argv[2]
    tests = {"pause": test_pause, "seek": test_seek, "speed": test_speed, "loop": test_loop}
    try:
        tests[test](binary)
    except Failure as failure:
        print("FAIL author %s: %s" % (test, failure))
        return 1
    print("PASS author %s" % test)
    return 0


if __name__ == "__main__":
    sys.exit(main())
