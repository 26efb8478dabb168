#!/usr/bin/env python3
"""Shows that two builds of kestrune behave the same: same messages, exit statuses and pictures.

usage: tools/compare_builds.py OLD_BINARY NEW_BINARY [--quick] [--frames N] [--only REGEX] [--corpus DIR]

Run it from any folder; it needs xvfb-run, ImageMagick (import), xdotool and stdbuf. It plays the
bundled demo (the repository's assets/ and config.json) and every folder under examples/, each run
in a fresh temporary copy, with both binaries, and compares:
  - --render OUT --frames N: exit status, stdout, stderr and every PNG frame byte for byte;
  - --render OUT --start T --frames 2 at three times (one past the end of a demo that ends);
  - --check: exit status and output;
  - author mode: --author --start T, paused with Space and brought to the step of T, then a
    screenshot with the overlay (its timing line masked) and one without it (F3);
  - every file of tests/fuzz/corpus/fuzz_script and fuzz_cutscene (or of DIR/fuzz_script and
    DIR/fuzz_cutscene with --corpus DIR, e.g. the corpus a fuzz run grew in build-fuzz/fuzz-corpus)
    as the bundled demo's script, rendered for 5 frames and for 2 frames from 0.25 s, each under
    `timeout 60`.
Timings in the messages (the "in X s", "frames per second", "render time per frame" and stats
figures) and hexadecimal addresses are masked. Two jobs run at a time, each worker on its own
virtual screen. One line per comparison ("same" / "DIFFERENT: ..."), a summary, and the wall time;
the exit status is 1 when anything differs. --quick renders fewer frames (a few minutes in all),
--frames N sets the full run's frame cap (default 300), --only REGEX keeps the comparisons whose
line matches (--only fuzz_ keeps the corpus runs alone).

A build compared with itself must come out all "same": that is how the tool itself is checked
(tools/compare_builds.py build/kestrune build/kestrune --quick). On the 2-core machine, with other
builds running, a quick run took about 2 minutes and a full one (300 frames a demo) about 7.5.

What differs from one run of the same binary to the next, and is masked: the timings above, the
object addresses in the "GameCutscene: Creating ..." lines, and the overlay's "frame ... ms   behind
real time ...%" line (with the plate's right edge, which its width moves). How far author mode plays
before the pause lands also varies: the tool steps it back to the step of T before the screenshots.
A run that `timeout 60` ends (a script that loops without end prints for as long as it is let)
stops wherever the machine's speed got it: when both runs timed out, only what both printed and
rendered is compared (the lines before the shorter one's last, and the frames both wrote).
"""

import filecmp
import json
import os
import queue
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

REPO = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
E2E = os.path.join(REPO, "tests", "e2e")
SCREEN = "-screen 0 1920x1080x24"
ENV = dict(os.environ, ALSOFT_DRIVERS="null")
WORKERS = 2
PROTOCOL = "@@compare "

# Frame counts: the full run renders each demo up to its end (and a little past it), capped
# (software GL renders a few 1920 x 1080 frames a second); --frames N sets the cap.
FULL_FRAMES_CAP = 300
QUICK_FRAMES = 20
PROBE_SECONDS = 600  # a --start this late finds where a demo ends (the render's own cap)


# ---------------------------------------------------------------------------------------------
# Masking: what may differ between two runs of one binary.

NUMBER = r"-?(?:\d+\.?\d*|\.\d+)(?:e[-+]?\d+)?|-?(?:inf|nan)"
MASKS = [
    (re.compile(r"\bin (?:%s) s\b" % NUMBER), "in <T> s"),
    (re.compile(r"(?:%s) frames per second" % NUMBER), "<F> frames per second"),
    (re.compile(r"0x[0-9a-fA-F]+"), "0x<ADDR>"),
]
ALL_FIGURES = re.compile(NUMBER)


def mask(text):
    lines = []
    for line in text.decode("utf-8", "replace").split("\n"):
        line = line.split("\r")[-1]  # a progress line rewritten in place keeps its last state
        if "render time per frame" in line:
            line = ALL_FIGURES.sub("<N>", line)
        elif line.startswith("kestrune: stats:") and ";" in line:
            # The frame and step counts are the program's; the times after them are the machine's.
            head, _, tail = line.partition(";")
            line = head + ";" + ALL_FIGURES.sub("<N>", tail)
        for pattern, replacement in MASKS:
            line = pattern.sub(replacement, line)
        lines.append(line)
    return lines


