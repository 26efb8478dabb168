#!/usr/bin/env python3
"""A long edit session: the script is saved over and over while the player runs.

usage: soak.py <kestrune binary>

Each cycle saves two valid versions, a broken one (unknown commands, missing parameters, lookups
that fail every frame), an editor's delete followed by a new version moved into place, and the
first version again. The player must never end early or crash, and print one reload line per save
(the version that comes back after the delete included) and one "Error! Unknown file status."
line per erasure and creation. After each save the test waits until the new version says it has
run a quarter of a second of demo time, never for a fixed time.

Memory: the resident size is sampled after every save. A leak grows with every reload; a late
one-off allocation of the driver or the allocator (up to one 1920 x 1080 RGBA buffer) does not
keep growing. So the cycles after the warm-up are split into three windows, and the test fails
when the peak grows from each window to the next by more than one such buffer plus MARGIN_KB:
growth that continues through the whole run, not one step. KESTRUNE_SOAK_SECONDS sets the
length: 60 by default (as ctest runs it); the hour:

    KESTRUNE_SOAK_SECONDS=3600 xvfb-run -a -s "-screen 0 1920x1080x24" python3 tests/e2e/soak.py build/kestrune
"""

import os
import subprocess
import sys
import time

from run_case import HERE, CaseFailure, Console, Editor, prepare_workdir

RELOAD = "Demo.script modified - Reloading"
UNKNOWN = "Error! Unknown file status."
FIRST, SECOND, BROKEN = "LOG: first running", "LOG: second running", "LOG: broken running"
BUFFER_KB = 1920 * 1080 * 4 // 1024
MARGIN_KB = 1024
WARM_UP, WINDOWS, MIN_WINDOW = 2, 3, 4


def resident_kb(pid):
    with open("/proc/%d/status" % pid) as status:
        return int(next(line for line in status if line.startswith("VmRSS:")).split()[1])


class Session:
    def __init__(self, binary):
        soak = os.path.join(HERE, "soak")
        self.workdir = prepare_workdir(soak, {})
        self.editor = Editor(self.workdir)
        with open(os.path.join(soak, "assets", "demo.script")) as f:
            self.first = f.read()
        # A fixed mmap threshold keeps freed render textures out of the heap, so that the resident
        # size follows live memory more closely than with the allocator's moving threshold.
        env = dict(os.environ, ALSOFT_DRIVERS="null", GLIBC_TUNABLES="glibc.malloc.mmap_threshold=131072")
        self.process = subprocess.Popen(["stdbuf", "-oL", "-eL", os.path.abspath(binary)], cwd=self.workdir,
                                        env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.out, self.err = Console(self.process.stdout), Console(self.process.stderr)
        self.seen = {RELOAD: 0, UNKNOWN: 0, FIRST: 1, SECOND: 0, BROKEN: 0}
        self.resident = []  # the resident size in kB after each save, one list per cycle

    def expect(self):
        """The player has printed each line as often as `seen` counts, never more, and still runs."""
        deadline = time.time() + 60
        while True:
            snapshot = self.out.snapshot()
            counts = {line: snapshot.count(line) for line in self.seen}
            if (self.process.poll() is not None or time.time() > deadline
                    or any(counts[line] > self.seen[line] for line in self.seen)):
                raise CaseFailure("seen %s, expected %s; exit code %s" % (counts, self.seen, self.process.returncode))
            if counts == self.seen:
                return
            time.sleep(0.02)

    def save(self, text, *lines):
        self.editor.apply({"edit": "assets/demo.script", "write": text})
        for line in lines:
            self.seen[line] += 1
        self.expect()
        self.resident[-1].append(resident_kb(self.process.pid))

    def cycle(self):
        self.resident.append([])
        self.save(self.editor.read("second.script"), RELOAD, SECOND)
        self.save(self.editor.read("broken.script"), RELOAD, BROKEN)
        self.editor.apply({"edit": "assets/demo.script", "delete": True})
        self.seen[UNKNOWN] += 1
        self.expect()
        self.save(self.first, UNKNOWN, RELOAD, FIRST)
        self.save(self.first, RELOAD, FIRST)


def window_peaks(resident):
    """The peak resident size of each window of cycles after the warm-up."""
    cycles = resident[WARM_UP:]
    size = len(cycles) // WINDOWS
    # The first window takes what does not divide evenly, so the last stays the latest cycles.
    first = len(cycles) - size * (WINDOWS - 1)
    bounds = [0, first] + [first + size * i for i in range(1, WINDOWS)]
    return [max(sum(cycles[a:b], [])) for a, b in zip(bounds, bounds[1:])]


def soak(binary, seconds):
    session = Session(binary)
    try:
        # A save before the watcher exists would only be read at start-up.
        session.expect()
        start = time.time()
        while time.time() - start < seconds or len(session.resident) < WARM_UP + WINDOWS * MIN_WINDOW:
            session.cycle()
        peaks = window_peaks(session.resident)
        session.editor.apply({"edit": "assets/demo.script", "write": "exit\n:init\nexit\n:render\nexit\n"})
        session.process.wait(timeout=30)
        session.out.thread.join(5)
        if session.process.returncode != 0 or session.out.snapshot().count(RELOAD) != session.seen[RELOAD] + 1:
            raise CaseFailure("the last save did not end the player with exit code 0")
        growth = [later - earlier for earlier, later in zip(peaks, peaks[1:])]
        print("soak: %.0f s, %d cycles, %d reloads, %d erasures and creations; peak VmRSS per window of cycles "
              "after the warm-up %s kB (growth %s kB; a leak grows by more than %d kB in every window)" % (
                  time.time() - start, len(session.resident), session.seen[RELOAD], session.seen[UNKNOWN],
                  ", ".join(str(p) for p in peaks), ", ".join("%+d" % g for g in growth), BUFFER_KB + MARGIN_KB))
        if all(g > BUFFER_KB + MARGIN_KB for g in growth):
            raise CaseFailure("resident memory keeps growing: %s kB from one window of cycles to the next" % (
                ", ".join("%+d" % g for g in growth)))
    except (CaseFailure, subprocess.TimeoutExpired) as failure:
        session.process.kill()
        session.process.wait()
        raise CaseFailure("%s\n--- stdout (end)\n%s\n--- stderr (end)\n%s" % (
            failure, "\n".join(session.out.snapshot()[-20:]), "\n".join(session.err.snapshot()[-20:])))


def main():
    if len(sys.argv) != 2 or not os.environ.get("DISPLAY"):
        print(__doc__ + "\n(needs a DISPLAY: run it under xvfb-run)")
        return 2
    try:
        soak(sys.argv[1], float(os.environ.get("KESTRUNE_SOAK_SECONDS", "60")))
    except CaseFailure as failure:
        print("FAIL soak: %s" % failure)
        return 1
    print("PASS soak")
    return 0


if __name__ == "__main__":
    sys.exit(main())
