#!/usr/bin/env python3
"""The label times of `kestrune --timeline` against `--start`, through the real binary.

usage: label_times.py <kestrune binary> <demo folder>

--timeline works out every label's first arrival in one quiet run of the demo; `--render OUT --start LABEL --frames 1` seeks to one label in a fresh process and
its summary says how many steps ran before its one frame. For every label the timeline reaches,
the two step counts must be equal; a label the timeline never reaches must make --start fail.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

BINARY, DEMO = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
NAME = os.path.basename(os.path.normpath(DEMO))


def run(args):
    environment = dict(os.environ, ALSOFT_DRIVERS="null")
    result = subprocess.run([BINARY] + args, env=environment, timeout=240, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return result.returncode, result.stdout.decode("utf-8", "replace"), result.stderr.decode("utf-8", "replace")


def main():
    code, out, err = run(["--timeline", "--json", DEMO])
    if code != 0:
        print(f"label times {NAME}: --timeline --json exit {code}\n{out}\n{err}")
        return 1
    labels = json.loads(out)["labels"]
    if not labels:
        # Only right when the script has no label of the main flow (init and render are sections).
        with open(os.path.join(DEMO, "assets", "demo.script"), encoding="utf-8", errors="replace") as script:
            written = {line.strip()[1:].split(":")[0].strip() for line in script if line.strip().startswith(":")}
        main_flow = sorted(written - {"init", "render"})
        if main_flow:
            print(f"label times {NAME}: the timeline lists no label, the script has {', '.join(main_flow)}")
            return 1
        print(f"label times {NAME}: no label of the main flow (only {', '.join(sorted(written)) or 'none'})")
        return 0
    problems = []
    folder = tempfile.mkdtemp(prefix=f"kestrune-times-{NAME}-")
    try:
        for entry in labels:
            label = entry["label"]
            code, out, err = run(["--render", folder, "--start", label, "--frames", "1", DEMO])
            if not entry.get("reached"):
                if code == 0:
                    problems.append(f"{label}: never reached by the timeline, but --start {label} rendered")
                else:
                    print(f"label times {NAME}: {label} never reached; --start says so (exit {code})")
                continue
            ran = re.search(r"kestrune: rendered 1 frames \((\d+) steps", out)
            if code != 0 or not ran:
                problems.append(f"{label}: --start {label} --frames 1 exit {code}, no summary\n{out}\n{err}")
                continue
            steps = int(ran.group(1))
            verdict = "equal" if steps == entry["step"] else "DIFFERENT"
            print(f"label times {NAME}: {label}: timeline step {entry['step']}, --start step {steps}: {verdict}")
            if steps != entry["step"]:
                problems.append(f"{label}: the timeline says step {entry['step']}, --start arrives at step {steps}")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    for problem in problems:
        print(f"label times {NAME}: {problem}")
    return 1 if problems else 0


sys.exit(main())
