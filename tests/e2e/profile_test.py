#!/usr/bin/env python3
"""The profiler through the real kestrune binary.

usage: profile_test.py <kestrune binary> <case>
       profile_test.py --list

The demo draws two passes of the same size into one buffer: `heavy` through a fragment shader
with a long loop per pixel, `cheap` without a shader. Every case checks the trace by the format's
rules (tools/check_trace.py) and that the expensive line is the costliest, at least five times
the cheap one, summed over every frame of the run: on the GPU clock where the driver has timer
queries, and on the CPU clock (each pass finished) where it has not or is told not to use them.
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(REPO, "tools"))
sys.path.insert(0, HERE)
import check_trace  # noqa: E402

HEAVY_SHADER = """#version 120
// A long loop per pixel: the expensive pass.
uniform sampler2D texture;
void main()
{
    vec2 p = gl_TexCoord[0].xy;
    float v = 0.0;
    for (int i = 0; i < 100; ++i)
        v += sin(p.x * float(i) + v) * cos(p.y * float(i) - v);
    gl_FragColor = vec4(fract(v), 0.2, 0.2, 1.0) * gl_Color;
}
"""

SCRIPT = """log profile demo
delay 1
log one second
delay %s
exit
:init
create_buffer main
create_object cheap, red, 0, 0, 0, 0, 480, 270
create_object heavy, green, 0, 0, 0, 0, 480, 270
object_set_pos heavy, 600, 400
object_set_shader heavy, heavy
exit
:render
clear_buffer main
draw_object main, heavy
draw_object main, cheap
display_buffer main
render_scene main
exit
"""
HEAVY = "demo.script:15 draw_object main, heavy"
CHEAP = "demo.script:16 draw_object main, cheap"


class Failure(Exception):
    pass


def demo(wait="1"):
    folder = tempfile.mkdtemp(prefix="kestrune-profile-")
    shutil.copytree(os.path.join(HERE, "base"), folder, dirs_exist_ok=True)
    with open(os.path.join(folder, "assets", "shaders", "heavy.frag"), "w") as f:
        f.write(HEAVY_SHADER)
    with open(os.path.join(folder, "assets", "shaders.json"), "w") as f:
        f.write('{ "shaders": { "heavy": { "fragment": "assets/shaders/heavy.frag" } } }\n')
    with open(os.path.join(folder, "assets", "demo.script"), "w") as f:
        f.write(SCRIPT % wait)
    with open(os.path.join(folder, "config.json"), "w") as f:
        f.write('{ "vsync": false, "music": false }\n')
    return folder


def run(binary, folder, args, env=None):
    environment = dict(os.environ, ALSOFT_DRIVERS="null")
    environment.update(env or {})
    done = subprocess.run([os.path.abspath(binary)] + args, cwd=folder, env=environment, timeout=240,
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out, err = done.stdout.decode(), done.stderr.decode()
    if done.returncode != 0:
        raise Failure("%s: exit %d\n%s%s" % (" ".join(args), done.returncode, out, err))
    return out, err


def checked_trace(path):
    with open(path) as f:
        trace = json.load(f)
    problem = check_trace.fault(trace)
    if problem:
        raise Failure("%s: %s" % (path, problem))
    return trace


def expect_ratio(trace, threads, what):
    """The heavy line first on these threads, at least five times the cheap one."""
    totals = check_trace.totals(trace, threads, "line")
    if not totals or totals[0][0] != HEAVY:
        raise Failure("%s: the costliest line is %s, not %s" % (what, totals[:3], HEAVY))
    cheap = dict(totals).get(CHEAP, 0.0)
    if totals[0][1] < 5 * cheap:
        raise Failure("%s: %s takes %.2f ms, not five times the %.2f ms of %s" % (what, HEAVY, totals[0][1], cheap, CHEAP))
    print("%s: %s %.2f ms, %s %.2f ms (%.1fx)" % (what, HEAVY, totals[0][1], CHEAP, cheap,
                                                 totals[0][1] / max(cheap, 1e-9)))


def expect_ratios(trace, what):
    """With timer queries a pass is not waited for (its CPU time is its submit): the GPU clock
    names it. Without them each pass is finished, and the CPU clock does."""
    if trace["metadata"]["gpu_timer_queries"]:
        expect_ratio(trace, ("gpu",), what + ", gpu clock")
    else:
        print("%s: no timer queries (%s): the cpu clock only" % (what, trace["metadata"]["gl_renderer"]))
        expect_ratio(trace, ("render",), what + ", cpu clock")


def expect_threads(trace, names):
    have = set(check_trace.threads(trace).values())
    busy = {check_trace.threads(trace)[e["tid"]] for e in trace["traceEvents"] if e["ph"] == "X"}
    for name in names:
        if name not in have or name not in busy:
            raise Failure("no events on the thread %r (threads with events: %s)" % (name, sorted(busy)))


def case_render(binary):
    """--render --profile: the trace names the expensive line, and read-back and encoding are in it."""
    folder = demo()
    run(binary, folder, ["--render", "out", "--frames", "30", "--profile", "trace.json"])
    trace = checked_trace(os.path.join(folder, "trace.json"))
    expect_threads(trace, ["step", "render", "post", "read-back and encoding"])
    if trace["metadata"]["frames"] != 30:
        raise Failure("%s frames in the trace, not 30" % trace["metadata"]["frames"])
    expect_ratios(trace, "render")
    shutil.rmtree(folder)


def case_cpu_only(binary):
    """Without timer queries the passes are timed on the CPU clock, and the metadata says so."""
    folder = demo()
    run(binary, folder, ["--render", "out", "--frames", "30", "--profile", "trace.json"],
        env={"KESTRUNE_PROFILE_CPU_ONLY": "1"})
    trace = checked_trace(os.path.join(folder, "trace.json"))
    if trace["metadata"]["gpu_timer_queries"] or not trace["metadata"]["clock"].startswith("cpu"):
        raise Failure("the metadata does not say the cpu clock: %s" % trace["metadata"])
    if any(e["ph"] == "X" and check_trace.threads(trace)[e["tid"]] == "gpu" for e in trace["traceEvents"]):
        raise Failure("gpu events without timer queries")
    expect_ratio(trace, ("render",), "render without timer queries, cpu clock")
    shutil.rmtree(folder)


def case_play_stats(binary):
    """Plain play with --profile and --stats: the trace has the display wait, and --stats's five
    costliest lines come after its figures, the expensive line first."""
    folder = demo("0.5")
    out, err = run(binary, folder, ["--profile", "trace.json", "--stats"])
    trace = checked_trace(os.path.join(folder, "trace.json"))
    expect_threads(trace, ["step", "render", "post", "display wait"])
    expect_ratios(trace, "play")
    lines = err.splitlines()
    figures = [i for i, line in enumerate(lines) if line.startswith("kestrune: stats: ") and " frames, " in line]
    costliest = [line for line in lines if line.startswith("kestrune: stats: costliest ")]
    if len(figures) != 1 or len(costliest) != 5:
        raise Failure("--stats printed %d figure lines and %d costliest lines:\n%s" % (len(figures), len(costliest), err))
    if not costliest[0].startswith("kestrune: stats: costliest 1: " + HEAVY + ": "):
        raise Failure("--stats names another line first: " + costliest[0])
    if lines.index(costliest[0]) < figures[0]:
        raise Failure("the costliest lines come before the figures")
    shutil.rmtree(folder)


def case_author_panel(binary):
    """Author mode: F4's panel names the expensive line first, as the trace does."""
    import author_test
    folder = demo()
    session = author_test.Session(binary, folder, ["--profile", "trace.json"])
    try:
        # A second of playing fills the panel's window.
        session.wait_line(r"LOG: one second")
        session.press("F4")
        first = session.wait_line(r"author: profile: 1\. .*")
        line = session.out.snapshot()[first]
        if not line.startswith("author: profile: 1. " + HEAVY + ": "):
            raise Failure("F4's panel names another line first: " + line)
    except author_test.Failure as failure:
        raise Failure(str(failure))
    finally:
        session.press("Escape")
        code = session.process.wait(timeout=60)
    if code != 0:
        raise Failure("author mode ended with %d" % code)
    trace = checked_trace(os.path.join(folder, "trace.json"))
    expect_threads(trace, ["step", "render", "post", "display wait"])
    expect_ratios(trace, "author")
    shutil.rmtree(folder)


