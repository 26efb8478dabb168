#!/usr/bin/env python3
"""`kestrune --timeline` on a script with many labels, through the real binary.

usage: timeline_test.py <kestrune binary>

A script of 400 labels, each followed by a one-second wait, is timed against the same script with one
label: the label times come from one quiet run of the demo, so the 400 labels cost about what the
run to the demo's end costs anyway, and not one run from the start per label. Processor time is
compared (not wall time), with a wide margin, so that a busy machine does not decide the outcome.
Every label's step is the arrival the equal waits give, the length is the one label's, and one of them is checked against where
`--render --start LABEL` lands in a fresh process.
"""

import json
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BINARY = os.path.abspath(sys.argv[1])
LABELS = 400

RENDER = """:init
create_buffer main
exit
:render
clear_buffer main
display_buffer main
render_scene main
exit
"""


def script(labelled):
    lines = []
    for i in range(LABELS):
        if labelled or i == 0:
            lines.append(f":l{i}")
        lines.append("delay 1")
    lines.append("exit")
    return "\n".join(lines) + "\n" + RENDER


def demo(folder, labelled):
    shutil.copytree(os.path.join(HERE, "base"), folder)
    with open(os.path.join(folder, "assets", "demo.script"), "w", encoding="utf-8") as out:
        out.write(script(labelled))


def run(args):
    """Exit status, standard output, the processor seconds and the wall seconds the run took."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    started = time.monotonic()
    result = subprocess.run([BINARY] + args, env=dict(os.environ, ALSOFT_DRIVERS="null"), timeout=600,
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    wall = time.monotonic() - started
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return result.returncode, result.stdout.decode("utf-8", "replace"), cpu, wall


def main():
    work = tempfile.mkdtemp(prefix="kestrune-timeline-")
    try:
        many, one = os.path.join(work, "many"), os.path.join(work, "one")
        demo(many, True)
        demo(one, False)
        code_one, out_one, cpu_one, wall_one = run(["--timeline", "--json", one])
        code_many, out_many, cpu_many, wall_many = run(["--timeline", "--json", many])
        print(f"timeline: {LABELS} labels took {cpu_many:.2f} s of processor time ({wall_many:.2f} s), "
              f"1 label {cpu_one:.2f} s ({wall_one:.2f} s)")
        if code_one != 0 or code_many != 0:
            print(f"timeline: exit {code_one} and {code_many}\n{out_one}\n{out_many}")
            return 1
        timeline = json.loads(out_many)
        steps = [entry.get("step") for entry in timeline["labels"]]
        problems = []
        if [entry["label"] for entry in timeline["labels"]] != [f"l{i}" for i in range(LABELS)]:
            problems.append("the labels are not l0 to l399 in order")
        elif None in steps[:2] or steps[1] <= steps[0]:
            problems.append(f"l0 and l1 arrive at steps {steps[:2]}")
        else:
            # Every wait is as long as the first.
            expected = [steps[0] + i * (steps[1] - steps[0]) for i in range(LABELS)]
            if steps != expected:
                wrong = next(i for i in range(LABELS) if steps[i] != expected[i])
                problems.append(f"l{wrong} arrives at step {steps[wrong]}, where the waits put it at {expected[wrong]}")
        one_length = json.loads(out_one)["length"]
        if not timeline["length"] or timeline["length"] != one_length:
            problems.append(f"the length is {timeline['length']} with 400 labels, {one_length} with one")
        # The same arrival as a fresh --start.
        frames = os.path.join(work, "frames")
        code, out, _, _ = run(["--render", frames, "--start", "l250", "--frames", "1", many])
        ran = re.search(r"rendered 1 frames \((\d+) steps", out)
        if code != 0 or not ran or int(ran.group(1)) != steps[250]:
            problems.append(f"--start l250 says {out.strip()!r} (exit {code}); the timeline says {steps[250]}")
        # One run of the demo for every label would take hundreds of times the single run.
        if cpu_many > 3 * cpu_one + 2.0:
            problems.append(f"{LABELS} labels took {cpu_many:.2f} s against {cpu_one:.2f} s for one: "
                            "more than one run of the demo")
        for problem in problems:
            print(f"timeline: {problem}")
        return 1 if problems else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


sys.exit(main())