# ---------------------------------------------------------------------------------------------
# Comparing two outcomes.

def first_difference(name, old, new):
    """None when two lists of lines are equal, else a short description of the first difference."""
    if old == new:
        return None
    for i, (a, b) in enumerate(zip(old, new)):
        if a != b:
            return "%s line %d: %r vs %r" % (name, i + 1, a, b)
    return "%s has %d lines vs %d (first extra: %r)" % (
        name, len(old), len(new), (old[len(new)] if len(old) > len(new) else new[len(old)]))


TIMED_OUT = 124  # timeout's exit status when it ended the command


def compare_runs(old, new):
    """Each run is a dict with exit, stdout, stderr and, optionally, frames (folder or None)."""
    problems = []
    if old["exit"] != new["exit"]:
        problems.append("exit status %s vs %s" % (old["exit"], new["exit"]))
    cut = old["exit"] == new["exit"] == TIMED_OUT
    for stream in ("stdout", "stderr"):
        a, b = old[stream], new[stream]
        if cut:
            # Both were ended mid-run: the last line each printed may be a part of one.
            keep = max(0, min(len(a), len(b)) - 1)
            a, b = a[:keep], b[:keep]
        found = first_difference(stream, a, b)
        if found:
            problems.append(found)
    if "frames" in old:
        found = compare_frames(old["frames"], new["frames"], cut)
        if found:
            problems.append(found)
    return problems


def frame_names(folder):
    if folder is None or not os.path.isdir(folder):
        return []
    return sorted(name for name in os.listdir(folder) if re.fullmatch(r"frame_\d+\.png", name))


def compare_frames(old_folder, new_folder, cut=False):
    old, new = frame_names(old_folder), frame_names(new_folder)
    if cut:
        # A frame file being written when the run was ended may be incomplete.
        old = new = [n for n in old if n in new][:-1]
    if old != new:
        return "frames: %d vs %d files (%s)" % (len(old), len(new), ", ".join(sorted(set(old) ^ set(new))[:3]))
    differing = [n for n in old if not filecmp.cmp(os.path.join(old_folder, n), os.path.join(new_folder, n),
                                                    shallow=False)]
    if differing:
        return "%d of %d frames differ, first %s" % (len(differing), len(old), differing[0])
    return None


# ---------------------------------------------------------------------------------------------
# Jobs, run inside a worker on its own virtual screen.

def lay_demo(target, demo, script=None):
    """A fresh copy of a demo at `target`; `script` replaces its assets/demo.script."""
    if os.path.exists(target):
        shutil.rmtree(target)
    os.makedirs(target)
    source = REPO if demo == "bundled" else os.path.join(REPO, "examples", demo)
    shutil.copytree(os.path.join(source, "assets"), os.path.join(target, "assets"))
    if os.path.exists(os.path.join(source, "config.json")):
        shutil.copy2(os.path.join(source, "config.json"), target)
    if script is not None:
        shutil.copy2(script, os.path.join(target, "assets", "demo.script"))


def run_binary(binary, folder, args, limit=None):
    command = [os.path.abspath(binary)] + args
    if limit:
        command = ["timeout", str(limit)] + command
    try:
        done = subprocess.run(command, cwd=folder, env=ENV, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=(limit or 3600) + 60)
        return done.returncode, done.stdout, done.stderr
    except subprocess.TimeoutExpired as expired:
        return "timed out", expired.stdout or b"", expired.stderr or b""


def job_run(job, scratch, binaries):
    """One command line in a fresh copy with each binary: exit status, console and frames."""
    runs = []
    for side, binary in zip(("old", "new"), binaries):
        # Both binaries run at the same path, so that paths in messages match.
        folder = os.path.join(scratch, "demo")
        lay_demo(folder, job["demo"], job.get("script"))
        code, out, err = run_binary(binary, folder, job["args"], job.get("limit"))
        run = {"exit": code, "stdout": mask(out), "stderr": mask(err)}
        if "--render" in job["args"]:
            kept = os.path.join(scratch, side + "_frames")
            shutil.rmtree(kept, ignore_errors=True)
            rendered = os.path.join(folder, job["args"][job["args"].index("--render") + 1])
            run["frames"] = kept if os.path.isdir(rendered) else None
            if run["frames"]:
                os.rename(rendered, kept)
        runs.append(run)
    problems = compare_runs(*runs)
    old = runs[0]
    note = "exit %s, %d+%d lines" % (old["exit"], len(old["stdout"]) - 1, len(old["stderr"]) - 1)
    if "frames" in old:
        note += ", %d frames" % len(frame_names(old["frames"]))
    shutil.rmtree(scratch, ignore_errors=True)
    return {"problems": problems, "note": note}


