#!/usr/bin/env python3
"""The bash completion made from the option table, called as bash calls it.

usage: completion_test.py <kestrune.bash> <kestrune.fish>

Each row sets COMP_WORDS and COMP_CWORD in a fresh bash that sourced the file, calls _kestrune in a
folder of demos and files, and compares COMPREPLY with what the row expects. The fish completion
answers fish's own `complete -C` for a few of the same lines.
"""

import os
import subprocess
import sys
import tempfile

COMPLETION = os.path.abspath(sys.argv[1])
FISH = os.path.abspath(sys.argv[2])
failures = []

with tempfile.TemporaryDirectory() as root:
    def make(path, text=""):
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8", newline="") as out:
            out.write(text)

    # This folder's demo, and another one named on the line; the labels' own syntax (a name ends at
    # the next colon; CRLF lines), and the two sections, which are no start points.
    make("assets/demo.script", "log hi\n:intro\ndelay 1\n:orbit:x\n  :finale\r\nexit\n:init\nexit\n:render\nexit\n")
    make("other/assets/demo.script", ":alpha\ndelay 1\n:omega\n")
    make("clip.gif")
    make("take.mkv")
    make("notes.txt")
    os.makedirs(os.path.join(root, "frames"))

    rows = [
        # (words, the word being completed, expected replies)
        (["kestrune", "--st"], 1, {"--start", "--stats"}),
        (["kestrune", "--he"], 1, {"--help"}),
        (["kestrune", "--render", "out", "--fps", ""], 4, {"60", "30"}),
        (["kestrune", "--fps", "=", "3"], 3, {"30"}),
        (["kestrune", "--start", ""], 2, {"intro", "orbit", "finale"}),
        (["kestrune", "--author", "--start", "o"], 3, {"orbit"}),
        (["kestrune", "--start", "=", "f"], 3, {"finale"}),
        (["kestrune", "other", "--start", ""], 3, {"alpha", "omega"}),
        (["kestrune", "--start", "", "other"], 2, {"intro", "orbit", "finale"}),
        (["kestrune", "--render", "fr"], 2, {"frames", "fr.mp4", "fr.webm", "fr.mkv", "fr.mov", "fr.gif"}),
        (["kestrune", "--render", "c"], 2, {"clip.gif", "c.mp4", "c.webm", "c.mkv", "c.mov", "c.gif"}),
        (["kestrune", "--render", "t"], 2, {"take.mkv", "t.mp4", "t.webm", "t.mkv", "t.mov", "t.gif"}),
        (["kestrune", "--render", "notes."], 2, set()),
        (["kestrune", "--frames", ""], 2, set()),
        (["kestrune", "--send", ""], 2, {"assets", "other", "frames"}),
        (["kestrune", ""], 1, {"assets", "other", "frames"}),
        (["kestrune", "--check", "o"], 2, {"other"}),
    ]
    for words, cword, expected in rows:
        script = ('source "$0"; COMP_CWORD=$1; shift; COMP_WORDS=("$@"); _kestrune; '
                  '[ ${#COMPREPLY[@]} -eq 0 ] || printf "%s\\n" "${COMPREPLY[@]}"')
        done = subprocess.run(["bash", "--norc", "--noprofile", "-c", script, COMPLETION, str(cword)] + words,
                              cwd=root, capture_output=True, text=True)
        got = set(line for line in done.stdout.split("\n") if line)
        if done.returncode != 0 or done.stderr or got != expected:
            failures.append(f"{words} at {cword}: expected {sorted(expected)}, got {sorted(got)} "
                            f"(status {done.returncode}) {done.stderr}")

    fish_rows = [
        ("kestrune --st", {"--start", "--stats"}),
        ("kestrune --render out --fps ", {"60", "30"}),
        ("kestrune --start ", {"intro", "orbit", "finale"}),
        ("kestrune other --start ", {"alpha", "omega"}),
        ("kestrune --start o", {"orbit"}),
    ]
    for line, expected in fish_rows:
        done = subprocess.run(["fish", "--no-config", "-c", 'source $argv[1]; complete -C $argv[2]', FISH, line],
                              cwd=root, capture_output=True, text=True)
        got = set(reply.split("\t")[0] for reply in done.stdout.split("\n") if reply)
        if done.returncode != 0 or done.stderr or got != expected:
            failures.append(f"fish: {line!r}: expected {sorted(expected)}, got {sorted(got)} "
                            f"(status {done.returncode}) {done.stderr}")
    rows += fish_rows

for failure in failures:
    print("FAIL:", failure)
print(f"{len(rows)} completions checked; {len(failures)} failures")
sys.exit(1 if failures else 0)
