#!/usr/bin/env python3
"""A long edit session: the script is saved every few hundred milliseconds while the player runs.

usage: soak.py <kestrune binary>

Each cycle saves two valid versions, a broken one (unknown commands, missing parameters, lookups
that fail every frame) and an editor's delete followed by a new write. The player must never end
early or crash, print one reload line per save and one "Error! Unknown file status." line per
erasure and creation, and keep its resident memory flat: the peak over the last cycles stays
within MAX_GROWTH_KB of the peak over the cycles right after the first ones. KESTRUNE_SOAK_SECONDS sets the length: 60 by default (as ctest runs it); the hour:

    KESTRUNE_SOAK_SECONDS=3600 xvfb-run -a -s "-screen 0 1920x1080x24" python3 tests/e2e/soak.py build/kestrune
"""

import os
import subprocess
import sys
import time

from run_case import HERE, CaseFailure, Console, Editor, prepare_workdir

RELOAD = "Demo.script modified - Reloading"
UNKNOWN = "Error! Unknown file status."
MAX_GROWTH_KB = 4096
WARM_UP, WINDOW = 2, 4


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
        self.seen = {RELOAD: 0, UNKNOWN: 0}
        self.resident = []  # the resident size in kB after each save, one list per cycle

    def expect(self, line, total):
        """The player prints the line for the total-th time, never more, and is still running."""
        deadline = time.time() + 10
        while True:
            count = self.out.snapshot().count(line)
            if self.process.poll() is not None or count > total or time.time() > deadline:
                raise CaseFailure("%r seen %d times, expected %d; exit code %s" % (
                    line, count, total, self.process.returncode))
            if count == total:
                return time.sleep(0.3)
            time.sleep(0.02)

    def save(self, text, line):
        self.editor.apply({"edit": "assets/demo.script", "write": text})
        self.seen[line] += 1
        self.expect(line, self.seen[line])
        self.resident[-1].append(resident_kb(self.process.pid))

    def cycle(self):
        self.resident.append([])
        self.save(self.editor.read("second.script"), RELOAD)
        self.save(self.editor.read("broken.script"), RELOAD)
        self.editor.apply({"edit": "assets/demo.script", "delete": True})
        self.seen[UNKNOWN] += 1
        self.expect(UNKNOWN, self.seen[UNKNOWN])
        self.save(self.first, UNKNOWN)
        self.save(self.first, RELOAD)


def soak(binary, seconds):
    session = Session(binary)
    try:
        # A save before the watcher exists would only be read at start-up.
        session.expect("LOG: first version", 1)
        start = time.time()
        while time.time() - start < seconds or len(session.resident) < WARM_UP + 2 * WINDOW:
            session.cycle()
        baseline = max(sum(session.resident[WARM_UP:WARM_UP + WINDOW], []))
        final = max(sum(session.resident[-WINDOW:], []))
        session.editor.apply({"edit": "assets/demo.script", "write": "exit\n:init\nexit\n:render\nexit\n"})
        session.process.wait(timeout=10)
        session.out.thread.join(5)
        if session.process.returncode != 0 or session.out.snapshot().count(RELOAD) != session.seen[RELOAD] + 1:
            raise CaseFailure("the last save did not end the player with exit code 0")
        print("soak: %.0f s, %d cycles, %d reloads, %d erasures and creations; peak VmRSS %d kB in cycles %d-%d, "
              "%d kB in the last %d (%+d kB)" % (
                  time.time() - start, len(session.resident), session.seen[RELOAD], session.seen[UNKNOWN],
                  baseline, WARM_UP + 1, WARM_UP + WINDOW, final, WINDOW, final - baseline))
        if final - baseline > MAX_GROWTH_KB:
            raise CaseFailure("resident memory grew by %d kB" % (final - baseline))
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