def job_probe(job, scratch, binaries):
    """Where a demo ends (in steps), from what --start past the end says; None if it runs on."""
    folder = os.path.join(scratch, "demo")
    lay_demo(folder, job["demo"])
    code, out, err = run_binary(binaries[0], folder, ["--render", "probe", "--start", str(PROBE_SECONDS),
                                                      "--frames", "1"])
    shutil.rmtree(scratch, ignore_errors=True)
    found = re.search(r"the demo ends after (\d+) steps", err.decode("utf-8", "replace"))
    return int(found.group(1)) if found else None


# The overlay's timing line ("frame 0.0 ms   behind real time 0% of frames") is the machine's: its
# rows (the third line: plate at y 16, padding 10, lines 24 px apart), and the plate's right edge,
# which follows that line's width when it is the widest (x 440 is inside its shortest form).
OVERLAY_MASK = [(0, 16 + 10 + 2 * 24 - 3, 1920, 16 + 10 + 3 * 24 + 3), (440, 0, 640, 16 + 20 + 5 * 24 + 4)]


def masked(shot, rectangles):
    width, height, rgb = shot
    pixels = bytearray(rgb)
    for x0, y0, x1, y1 in rectangles:
        for y in range(y0, min(y1, height)):
            pixels[(y * width + x0) * 3:(y * width + min(x1, width)) * 3] = bytes((min(x1, width) - x0) * 3)
    return bytes(pixels)


def job_author(job, scratch, binaries):
    """Author mode paused at one step: the window with the overlay, and without it."""
    sys.path.insert(0, E2E)
    from author_test import Session, Failure  # noqa: E402  (the e2e tests' own driver)
    from run_case import screenshot  # noqa: E402

    target = job["step"]
    shots_dir = os.path.join(scratch, "shots")
    outcomes = []
    for binary in binaries:
        folder = os.path.join(scratch, "demo")
        lay_demo(folder, job["demo"])
        os.makedirs(shots_dir, exist_ok=True)
        outcome = {}
        session = None
        try:
            session = Session(binary, folder, ["--start", job["start"]])
            paused, step, speed = session.next_state()
            outcome["first state"] = "%s step %d %s" % ("paused" if paused else "playing", step, speed)
            session.press("space")
            paused, step, _ = session.next_state()
            # Playing runs on for as long as the machine takes to press the key: move to the step.
            while True:
                if not paused:
                    raise Failure("Space did not pause (step %d)" % step)
                if step == target:
                    break
                distance = step - target
                key = "Left" if distance >= 30 else "comma" if distance > 0 else "Right" if distance <= -30 \
                    else "period"
                session.press(key)
                paused, step, _ = session.next_state()
            outcome["paused at"] = step

            def steady(transform, differs_from=None):
                """The picture once two screenshots in a row agree (and differ from a given one)."""
                shots = [None]

                def probe():
                    shots.append(transform(screenshot(shots_dir)))
                    return shots[-1] == shots[-2] and shots[-1] != differs_from

                from author_test import wait_for
                wait_for(probe, lambda: "the picture did not settle", session.process, timeout=60)
                return shots[-1]

            with_overlay = steady(lambda shot: masked(shot, OVERLAY_MASK))
            outcome["window with overlay"] = with_overlay
            session.press("F3")
            outcome["window without overlay"] = steady(lambda shot: shot[2], differs_from=None)
            # The overlay-free picture must not be the overlay one (F3 took effect).
            if masked((1920, 1080, outcome["window without overlay"]), OVERLAY_MASK) == with_overlay:
                outcome["window without overlay"] = "F3 did not hide the overlay"
            session.press("Escape")
            outcome["exit"] = session.process.wait(timeout=60)
        except Failure as failure:
            outcome["failure"] = str(failure)
        except subprocess.TimeoutExpired:
            outcome["failure"] = "did not end after Escape"
        finally:
            if session and session.process.poll() is None:
                session.process.kill()
                session.process.wait()
        outcomes.append(outcome)
        shutil.rmtree(scratch, ignore_errors=True)
    old, new = outcomes
    # A session that could not be driven proves nothing, even when both sides fail alike.
    problems = ["could not be compared: %s" % o["failure"] for o in outcomes if "failure" in o]
    for key in sorted(set(old) | set(new)):
        a, b = old.get(key), new.get(key)
        if a != b and key != "failure":
            if isinstance(a, bytes) and isinstance(b, bytes):
                differing = sum(1 for i in range(0, min(len(a), len(b)), 3) if a[i:i + 3] != b[i:i + 3])
                problems.append("%s: %d pixels differ" % (key, differing))
            else:
                show = lambda v: "<picture>" if isinstance(v, bytes) else repr(v)
                problems.append("%s: %s vs %s" % (key, show(a), show(b)))
    note = "; ".join("%s %s" % (key, "failed: " + old[key] if key == "failure" else "<picture>" if isinstance(
        old[key], bytes) else old[key]) for key in sorted(old))
    return {"problems": problems, "note": note}


