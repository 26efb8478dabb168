#!/usr/bin/env python3
"""Plays one black-box case through the real kestrune binary.

usage: run_case.py <kestrune binary> <case folder>

A case folder holds `case.json` and, optionally, `config.json` and an `assets/` tree. The runner
builds a fresh working directory from tests/e2e/base (a minimal config.json and the shader
pair), overlays the case's own files, starts the binary there on the current X display with its
own OpenAL setting, performs the case's actions while it runs (wait for a line, take a
screenshot and check pixels, hold a key), and then checks the exit code and the console lines.

case.json keys (all optional):
  "from_repo":    paths copied from the repository root (e.g. the real vignette shader)
  "remove":       paths to delete from the working directory before the run
  "env":          extra environment variables; "{workdir}" stands for the working directory
                  (ALSOFT_DRIVERS defaults to "null")
  "generate":     files made at run time, so that big or odd inputs are never committed; a list of
                  {"path": p, "parts": [...]} written as the concatenation of its parts:
                    {"text": s, "count": n}      s repeated n times (default 1)
                    {"text": s, "count": n, "numbered": true}   each copy with "{i}" replaced by
                                                 its index 0..n-1
                    {"hex": "ef bb bf"}          raw bytes
                    {"random": n, "seed": k}     n pseudo-random bytes (NUL bytes included)
                  {"path": p, "png": [width, height]}   a valid grey PNG of that size whose
                                                 pixel data is all zeros (a few hundred KB
                                                 even for 30000 x 30000)
                  {"path": p, "symlink": target}       a symbolic link (target may not exist)
                  {"path": p, "directory": true}       an empty folder (where a file is expected)
  "memory_mb":    address-space limit of the program (RLIMIT_AS), in MB
  "args":         command-line arguments; "{workdir}" stands for the case's working directory
                  and "{repo}" for the repository root
  "run_from":     "elsewhere" starts the program in an empty folder instead of the case's
                  folder (pass "{workdir}" as DIR)
  "timeout":      seconds before the watchdog kills the program (default 30)
  "exit_code":    expected exit code (default 0; -1 shows as 255)
  "stdout", "stderr": expected lines in order; other lines may come between them. A string is
                  matched exactly; {"re": "..."} is a full-line regular expression.
  "stdout_exact", "stderr_exact": true when the expected lines must be all the lines
  "stdout_absent", "stderr_absent": substrings that no line may contain
  "after":        checks of files the run left in the working directory:
                  {"wav_rms": "out.wav", "from": s, "to": s, "min": n}   RMS of 16-bit samples in
                  a time window ("last": s instead of from/to: the final s seconds); "max": n too
                  {"absent": path}   the run left nothing at this path
  "actions":      run in order while the program runs. Nothing waits a fixed time: each action
                  waits for what the program prints or shows, up to a generous "timeout" (s), so a
                  busy machine makes a case slower, never red.
                  {"wait_stdout": line-or-{"re"}, "timeout": s, "count": n}   (n matching lines, default 1)
                  {"screen": [checks...], "timeout": s}   takes screenshots until every check holds
                                  in one of them (default 30 s); the checks:
                    {"pixel": [x, y], "rgb": [r, g, b], "tolerance": n}
                    {"darker": [x, y], "than": [x2, y2], "by": n}   (sum of channels)
                  {"key": "Escape", "timeout": s}   held down (xdotool) until the program ends,
                                  pressed again every second while it runs (default 20 s)
                  {"window_title": "...", "timeout": s}   a window with exactly this title appears
                  {"edit": path, "write": text}   replace the file at once (written beside the
                                  assets, then renamed over it), as an editor's save does
                  {"edit": path, "copy": file}    the same with the text of a file of the case
                  {"edit": path, "touch": true}   only a new last-write time
                  {"edit": path, "mkdir": true}   {"edit": path, "delete": true} (file or folder)
                  Every write or touch gives the file a last-write time of its own, a second
                  apart from all others, so the change never hides in the time granularity.
"""

