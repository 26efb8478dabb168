#!/usr/bin/env python3
"""A long edit session against the real kestrune binary.

usage: soak.py <kestrune binary>

The script is saved again every few hundred milliseconds, cycling through two valid versions, a
broken one (unknown commands, missing parameters, lookups that fail every frame) and a delete
followed by a new write, as some editors save. The player must never end early or crash, print
exactly one reload line per save and one "Error! Unknown file status." line per erasure and per
creation, and keep its resident memory flat: at the end it is compared with its level after the
first cycles. KESTRUNE_SOAK_SECONDS sets the length: 60 by default as ctest runs it, and for the
hour-long run, under a display:

    KESTRUNE_SOAK_SECONDS=3600 xvfb-run -a -s "-screen 0 1920x1080x24" python3 tests/e2e/soak.py build/kestrune
"""

import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RELOAD = "Demo.script modified - Reloading"
UNKNOWN = "Error! Unknown file status."
STARTED = "LOG: first version"
SAVE_GAP = 0.3
MAX_GROWTH_KB = 4096


class Counter:
    """Counts the lines of one stream that matter and keeps only the last few of the others."""

    def __init__(self, stream):
        self.counts = {RELOAD: 0, UNKNOWN: 0, STARTED: 0}
        self.tail = []
        self.lines = 0
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self._read, args=(stream,), daemon=True)
        self.thread.start()

    def _read(self, stream):
        for raw in iter(stream.readline, b""):
            line = raw.decode("utf-8", "replace").rstrip("\n")
            with self.lock:
                self.lines += 1
                if line in self.counts:
                    self.counts[line] += 1
                self.tail = (self.tail + [line])[-20:]

    def count(self, line):
        with self.lock:
            return self.counts[line]


def resident_kb(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS for %d" % pid)


class Session:
    def __init__(self, binary):
        self.workdir = tempfile.mkdtemp(prefix="kestrune-soak-")
        shutil.copytree(os.path.join(HERE, "base"), self.workdir, dirs_exist_ok=True)
        self.script = os.path.join(self.workdir, "assets", "demo.script")
        self.stamp = int(time.time()) + 100
        self.texts = {}
        for name in ("first", "second", "broken"):
            with open(os.path.join(HERE, "soak", name + ".script")) as f:
                self.texts[name] = f.read()
        self.save("first")
        env = dict(os.environ, ALSOFT_DRIVERS="null")
        self.process = subprocess.Popen(["stdbuf", "-oL", "-eL", os.path.abspath(binary)], cwd=self.workdir, env=env,
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.out = Counter(self.process.stdout)
        self.err = Counter(self.process.stderr)
        self.saves = 0
        self.unknowns = 0
        # Saves before the player has started its watcher would be read at start-up instead.
        self.expect(STARTED, 1)

    def save(self, name):
        """An editor's save: a new file renamed over the script, with a last-write time of its own."""
        staging = os.path.join(self.workdir, "staging")
        with open(staging, "w") as f:
            f.write(self.texts[name])
        self.stamp += 1
        os.utime(staging, (self.stamp, self.stamp))
        os.replace(staging, self.script)

    def expect(self, line, total):
        """Waits until the player has printed the line `total` times; it must still be running."""
        deadline = time.time() + 10
        while self.out.count(line) < total:
            if self.process.poll() is not None:
                self.fail("the player ended (exit code %d) while %r was awaited" % (self.process.returncode, line))
            if time.time() > deadline:
                self.fail("never saw %r for the %d. time" % (line, total))
            time.sleep(0.01)
        if line != STARTED and self.out.count(line) > total:
            self.fail("%r printed %d times, expected %d" % (line, self.out.count(line), total))
        time.sleep(SAVE_GAP)

    def reload(self, name):
        self.save(name)
        self.saves += 1
        self.expect(RELOAD, self.saves)

    def delete_then_write(self, name):
        os.remove(self.script)
        self.unknowns += 1
        self.expect(UNKNOWN, self.unknowns)
        self.save(name)
        self.unknowns += 1
        self.expect(UNKNOWN, self.unknowns)

    def cycle(self):
        self.reload("second")
        self.reload("broken")
        self.delete_then_write("first")
        self.reload("second")
        self.reload("first")

    def fail(self, why):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        raise SystemExit("FAIL soak: %s\n--- last stdout\n%s\n--- last stderr\n%s" % (
            why, "\n".join(self.out.tail), "\n".join(self.err.tail)))


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    if not os.environ.get("DISPLAY"):
        print("FAIL soak: no DISPLAY: run the tests under xvfb-run")
        return 1
    seconds = float(os.environ.get("KESTRUNE_SOAK_SECONDS", "60"))
    session = Session(sys.argv[1])
    start = time.time()
    for _ in range(2):
        session.cycle()
    baseline = resident_kb(session.process.pid)
    cycles = 2
    while time.time() - start < seconds:
        session.cycle()
        cycles += 1
    final = resident_kb(session.process.pid)

    session.texts["last"] = "exit\n:init\nexit\n:render\nexit\n"
    session.reload("last")
    try:
        session.process.wait(timeout=10)
    except subprocess.TimeoutExpired:
        session.fail("the final script's exit did not end the player")
    session.out.thread.join(5)
    session.err.thread.join(5)
    if session.process.returncode != 0:
        session.fail("exit code %d" % session.process.returncode)
    for line in session.err.tail:
        if "Sanitizer" in line or "terminate" in line:
            session.fail("the player reported %r" % line)
    print("soak: %.0f s, %d cycles, %d saves reloaded, %d erasures and creations reported, %d stderr lines" % (
        time.time() - start, cycles, session.saves, session.unknowns, session.err.lines))
    print("soak: VmRSS %d kB after 2 cycles, %d kB at the end (%+d kB)" % (baseline, final, final - baseline))
    if final - baseline > MAX_GROWTH_KB:
        session.fail("resident memory grew by %d kB (limit %d kB)" % (final - baseline, MAX_GROWTH_KB))
    shutil.rmtree(session.workdir, ignore_errors=True)
    print("PASS soak")
    return 0


if __name__ == "__main__":
    sys.exit(main())