JOBS = {"run": job_run, "probe": job_probe, "author": job_author}


def worker(binaries):
    """Reads jobs as JSON lines on stdin, answers each with one protocol line on stdout."""
    scratch_root = tempfile.mkdtemp(prefix="kestrune-compare-")
    print(PROTOCOL + json.dumps("ready"), flush=True)
    try:
        for number, line in enumerate(sys.stdin):
            job = json.loads(line)
            scratch = os.path.join(scratch_root, str(number))
            try:
                answer = JOBS[job["kind"]](job, scratch, binaries)
            except Exception as error:  # a broken job is a finding, not the end of the run
                answer = {"problems": ["the comparison itself failed: %r" % error], "note": ""}
            shutil.rmtree(scratch, ignore_errors=True)
            print(PROTOCOL + json.dumps(answer), flush=True)
    finally:
        shutil.rmtree(scratch_root, ignore_errors=True)


# ---------------------------------------------------------------------------------------------
# The controller: two workers, each under its own xvfb-run.

class Worker:
    def __init__(self, binaries):
        command = ["xvfb-run", "-a", "-s", SCREEN, sys.executable, os.path.abspath(__file__), "--worker"] + binaries
        self.process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        self.answer()  # started one after the other: xvfb-run -a picks a free display by looking

    def answer(self):
        for line in self.process.stdout:
            if line.startswith(PROTOCOL):
                return json.loads(line[len(PROTOCOL):])
        raise RuntimeError("a worker ended early (exit %s)" % self.process.wait())

    def ask(self, job):
        self.process.stdin.write(json.dumps(job) + "\n")
        self.process.stdin.flush()
        return self.answer()

    def close(self):
        self.process.stdin.close()
        self.process.wait()


def run_pool(workers, jobs, on_answer):
    """Runs jobs on the workers, at most one per worker at a time; on_answer(job, answer)."""
    pending = queue.Queue()
    for job in jobs:
        pending.put(job)
    lock = threading.Lock()

    def serve(worker_):
        while True:
            try:
                job = pending.get_nowait()
            except queue.Empty:
                return
            try:
                answer = worker_.ask(job)
            except Exception as error:  # the worker or its virtual screen died: the other one goes on
                with lock:
                    on_answer(job, {"problems": ["the worker ended: %s" % error], "note": ""})
                return
            with lock:
                on_answer(job, answer)

    threads = [threading.Thread(target=serve, args=(w,)) for w in workers]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()


def demos():
    found = ["bundled"]
    examples = os.path.join(REPO, "examples")
    found += sorted(name for name in os.listdir(examples) if os.path.isdir(os.path.join(examples, name, "assets")))
    return found


def seconds(step):
    return "%.3f" % (step / 60.0)