import json
import math
import os
import random
import resource
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


class CaseFailure(Exception):
    pass


class Console:
    """Collects the lines of one stream of the running program."""

    def __init__(self, stream):
        self.lines = []
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self._read, args=(stream,), daemon=True)
        self.thread.start()

    def _read(self, stream):
        for raw in iter(stream.readline, b""):
            with self.lock:
                self.lines.append(raw.decode("utf-8", "replace").rstrip("\n"))

    def snapshot(self):
        with self.lock:
            return list(self.lines)


def matches(expected, line):
    if isinstance(expected, dict):
        return re.fullmatch(expected["re"], line) is not None
    return expected == line


def describe(expected):
    return "/" + expected["re"] + "/" if isinstance(expected, dict) else repr(expected)


def check_in_order(name, expected, lines, exact):
    if exact:
        if len(expected) != len(lines) or not all(matches(e, l) for e, l in zip(expected, lines)):
            raise CaseFailure("%s differs.\nexpected exactly:\n  %s\ngot:\n  %s" % (
                name, "\n  ".join(describe(e) for e in expected), "\n  ".join(lines)))
        return
    position = 0
    for wanted in expected:
        while position < len(lines) and not matches(wanted, lines[position]):
            position += 1
        if position == len(lines):
            raise CaseFailure("%s lacks %s (in order).\ngot:\n  %s" % (name, describe(wanted), "\n  ".join(lines)))
        position += 1


def check_absent(name, forbidden, lines):
    for text in forbidden:
        for line in lines:
            if text in line:
                raise CaseFailure("%s has a forbidden line: %r" % (name, line))


def zero_png(width, height):
    """A grey 8-bit PNG of zeros, deflated in identical fully flushed blocks so that even a
    gigapixel image costs only a few MB of compression work."""
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    row = width + 1  # the filter byte, then one byte per pixel
    rows_per_block = max(1, min(height, (4 << 20) // row))
    compressor = zlib.compressobj(9, zlib.DEFLATED, -15)
    block = compressor.compress(bytes(row * rows_per_block)) + compressor.flush(zlib.Z_FULL_FLUSH)
    full, rest = divmod(height, rows_per_block)
    stream = [b"\x78\xda", block * full]
    if rest:
        stream.append(compressor.compress(bytes(row * rest)) + compressor.flush(zlib.Z_FULL_FLUSH))
    stream.append(compressor.flush(zlib.Z_FINISH))
    # Adler-32 of n zero bytes: a stays 1, b adds 1 per byte.
    total = row * height
    stream.append(struct.pack(">I", ((total % 65521) << 16) | 1))
    header = struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", b"".join(stream))
            + chunk(b"IEND", b""))


def generate(workdir, spec):
    for item in spec.get("generate", []):
        path = os.path.join(workdir, item["path"])
        os.makedirs(os.path.dirname(path), exist_ok=True)
        if os.path.lexists(path):
            os.remove(path)
        if "symlink" in item:
            os.symlink(item["symlink"], path)
            continue
        if item.get("directory"):
            os.makedirs(path)
            continue
        with open(path, "wb") as out:
            if "png" in item:
                out.write(zero_png(*item["png"]))
                continue
            for part in item["parts"]:
                if "hex" in part:
                    out.write(bytes.fromhex(part["hex"]))
                elif "random" in part:
                    out.write(random.Random(part.get("seed", 0)).randbytes(part["random"]))
                elif part.get("numbered"):
                    for i in range(part.get("count", 1)):
                        out.write(part["text"].replace("{i}", str(i)).encode("utf-8"))
                else:
                    out.write(part["text"].encode("utf-8") * part.get("count", 1))


def prepare_workdir(case_dir, spec):
    workdir = tempfile.mkdtemp(prefix="kestrune-e2e-")
    shutil.copytree(os.path.join(HERE, "base"), workdir, dirs_exist_ok=True)
    for entry in os.listdir(case_dir):
        if entry == "case.json":
            continue
        source = os.path.join(case_dir, entry)
        target = os.path.join(workdir, entry)
        if os.path.isdir(source):
            shutil.copytree(source, target, dirs_exist_ok=True)
        else:
            shutil.copy2(source, target)
    for path in spec.get("from_repo", []):
        os.makedirs(os.path.dirname(os.path.join(workdir, path)), exist_ok=True)
        shutil.copy2(os.path.join(HERE, "..", "..", path), os.path.join(workdir, path))
    for path in spec.get("remove", []):
        target = os.path.join(workdir, path)
        if os.path.isdir(target):
            shutil.rmtree(target)
        elif os.path.exists(target):
            os.remove(target)
    generate(workdir, spec)
    return workdir


def screenshot(workdir):
    """Grabs the whole screen as (width, height, rgb bytes)."""
    data = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"], check=True,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=20).stdout
    with open(os.path.join(workdir, "screenshot.ppm"), "wb") as out:
        out.write(data)
    fields = []
    position = 0
    while len(fields) < 4:  # magic, width, height, maxval
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position) + 1
            continue
        start = position
        while not data[position:position + 1].isspace():
            position += 1
        fields.append(data[start:position])
    if fields[0] != b"P6":
        raise CaseFailure("screenshot is not a binary PPM")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[position + 1:]


