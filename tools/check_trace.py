#!/usr/bin/env python3
"""Checks a kestrune --profile trace by the Trace Event Format's rules and prints what it holds.

usage: check_trace.py TRACE.json [--top N]

Rules: the file is a JSON object with a "traceEvents" array and a "metadata" object; every event
has name, ph, ts, pid and tid; every complete event ("X") has dur; per thread, timestamps never go
back and every event that starts inside another ends inside it. Exit status 1 names the first
event that breaks one. Then the N costliest names of each clock (CPU: the step and render
threads; GPU: the gpu thread) with their total milliseconds.
"""

import json
import sys


def fault(trace):
    """The first rule the trace breaks, or None."""
    if not isinstance(trace, dict) or not isinstance(trace.get("traceEvents"), list):
        return "no traceEvents array"
    if not isinstance(trace.get("metadata"), dict):
        return "no metadata object"
    last, open_scopes = {}, {}
    for event in trace["traceEvents"]:
        for key in ("name", "ph", "ts", "pid", "tid"):
            if key not in event:
                return "an event without %s: %s" % (key, json.dumps(event))
        if event["ph"] == "M":
            continue
        if event["ph"] != "X":
            return "an event of phase %r: %s" % (event["ph"], json.dumps(event))
        if "dur" not in event:
            return "a complete event without dur: %s" % json.dumps(event)
        tid, ts, dur = event["tid"], float(event["ts"]), float(event["dur"])
        if dur < 0:
            return "a negative dur: %s" % json.dumps(event)
        if tid in last and ts < last[tid]:
            return "time goes back on thread %s: %s" % (tid, json.dumps(event))
        last[tid] = ts
        stack = open_scopes.setdefault(tid, [])
        while stack and stack[-1] <= ts:
            stack.pop()
        # Timestamps are written to the nanosecond: no rounding can move an end.
        if stack and ts + dur > stack[-1] + 1e-6:
            return "an event overlaps its parent's end on thread %s: %s" % (tid, json.dumps(event))
        stack.append(ts + dur)
    return None


def threads(trace):
    return {e["tid"]: e["args"]["name"] for e in trace["traceEvents"] if e["ph"] == "M" and e["name"] == "thread_name"}


def totals(trace, thread_names, category=None):
    """Milliseconds per event name on the threads named, over the whole trace."""
    wanted = {tid for tid, name in threads(trace).items() if name in thread_names}
    sums = {}
    for event in trace["traceEvents"]:
        if event["ph"] == "X" and event["tid"] in wanted and (category is None or event.get("cat") == category):
            sums[event["name"]] = sums.get(event["name"], 0.0) + float(event["dur"]) / 1000.0
    return sorted(sums.items(), key=lambda item: -item[1])


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    top = int(argv[argv.index("--top") + 1]) if "--top" in argv else 5
    with open(argv[1]) as f:
        trace = json.load(f)
    problem = fault(trace)
    if problem:
        print("check_trace: %s: %s" % (argv[1], problem))
        return 1
    meta = trace["metadata"]
    print("check_trace: %s: valid; %d events, %s frames, clock: %s, renderer: %s" % (
        argv[1], len(trace["traceEvents"]), meta.get("frames"), meta.get("clock"), meta.get("gl_renderer")))
    for clock, names in (("cpu", ("step", "render", "post")), ("gpu", ("gpu",))):
        for name, ms in totals(trace, names, "line")[:top]:
            print("  %s %10.2f ms  %s" % (clock, ms, name))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