def comparison_jobs(ends, quick, cap, corpus_root):
    jobs = []
    for demo in demos():
        end = ends[demo]
        frames = QUICK_FRAMES if quick else min(cap, (end or cap) + 30)
        jobs.append({"kind": "run", "demo": demo, "args": ["--render", "out", "--frames", str(frames)]})
        if end:
            # Quarter-second steps, inside the demo, and one second past its end.
            quarter = lambda fraction: max(15, int(end * fraction) // 15 * 15)
            starts = [quarter(0.3), quarter(0.7), end + 60]
            if starts[1] >= end:
                starts[1] = max(1, end - 1)
            if starts[0] >= starts[1]:
                starts[0] = max(1, starts[1] // 2)
        else:
            starts = [120, 450, 900]
        for start in starts:
            jobs.append({"kind": "run", "demo": demo,
                         "args": ["--render", "out", "--start", seconds(start), "--frames", "2"]})
        jobs.append({"kind": "run", "demo": demo, "args": ["--check"]})
        jobs.append({"kind": "author", "demo": demo, "start": seconds(starts[1]), "step": starts[1]})
    for corpus in ("fuzz_script", "fuzz_cutscene"):
        folder = os.path.join(corpus_root, corpus)
        if not os.path.isdir(folder):
            continue
        for name in sorted(os.listdir(folder)):
            script = os.path.join(folder, name)
            for args in (["--render", "out", "--frames", "5"], ["--render", "out", "--start", "0.25", "--frames", "2"]):
                jobs.append({"kind": "run", "demo": "bundled", "script": script, "args": args, "limit": 60,
                             "label": "%s/%s" % (corpus, name)})
    return jobs


def describe(job):
    if job["kind"] == "author":
        return "%s: author --start %s, paused at step %d" % (job["demo"], job["start"], job["step"])
    where = job.get("label", job["demo"])
    return "%s: %s%s" % (where, "timeout %d " % job["limit"] if job.get("limit") else "", " ".join(job["args"]))


def main(argv):
    if len(argv) >= 2 and argv[1] == "--worker":
        worker(argv[2:4])
        return 0
    arguments = [a for a in argv[1:] if a != "--quick"]
    quick = "--quick" in argv[1:]
    cap = FULL_FRAMES_CAP
    if "--frames" in arguments:
        at = arguments.index("--frames")
        cap = int(arguments[at + 1]) if arguments[at + 1:] and arguments[at + 1].isdigit() else 0
        del arguments[at:at + 2]
    corpus_root = os.path.join(REPO, "tests", "fuzz", "corpus")
    if "--corpus" in arguments:
        at = arguments.index("--corpus")
        corpus_root = os.path.abspath(arguments[at + 1]) if arguments[at + 1:] else ""
        del arguments[at:at + 2]
    only = None
    if "--only" in arguments:
        at = arguments.index("--only")
        only = re.compile(arguments[at + 1]) if arguments[at + 1:] else None
        del arguments[at:at + 2]
    if len(arguments) != 2 or cap < 1 or not all(os.access(a, os.X_OK) for a in arguments) or \
            not os.path.isdir(corpus_root):
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    binaries = [os.path.abspath(a) for a in arguments]
    began = time.time()
    counts = {"same": 0, "different": 0}
    workers = [Worker(binaries) for _ in range(WORKERS)]
    try:
        ends = {}
        run_pool(workers, [{"kind": "probe", "demo": d} for d in demos()],
                 lambda job, answer: ends.__setitem__(job["demo"], answer))
        for demo in demos():
            if not isinstance(ends.get(demo), int):
                ends[demo] = None
            print("%s: %s" % (demo, "ends after %d steps" % ends[demo] if ends[demo] else "runs past %d s" %
                                  PROBE_SECONDS), flush=True)

        def report(job, answer):
            if answer["problems"]:
                counts["different"] += 1
                print("%s: DIFFERENT: %s" % (describe(job), "; ".join(answer["problems"])), flush=True)
            else:
                counts["same"] += 1
                print("%s: same (%s)" % (describe(job), answer["note"]), flush=True)

        jobs = [job for job in comparison_jobs(ends, quick, cap, corpus_root) if only is None or only.search(describe(job))]
        run_pool(workers, jobs, report)
        missing = len(jobs) - counts["same"] - counts["different"]
        if missing:
            counts["different"] += missing
            print("DIFFERENT: %d comparisons were not run (no worker left)" % missing)
    finally:
        for w in workers:
            try:
                w.close()
            except OSError:
                pass
    print("%d same, %d different" % (counts["same"], counts["different"]))
    print("wall time %.0f s" % (time.time() - began))
    return 1 if counts["different"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