def pixel_at(shot, point):
    width, height, rgb = shot
    x, y = point
    if not (0 <= x < width and 0 <= y < height):
        raise CaseFailure("pixel %s outside the %dx%d screenshot" % (point, width, height))
    offset = (y * width + x) * 3
    return tuple(rgb[offset:offset + 3])


def failed_check(shot, check):
    """Why one screen check does not hold on a screenshot, or None when it holds."""
    if "pixel" in check:
        got = pixel_at(shot, check["pixel"])
        tolerance = check.get("tolerance", 8)
        if any(abs(g - w) > tolerance for g, w in zip(got, check["rgb"])):
            return "pixel %s is %s, expected %s (tolerance %d)" % (check["pixel"], got, check["rgb"], tolerance)
        return None
    if "darker" in check:
        dark = sum(pixel_at(shot, check["darker"]))
        light = sum(pixel_at(shot, check["than"]))
        if dark + check.get("by", 1) > light:
            return "pixel %s (sum %d) is not darker than %s (sum %d) by %d" % (
                check["darker"], dark, check["than"], light, check.get("by", 1))
        return None
    raise CaseFailure("unknown screen check %r" % check)


def wait_for_screen(action, process, workdir):
    """Screenshots until every check holds in one of them; the last one's failures otherwise."""
    deadline = time.time() + action.get("timeout", 30)
    while True:
        shot = screenshot(workdir)
        failures = [f for f in (failed_check(shot, check) for check in action["screen"]) if f]
        if not failures:
            return
        if process.poll() is not None or time.time() > deadline:
            raise CaseFailure("the screen never showed what was expected (program %s); last screenshot:\n  %s" % (
                "ended" if process.poll() is not None else "running", "\n  ".join(failures)))
        time.sleep(0.1)


