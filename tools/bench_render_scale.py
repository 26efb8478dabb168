#!/usr/bin/env python3
"""Render-at-scale benchmark: frames per second of one process against --jobs 2, for PNG frames
and for an .mp4, side by side in one run on the bundled demo, with how much of the machine's
cores each uses; then the seek cost, and from both the expected time of a three-minute demo on 1,
8 and 64 machines, checked against the measured 1- and 2-process runs.

usage: tools/bench_render_scale.py [kestrune binary] [frames]   (runs itself under xvfb-run)
It prints figures; it asserts nothing about speed.
"""

import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def run(binary, demo, args):
    """(wall seconds, cores busy, stdout + stderr) of one render."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    result = subprocess.run([binary] + args, cwd=demo, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            stdin=subprocess.DEVNULL, env=dict(os.environ, ALSOFT_DRIVERS="null"))
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    text = result.stdout.decode(errors="replace")
    if result.returncode != 0:
        sys.exit("kestrune %s failed:\n%s" % (" ".join(args), text))
    return wall, cpu / wall, text


def main():
    if not os.environ.get("DISPLAY"):
        os.execvp("xvfb-run", ["xvfb-run", "-a", "-s", "-screen 0 1920x1080x24", sys.executable] + sys.argv)
    binary = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "kestrune"))
    frames = int(sys.argv[2]) if len(sys.argv) > 2 else 240
    demo = tempfile.mkdtemp(prefix="kestrune-scale-bench-")
    shutil.copy2(os.path.join(ROOT, "config.json"), demo)
    shutil.copytree(os.path.join(ROOT, "assets"), os.path.join(demo, "assets"))
    out = os.path.join(demo, "out")
    try:
        print("%d frames of the bundled demo, %d cores, load average %.1f before" % (
            frames, os.cpu_count(), os.getloadavg()[0]))
        print("%-22s %8s %8s %12s %16s" % ("render", "seconds", "fps", "cores busy", "CPU s per frame"))
        rates = {}
        for name, args in (("PNG, 1 process", ["--render", out]),
                           ("PNG, --jobs 2", ["--render", out, "--jobs", "2"]),
                           ("mp4, 1 process", ["--render", out + ".mp4"]),
                           ("mp4, --jobs 2", ["--render", out + ".mp4", "--jobs", "2"])):
            wall, cores, _ = run(binary, demo, args + ["--frames", str(frames)])
            rates[name] = (wall, frames / wall, cores)
            print("%-22s %8.2f %8.2f %12.2f %16.3f" % (name, wall, frames / wall, cores, cores * wall / frames))

        # Start-up: a one-frame render. Seek cost: the last of 100 parts of the whole demo first
        # finds where the demo ends (a seek through all of it), then seeks back to 99% of it; its
        # summary says how long reaching its first frame took.
        startup, startup_cores, _ = run(binary, demo, ["--render", out, "--frames", "1"])
        _, _, text = run(binary, demo, ["--render", out, "--part", "100/100"])
        found = re.search(r"frames (\d+) to (\d+) of 1 to (\d+),.*reached its first frame in ([0-9.e-]+) s", text)
        first, steps, seek = int(found.group(1)), int(found.group(3)), float(found.group(4))
        seek_per_step = seek / (steps + first)
        print("\nstart-up and one frame: %.2f s; the demo runs %d steps (%.1f s); finding its end and seeking "
              "back to frame %d: %.2f s (%.3f ms per step)" % (startup, steps, steps / 60.0, first, seek,
                                                               seek_per_step * 1000))

        # The model: each of M machines loads the demo, finds its end (a seek through the whole
        # demo), seeks to its first frame, renders F/M frames at one process's rate; the last part
        # seeks furthest. The join copies the parts' videos (measured in the 2-process runs'
        # overhead, left out here).
        one_png = rates["PNG, 1 process"][1]
        one_mp4 = rates["mp4, 1 process"][1]
        print("\nexpected time of a three-minute demo (10800 frames at 60 fps):")
        print("%-10s %14s %14s" % ("machines", "PNG", "mp4"))
        demo_steps = 10800
        for machines in (1, 8, 64):
            seek_steps = 0 if machines == 1 else demo_steps + demo_steps * (machines - 1) / machines
            cost = [startup + seek_steps * seek_per_step + demo_steps / machines / rate for rate in (one_png, one_mp4)]
            print("%-10d %11.1f min %11.1f min" % (machines, cost[0] / 60, cost[1] / 60))

        # Check: the 2-process runs predicted from the 1-process figures. Wall time: on two free
        # cores, a process that keeps c cores busy runs at most cores / (2 c) of its own speed beside
        # another. CPU time, which other work on the machine does not change: the one-process
        # render's, plus one more start-up, plus the second part's seek over half the frames.
        print("\nmodel against the measured runs of %d frames:" % frames)
        cores = os.cpu_count()
        for kind in ("PNG", "mp4"):
            wall1, rate1, busy1 = rates[kind + ", 1 process"]
            wall2, _, busy2 = rates[kind + ", --jobs 2"]
            share = min(1.0, cores / (2 * busy1))
            predicted = startup + frames / 2 * seek_per_step + frames / 2 / (rate1 * share)
            cpu_predicted = wall1 * busy1 + startup * startup_cores + frames / 2 * seek_per_step
            print("%s: 1 process %.2f s (model %.2f s); 2 processes %.2f s (model %.2f s, each at %.0f%% of its own "
                  "speed); CPU time of 2 processes %.1f s (model %.1f s)" % (
                      kind, wall1, startup + frames / rate1, wall2, predicted, share * 100, wall2 * busy2,
                      cpu_predicted))
        print("load average %.1f after (other work on the machine slows every figure above)" % os.getloadavg()[0])
    finally:
        shutil.rmtree(demo, ignore_errors=True)


if __name__ == "__main__":
    main()
