#!/usr/bin/env python3
"""The README's Neovim configuration, in Debian's Neovim (0.7), against the real server.

usage: neovim_test.py <kestrune binary>

The Lua block of the README that starts with "-- Neovim" is the configuration, word for word;
`kestrune` is found on PATH, as an author's would be. neovim_test.lua then drives Neovim headless
on a copy of the bundled demo and prints one line per check.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, "..", ".."))
BINARY = os.path.abspath(sys.argv[1])


def main():
    nvim = shutil.which("nvim")
    if not nvim:
        print("neovim test: nvim is missing: run bash tools/setup.sh")
        return 1
    with open(os.path.join(REPO, "README.md"), encoding="utf-8") as readme:
        blocks = re.findall(r"```lua\n(.*?)```", readme.read(), re.S)
    configuration = next((block for block in blocks if block.startswith("-- Neovim")), None)
    if configuration is None:
        print("neovim test: the README has no Lua block starting with \"-- Neovim\"")
        return 1
    work = tempfile.mkdtemp(prefix="kestrune-neovim-")
    try:
        demo = os.path.join(work, "demo")
        shutil.copytree(os.path.join(REPO, "assets"), os.path.join(demo, "assets"))
        shutil.copy(os.path.join(REPO, "config.json"), demo)
        programs = os.path.join(work, "bin")
        os.mkdir(programs)
        os.symlink(BINARY, os.path.join(programs, "kestrune"))
        init = os.path.join(work, "init.lua")
        with open(init, "w", encoding="utf-8") as out:
            out.write(configuration)
        home = os.path.join(work, "home")
        environment = dict(os.environ, PATH=programs + os.pathsep + os.environ.get("PATH", ""), HOME=home,
                           XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_DATA_HOME=os.path.join(home, "data"),
                           XDG_STATE_HOME=os.path.join(home, "state"), XDG_CACHE_HOME=os.path.join(home, "cache"),
                           ALSOFT_DRIVERS="null")
        version = subprocess.run([nvim, "--version"], stdout=subprocess.PIPE, text=True).stdout.splitlines()[0]
        print(f"neovim test: {version}")
        result = subprocess.run(
            [nvim, "--headless", "-u", init, "-i", "NONE", "-n", os.path.join(demo, "assets", "demo.script"),
             "-c", "luafile " + os.path.join(HERE, "neovim_test.lua")],
            cwd=demo, env=environment, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
            timeout=240)
        output = result.stdout.decode("utf-8", "replace")
        print(output)
        if result.returncode != 0 or "not ok" in output or "ok - " not in output:
            print(f"neovim test: nvim exit {result.returncode}")
            return 1
        return 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


sys.exit(main())