def read_wav(path):
    """(sample rate, channels, list of 16-bit samples) of a PCM or extensible-PCM WAV file."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise CaseFailure("%s is not a WAV file" % path)
    position, rate, channels, bits, samples = 12, 0, 0, 0, None
    while position + 8 <= len(data):
        kind, size = data[position:position + 4], struct.unpack("<I", data[position + 4:position + 8])[0]
        body = data[position + 8:position + 8 + size]
        if kind == b"fmt ":
            _, channels, rate = struct.unpack("<HHI", body[:8])
            bits = struct.unpack("<H", body[14:16])[0]
        elif kind == b"data":
            samples = body
        position += 8 + size + (size & 1)
    if bits != 16 or samples is None:
        raise CaseFailure("%s: expected 16-bit samples (got %d bits)" % (path, bits))
    count = len(samples) // 2
    return rate, channels, struct.unpack("<%dh" % count, samples[:count * 2])


def check_after(spec, workdir):
    for check in spec.get("after", []):
        if "absent" in check:
            if os.path.lexists(os.path.join(workdir, check["absent"])):
                raise CaseFailure("the run left %s behind" % check["absent"])
            continue
        rate, channels, samples = read_wav(os.path.join(workdir, check["wav_rms"]))
        frames = len(samples) // channels
        if "last" in check:
            start, end = max(0, frames - int(check["last"] * rate)), frames
        else:
            start, end = int(check["from"] * rate), min(frames, int(check["to"] * rate))
        window = samples[start * channels:end * channels]
        if not window:
            raise CaseFailure("%s has no samples in the window %s (%d frames)" % (check["wav_rms"], check, frames))
        rms = math.sqrt(sum(v * v for v in window) / len(window))
        if rms < check.get("min", 0) or rms > check.get("max", float("inf")):
            raise CaseFailure("%s: RMS %.1f in %s outside [%s, %s] (%.2f s in all)" % (
                check["wav_rms"], rms, check, check.get("min", 0), check.get("max", "inf"), frames / rate))


def hold_key_until_exit(action, process):
    """Holds the key down until the program ends. The program tests the key's state when an event
    reaches its window, which may not exist yet or miss the first press: press it again every
    second while the program runs."""
    deadline = time.time() + action.get("timeout", 20)
    try:
        while process.poll() is None:
            if time.time() > deadline:
                raise CaseFailure("the program did not end while %s was held" % action["key"])
            subprocess.run(["xdotool", "keydown", action["key"]], check=True, timeout=10)
            pressed = time.time()
            while process.poll() is None and time.time() - pressed < 1.0:
                time.sleep(0.02)
            subprocess.run(["xdotool", "keyup", action["key"]], check=True, timeout=10)
    finally:
        subprocess.run(["xdotool", "keyup", action["key"]], timeout=10)


def wait_for_window(action, process):
    deadline = time.time() + action.get("timeout", 20)
    pattern = "^%s$" % re.escape(action["window_title"])
    while True:
        found = subprocess.run(["xdotool", "search", "--name", pattern],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=10)
        if found.returncode == 0 and found.stdout.strip():
            return
        if process.poll() is not None or time.time() > deadline:
            raise CaseFailure("no window titled %r" % action["window_title"])
        time.sleep(0.1)


class Editor:
    """Live edits of the working directory, each with a distinct last-write time."""

    def __init__(self, workdir):
        self.workdir = workdir
        self.stamp = int(time.time()) + 100

    def read(self, name):
        with open(os.path.join(self.workdir, name)) as f:
            return f.read()

    def touch(self, path):
        self.stamp += 1
        os.utime(path, (self.stamp, self.stamp))

    def apply(self, action):
        path = os.path.join(self.workdir, action["edit"])
        if "write" in action or "copy" in action:
            text = action["write"] if "write" in action else self.read(action["copy"])
            staging = os.path.join(self.workdir, ".staging")
            with open(staging, "w") as f:
                f.write(text)
            self.touch(staging)
            os.replace(staging, path)
        elif action.get("touch"):
            self.touch(path)
        elif action.get("mkdir"):
            os.makedirs(path)
        elif action.get("delete"):
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path)
            else:
                os.remove(path)
        else:
            raise CaseFailure("unknown edit %r" % action)


def run_actions(spec, process, stdout, workdir):
    editor = Editor(workdir)
    for action in spec.get("actions", []):
        if "wait_stdout" in action:
            deadline = time.time() + action.get("timeout", 20)
            while sum(matches(action["wait_stdout"], l) for l in stdout.snapshot()) < action.get("count", 1):
                if process.poll() is not None or time.time() > deadline:
                    raise CaseFailure("never saw %s on standard output" % describe(action["wait_stdout"]))
                time.sleep(0.05)
        elif "screen" in action:
            wait_for_screen(action, process, workdir)
        elif "key" in action:
            hold_key_until_exit(action, process)
        elif "edit" in action:
            editor.apply(action)
        elif "window_title" in action:
            wait_for_window(action, process)
        else:
            raise CaseFailure("unknown action %r" % action)


def run_case(binary, case_dir):
    with open(os.path.join(case_dir, "case.json")) as f:
        spec = json.load(f)
    if not os.environ.get("DISPLAY"):
        raise CaseFailure("no DISPLAY: run the tests under xvfb-run")

    workdir = prepare_workdir(case_dir, spec)
    env = dict(os.environ)
    env["ALSOFT_DRIVERS"] = "null"
    env.update({name: value.replace("{workdir}", workdir) for name, value in spec.get("env", {}).items()})
    limit = None
    if "memory_mb" in spec:
        size = spec["memory_mb"] << 20

        def limit():
            resource.setrlimit(resource.RLIMIT_AS, (size, size))
    # Line-buffered output lets the runner wait for a line while the program runs.
    repo = os.path.abspath(os.path.join(HERE, "..", ".."))
    args = [arg.replace("{workdir}", workdir).replace("{repo}", repo) for arg in spec.get("args", [])]
    cwd = tempfile.mkdtemp(prefix="kestrune-cwd-") if spec.get("run_from") == "elsewhere" else workdir
    process = subprocess.Popen(["stdbuf", "-oL", "-eL", os.path.abspath(binary)] + args, cwd=cwd, env=env,
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               preexec_fn=limit)
    stdout, stderr = Console(process.stdout), Console(process.stderr)
    try:
        run_actions(spec, process, stdout, workdir)
        try:
            process.wait(timeout=spec.get("timeout", 30))
        except subprocess.TimeoutExpired:
            raise CaseFailure("watchdog: the program did not end within %ss" % spec.get("timeout", 30))
    except CaseFailure as failure:
        process.kill()
        process.wait()
        stdout.thread.join(5)
        stderr.thread.join(5)
        raise CaseFailure("%s\n--- stdout\n%s\n--- stderr\n%s" % (
            failure, "\n".join(stdout.snapshot()), "\n".join(stderr.snapshot())))
    stdout.thread.join(5)
    stderr.thread.join(5)

    out_lines, err_lines = stdout.snapshot(), stderr.snapshot()
    try:
        expected_code = spec.get("exit_code", 0) & 0xFF
        if process.returncode != expected_code:
            raise CaseFailure("exit code %d, expected %d" % (process.returncode, expected_code))
        check_in_order("stdout", spec.get("stdout", []), out_lines, spec.get("stdout_exact", False))
        check_in_order("stderr", spec.get("stderr", []), err_lines, spec.get("stderr_exact", False))
        check_absent("stdout", spec.get("stdout_absent", []), out_lines)
        check_absent("stderr", spec.get("stderr_absent", []), err_lines)
        check_after(spec, workdir)
    except CaseFailure as failure:
        raise CaseFailure("%s\n--- stdout\n%s\n--- stderr\n%s" % (failure, "\n".join(out_lines), "\n".join(err_lines)))
    shutil.rmtree(workdir, ignore_errors=True)
    if cwd != workdir:
        shutil.rmtree(cwd, ignore_errors=True)


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    try:
        run_case(sys.argv[1], sys.argv[2])
    except CaseFailure as failure:
        print("FAIL %s: %s" % (os.path.basename(sys.argv[2].rstrip("/")), failure))
        return 1
    print("PASS %s" % os.path.basename(sys.argv[2].rstrip("/")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
