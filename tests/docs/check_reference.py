#!/usr/bin/env python3
"""Fails when docs/script-reference.md falls behind the code.

usage: check_reference.py <repository root> <easing_plot binary> <kestrune binary>

The names come from the code itself, never from a copy:
  - script commands, their parameter counts and parameter kinds, the % constants and the easing
    numbers from the player's own tables, as `kestrune --list-commands --json` prints them;
  - the table of curve samples printed by easing_plot (the player's own ease()), which the
    reference must hold verbatim, and the picture docs/easing.png, which must be what easing_plot
    draws;
  - the JSON keys that the loaders read: every identifier-like string literal in the catalog,
    effects and animation loaders, config.json's rows among them;
  - the example folders under examples/;
  - each command's one-line description, which the reference's summary table must hold word for
    word (the tables are the only copy; the language server shows the same line on hover).
"""

import json
import os
import re
import subprocess
import sys
import tempfile

ROOT = sys.argv[1]
EASING_PLOT = sys.argv[2]
KESTRUNE = sys.argv[3]
DOC_PATH = os.path.join(ROOT, "docs", "script-reference.md")

failures = []


def read(relative):
    with open(os.path.join(ROOT, relative), encoding="utf-8") as source:
        return source.read()


def strip_comments(code):
    code = re.sub(r"/\*.*?\*/", "", code, flags=re.S)
    return re.sub(r"//[^\n]*", "", code)


def fail(message):
    failures.append(message)


DOC = read(os.path.join("docs", "script-reference.md"))


def mentioned(name):
    """The reference writes names in backticks, alone or starting a signature."""
    return re.search(r"`" + re.escape(name) + r"[ `]", DOC) is not None


def language():
    """The commands, constants and easing curves as the player's tables hold them."""
    listing = subprocess.run([KESTRUNE, "--list-commands", "--json"], check=True, capture_output=True, text=True)
    return json.loads(listing.stdout)


LANGUAGE = language()


def stated_needs(name):
    """Parameter counts the reference states for a command: table rows and "(needs N" notes."""
    counts = re.findall(r"\|\s*`" + re.escape(name) + r"`\s*\|\s*(\d+)\s*\|", DOC)
    counts += re.findall(r"`" + re.escape(name) + r"(?: [^`]*)?`\s*\(needs (\d+)", DOC)
    return {int(c) for c in counts}


def check_commands():
    commands = LANGUAGE["commands"]
    if len(commands) < 70:
        fail(f"found only {len(commands)} commands in the listing")
    kinds = set()
    for command in commands:
        name, needs = command["name"], command["needs"]
        kinds.update(param["kind"] for param in command["params"])
        if not mentioned(name):
            fail(f"command {name} is not documented")
            continue
        stated = stated_needs(name)
        if stated and stated != {needs}:
            fail(f"command {name} needs {needs} parameters, the reference says {sorted(stated)}")
    # The kinds the listing names, each explained in the reference's table of kinds.
    for kind in sorted(kinds):
        if not re.search(r"^\| `" + re.escape(kind) + r"` \|", DOC, flags=re.M):
            fail(f"parameter kind {kind} is not in the reference's table of kinds")


def check_constants():
    constants = LANGUAGE["constants"]
    if len(constants) < 20:
        fail(f"found only {len(constants)} constants in the listing")
    for constant in constants:
        name, value = constant["name"], constant["value"]
        if constant["section"] == "scene":
            if not re.search(r"\|\s*`" + re.escape(name) + r"`\s*\|\s*" + re.escape(value) + r"\b", DOC):
                fail(f"constant {name} = {value} is not in the reference's constant table")
        elif name.startswith("%flag_") and name not in ("%flag_0", "%flag_8"):
            continue  # documented as the range %flag_0 ... %flag_8
        elif not mentioned(name):
            fail(f"constant {name} is not documented")


def check_easing():
    numbers = [str(easing["number"]) for easing in LANGUAGE["easings"]]
    if len(numbers) < 19:
        fail(f"easing numbers: found only {len(numbers)} in the listing")
    for number in numbers:
        if not re.search(r"^\| " + number + r" \|", DOC, flags=re.M):
            fail(f"easing number {number} has no row in the easing table")
    table = subprocess.run([EASING_PLOT, "--table"], check=True, capture_output=True, text=True).stdout
    block = re.search(r"<!-- easing-table:[^\n]*-->\n(.*?)<!-- end of easing-table -->", DOC, flags=re.S)
    if not block:
        fail("the easing table markers are missing")
    elif block.group(1) != table:
        fail("the easing table differs from `easing_plot --table`; paste its output between the markers")
    for number in numbers:
        if f"| {number} |" not in table:
            fail(f"easing_plot does not draw easing number {number}")
    # The picture must be the one our curves draw today.
    with tempfile.TemporaryDirectory() as folder:
        drawn = os.path.join(folder, "easing.png")
        subprocess.run([EASING_PLOT, drawn], check=True)
        with open(drawn, "rb") as fresh, open(os.path.join(ROOT, "docs", "easing.png"), "rb") as shipped:
            if fresh.read() != shipped.read():
                fail("docs/easing.png is not what easing_plot draws; run: build/easing_plot docs/easing.png")


