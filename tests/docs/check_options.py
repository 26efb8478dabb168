#!/usr/bin/env python3
"""The option table's documents against the table itself.

usage: check_options.py <repository root> <kestrune_manual binary> <manuals folder> <kestrune binary>

  - README.md and docs/script-reference.md each hold, between their "options-table" markers, exactly
    the table that kestrune_manual prints (--readme, --reference);
  - every option that `kestrune --help` lists is in that table;
  - the manual page formats without a warning (groff -ww -man -z) and lexgrog finds its NAME line;
  - the zsh and fish completions parse (zsh -n, fish -n).
"""

import os
import re
import subprocess
import sys

ROOT, MANUAL, MANUALS, KESTRUNE = sys.argv[1:5]
failures = []


def generated_block(relative, flag):
    path = os.path.join(ROOT, relative)
    with open(path, encoding="utf-8") as source:
        text = source.read()
    match = re.search(r"<!-- options-table: [^\n]*-->\n(.*?)<!-- end options-table -->", text, re.S)
    if not match:
        failures.append(f"{relative}: no <!-- options-table: ... --> ... <!-- end options-table --> block")
        return ""
    expected = subprocess.run([MANUAL, flag], check=True, capture_output=True, text=True).stdout
    if match.group(1) != expected:
        failures.append(f"{relative}: the option table differs from `kestrune_manual {flag}`; "
                        f"replace the block with its output. Expected:\n{expected}\nFound:\n{match.group(1)}")
    return match.group(1)


readme = generated_block("README.md", "--readme")
generated_block(os.path.join("docs", "script-reference.md"), "--reference")

help_text = subprocess.run([KESTRUNE, "--help"], check=True, capture_output=True, text=True).stdout
options = re.findall(r"^  (--[a-z-]+)", help_text, re.M)
if len(options) < 20:
    failures.append(f"kestrune --help lists only {len(options)} options")
for option in options:
    if f"| `{option}" not in readme:
        failures.append(f"README.md's option table lacks {option}, which kestrune --help lists")

page = os.path.join(MANUALS, "kestrune.1")
groff = subprocess.run(["groff", "-ww", "-man", "-z", page], capture_output=True, text=True)
if groff.returncode != 0 or groff.stderr.strip():
    failures.append(f"groff -ww -man -z {page}: status {groff.returncode}\n{groff.stderr}")
lexgrog = subprocess.run(["lexgrog", page], capture_output=True, text=True)
if lexgrog.returncode != 0 or "kestrune - play, check and render scripted demos" not in lexgrog.stdout:
    failures.append(f"lexgrog {page}: status {lexgrog.returncode}: {lexgrog.stdout}{lexgrog.stderr}")
for option in options:
    if "\\fB" + option.replace("-", "\\-") + "\\fR" not in open(page, encoding="utf-8").read():
        failures.append(f"the manual page lacks {option}")

for shell, name in (("zsh", "_kestrune"), ("fish", "kestrune.fish"), ("bash", "kestrune.bash")):
    checked = subprocess.run([shell, "-n", os.path.join(MANUALS, name)], capture_output=True, text=True)
    if checked.returncode != 0 or checked.stderr.strip():
        failures.append(f"{shell} -n {name}: status {checked.returncode}\n{checked.stderr}")

for failure in failures:
    print("FAIL:", failure)
print(f"{len(options)} options checked; {len(failures)} failures")
sys.exit(1 if failures else 0)