def case_viewer(binary):
    """The trace opens in a real viewer (speedscope, offline, in headless Chromium): the
    screenshot shows the render thread's scopes, not the viewer's empty page."""
    folder = demo()
    run(binary, folder, ["--render", "out", "--frames", "10", "--profile", "trace.json"])
    shot = os.path.join(folder, "shot.png")
    done = subprocess.run([sys.executable, os.path.join(REPO, "tools", "trace_screenshot.py"),
                           os.path.join(folder, "trace.json"), shot], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          timeout=600)
    if done.returncode != 0:
        raise Failure("trace_screenshot.py: exit %d\n%s" % (done.returncode, done.stdout.decode()))
    # The viewer's empty page is white and grey; the scopes of the first thread are drawn in
    # colour across its top rows.
    saturation = float(subprocess.run(["convert", shot, "-crop", "1600x160+0+30", "+repage", "-colorspace", "HSL",
                                       "-channel", "G", "-separate", "-format", "%[fx:mean]", "info:"],
                                      check=True, stdout=subprocess.PIPE).stdout.decode())
    if saturation < 0.02:
        raise Failure("the screenshot shows no scopes (mean saturation %.4f): %s" % (saturation, shot))
    print("viewer: the screenshot's top rows have a mean saturation of %.3f" % saturation)
    shutil.rmtree(folder)


CASES = {"viewer": case_viewer, "render": case_render, "cpu_only": case_cpu_only, "play_stats": case_play_stats,
         "author_panel": case_author_panel}


def main(argv):
    if len(argv) == 2 and argv[1] == "--list":
        print("\n".join(sorted(CASES)))
        return 0
    if len(argv) != 3 or argv[2] not in CASES:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    if not os.environ.get("DISPLAY"):
        return subprocess.call(["xvfb-run", "-a", "-s", "-screen 0 1920x1080x24 -noreset", sys.executable] + argv)
    try:
        CASES[argv[2]](argv[1])
    except Failure as failure:
        print("FAIL %s: %s" % (argv[2], failure))
        return 1
    print("ok %s" % argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