# Identifier-like literals in the loaders that are not JSON keys: uniform and file names the
# loaders set themselves, and message words. Each must stay true, or the key must be documented.
NOT_KEYS = {"currentTexture", "inputTexture"}


def loader_keys():
    keys = {}
    # The key descriptions the loaders read with: every JsonKey row and the top-level key of
    # every JsonFormat, wherever a loader keeps them.
    described = []
    for folder in ("src/catalogs", "src/effects", "src/scene"):
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            if name.endswith((".cpp", ".hpp")):
                described.append(os.path.join(folder, name))
    for source in described:
        code = strip_comments(read(source))
        for key in re.findall(r'JsonKey\s+\w+\s*\{\s*"([A-Za-z_][A-Za-z0-9_]*)"', code):
            keys.setdefault(key, source)
        for key in re.findall(r'JsonFormat\s+\w+\s*\{\s*"([A-Za-z_][A-Za-z0-9_]*)"', code):
            keys.setdefault(key, source)
    # Any other identifier-like literal of the loaders. Component names are capitalised and
    # messages hold spaces or dots, so an identifier starting with a lower-case letter is a key
    # the loader reads (or writes for the shader).
    sources = []
    for folder in ("src/catalogs", "src/effects"):
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            if name.endswith(".cpp"):
                sources.append(os.path.join(folder, name))
    sources.append("src/scene/AnimationCollection.cpp")
    for source in sources:
        # A problem's heading is the first word of a console line, not a key.
        code = re.sub(r'\.headed\(\s*"[^"]*"\s*\)', "", strip_comments(read(source)))
        for literal in re.findall(r'"([a-z][A-Za-z0-9_]*)"', code):
            keys.setdefault(literal, source)
    # config.json's rows are among the catalogs' rows above; this guards against their moving.
    config_source = "src/catalogs/DemoConfig.hpp"
    config = re.findall(r'JsonKey\s+\w+\s*\{\s*"(\w+)"', strip_comments(read(config_source)))
    if len(config) < 4:
        fail(f"configuration keys: found only {len(config)} in {config_source}")
    return keys


def check_keys():
    keys = loader_keys()
    if len(keys) < 20:
        fail(f"catalog keys: found only {len(keys)}")
    for key, source in sorted(keys.items()):
        if key in NOT_KEYS:
            continue
        if f'"{key}"' not in DOC:
            fail(f'key "{key}" read by {source} is not documented')
    for key in NOT_KEYS:
        if f"`{key}`" not in DOC:
            fail(f"uniform {key} is not documented")


def check_examples():
    folder = os.path.join(ROOT, "examples")
    if not os.path.isdir(folder):
        return
    for name in sorted(os.listdir(folder)):
        if os.path.isdir(os.path.join(folder, name)) and f"`examples/{name}`" not in DOC:
            fail(f"example {name} is not listed in the reference")


def check_descriptions():
    block = re.search(r"<!-- command-descriptions:[^\n]*-->\n(.*?)<!-- end of command-descriptions -->", DOC, flags=re.S)
    if not block:
        fail("the command-descriptions markers are missing")
        return
    written = {}
    for line in block.group(1).splitlines():
        row = re.fullmatch(r"\| `([^`]+)` \| (.*) \|", line)
        if row:
            if row.group(1) in written:
                fail(f"command {row.group(1)} has two rows in the table of descriptions")
            written[row.group(1)] = row.group(2)
        elif line not in ("| Command | What it does |", "|---|---|"):
            fail(f"the table of descriptions holds a line that is not a row: {line!r}")
    described = {command["name"]: command.get("description", "") for command in LANGUAGE["commands"]}
    for name, description in described.items():
        if not description:
            fail(f"command {name} has no description in the player's table")
        elif name not in written:
            fail(f"command {name} has no row in the table of descriptions; its line: | `{name}` | {description} |")
        elif written[name] != description:
            fail(f"command {name}: the reference says {written[name]!r}, the player's table {description!r}")
    for name in written:
        if name not in described:
            fail(f"the table of descriptions holds {name}, which is not a command")
    # The table keeps the listing's order, so that a new row has one place to go.
    ordered = [name for name in described if name in written]
    if ordered != [name for name in written if name in described]:
        fail("the table of descriptions is not in the order of kestrune --list-commands")


def check_wording():
    # The reference is written for authors, in the player's own terms.
    for match in re.finditer(r"\bspec(ification)?\b|\bPart \d", DOC):
        fail(f"the reference mentions {match.group(0)!r}")


check_commands()
check_constants()
check_easing()
check_keys()
check_examples()
check_descriptions()
check_wording()

for message in failures:
    print("script-reference: " + message)
if failures:
    print(f"script-reference: {len(failures)} problem(s) in {DOC_PATH}")
    sys.exit(1)
print("script-reference: commands, constants, easing numbers, keys, examples and descriptions are all documented")
