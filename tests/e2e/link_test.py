#!/usr/bin/env python3
"""Author mode's control channel through the real kestrune binary on a virtual screen.

usage: link_test.py <kestrune binary> CASE
       link_test.py --list     (the cases, one a line: the table in main() is their only list)

A test starts `kestrune --author` in a temporary copy of a demo, finds the channel's socket in the
announcement file of the demo's folder, sends request lines and reads the answer and event lines,
and checks the picture against --render --start. It waits for what the program says or shows,
never for a fixed time.
"""

import json
import os
import re
import signal
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from author_test import (TICKS, Failure, Session, count_pixels, demo_folder, reference_frame, run_named,  # noqa: E402
                         save, start, wait_for)
from run_case import screenshot  # noqa: E402

ANNOUNCEMENT = ".kestrune-author"


class Channel:
    """One connection to the player's channel: request lines out, answer and event lines in."""

    def __init__(self, session):
        self.session = session
        path = os.path.join(session.folder, ANNOUNCEMENT)
        said = wait_for(lambda: os.path.exists(path) and open(path).read().strip(),
                        lambda: "no announcement file %s" % path, session.process)
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(json.loads(said)["socket"])
        self.sock.settimeout(0.05)
        self.buffer = b""
        self.events = []  # every event line read so far, in order

    def lines(self):
        try:
            data = self.sock.recv(65536)
            if not data:
                raise Failure("the player closed the channel")
            self.buffer += data
        except socket.timeout:
            pass
        got = []
        while b"\n" in self.buffer:
            line, self.buffer = self.buffer.split(b"\n", 1)
            got.append(json.loads(line))
        return got

    def ask(self, request):
        """Sends a request (a dict or a raw line) and returns its answer; events are kept."""
        line = request if isinstance(request, str) else json.dumps(request)
        self.sock.sendall(line.encode() + b"\n")
        answers = []

        def answered():
            for message in self.lines():
                (answers if "ok" in message or "error" in message else self.events).append(message)
            return answers
        return wait_for(answered, lambda: "no answer to %s" % line, self.session.process, timeout=120)[0]

    def ok(self, request):
        answer = self.ask(request)
        if "ok" not in answer:
            raise Failure("%s answered %s" % (request, answer))
        return answer["ok"]

    def error(self, request, piece):
        answer = self.ask(request)
        if piece not in answer.get("error", ""):
            raise Failure("%s answered %s, not an error saying %r" % (request, answer, piece))

    def event(self, probe, what, since=None):
        """Reads events until one satisfies `probe`; returns it. Events read before the call count
        from `since` on (an index into `events`): an event may arrive with the answer that caused it."""
        seen = len(self.events) if since is None else since

        def found():
            for message in self.lines():
                self.events.append(message)
            return [e for e in self.events[seen:] if probe(e)]
        return wait_for(found, lambda: "no event: %s; events: %s" % (what, self.events[-5:]), self.session.process)[0]

    def close(self):
        self.sock.close()


def same_picture(session, binary, step, what):
    expected = reference_frame(binary, session.folder, step)
    session.wait_screen(lambda shot: shot[2] == expected,
                        lambda _: "after %s (step %d) the picture differs from --render --start" % (what, step))


def send(binary, folder, request):
    run = subprocess.run([os.path.abspath(binary), "--send", folder, request], stdout=subprocess.PIPE,
                         stderr=subprocess.PIPE, timeout=120)
    return run.returncode, run.stdout.decode().strip(), run.stderr.decode().strip()


def test_seek(binary):
    """Seeks to a line, a label and a time land on the frame --render --start gives for that step."""
    folder = demo_folder()
    session = Session(binary, folder)
    start(session)
    session.press("F3")  # the overlay is not part of the demo's picture
    channel = Channel(session)
    channel.ok({"pause": True})
    # Line 60 of the bundled script is in the loop after :orbit; the label's own line is 57.
    at_line = channel.ok({"seek": {"line": 60}})
    if at_line["line"] != 60 or at_line["label"] != "orbit" or not at_line["paused"]:
        raise Failure("seek to line 60 says %s" % at_line)
    same_picture(session, binary, at_line["step"], "seek to line 60")
    at_label = channel.ok({"seek": {"label": "orbit"}})
    at_label_line = channel.ok({"seek": {"line": 57}})
    if at_label["step"] != at_label_line["step"] or at_label["step"] > at_line["step"]:
        raise Failure("label orbit at step %d, its line 57 at %d, line 60 at %d" % (
            at_label["step"], at_label_line["step"], at_line["step"]))
    same_picture(session, binary, at_label["step"], "seek to label orbit")
    at_time = channel.ok({"seek": {"time": 12.5}})
    if at_time["step"] != 750 or at_time["time"] != 12.5:
        raise Failure("seek to 12.5 s says %s" % at_time)
    same_picture(session, binary, 750, "seek to 12.5 s")
    # Back to the earlier step, then --send from outside: its exit status says ok or error.
    code, out, _ = send(binary, folder, '{"seek": {"step": %d}}' % at_line["step"])
    if code != 0 or json.loads(out)["ok"]["step"] != at_line["step"]:
        raise Failure("--send seek step: %d %s" % (code, out))
    same_picture(session, binary, at_line["step"], "--send seek to step %d" % at_line["step"])
    # Places the main flow never runs, each with its reason.
    channel.error({"seek": {"line": 80}}, "is in the section \"init\"")
    channel.error({"seek": {"line": 100000}}, "has no command at or after line 100000")
    channel.error({"seek": {"label": "nowhere"}}, "defines no label \"nowhere\"")
    channel.error({"seek": {"label": "render"}}, "is a section")
    code, out, _ = send(binary, folder, '{"seek": {"label": "nowhere"}}')
    if code != 1 or "error" not in json.loads(out):
        raise Failure("--send of a refused request: %d %s" % (code, out))
    if channel.ok({"state": True})["step"] != at_line["step"]:
        raise Failure("a refused seek moved the player")
    channel.close()
    session.quit()
    code, _, err = send(binary, folder, '{"state": true}')
    if code != 2 or "no author-mode player" not in err:
        raise Failure("--send with no player: %d %s" % (code, err))


# Each command below a label of its own, with delays of different lengths between them; a comment
# line stands for the command after it.
LINES = """:a
log one
:b
; the wait
delay 1
:c
log two
:d
delay 0.5
:e
object_set_x block, 10
:f
delay 0.25
:g
exit
:init
create_buffer main
create_object block, green, 0, 0
exit
:render
clear_buffer main
draw_object main, block
display_buffer main
render_scene main
exit
"""


def test_line_seek(binary):
    """A seek to each line of the main flow lands in the step --timeline gives for the label above
    it: the step in which the main flow first runs that line."""
    folder = demo_folder(LINES)
    timeline = subprocess.run([os.path.abspath(binary), "--timeline", "--json", folder], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=120, env=dict(os.environ, ALSOFT_DRIVERS="null"))
    if timeline.returncode != 0:
        raise Failure("--timeline: %s" % timeline.stderr.decode())
    label_step = {entry["label"]: entry["step"] for entry in json.loads(timeline.stdout)["labels"]}
    session = Session(binary, folder)
    start(session)
    channel = Channel(session)
    channel.ok({"pause": True})
    label = None
    checked = 0
    for number, text in enumerate(LINES.splitlines(), 1):
        if text == ":init":
            break
        if text.startswith(":"):
            label = text[1:]
            continue
        state = channel.ok({"seek": {"line": number}})
        if state["step"] != label_step[label]:
            raise Failure("seek to line %d (%s) landed at step %d; the main flow first runs it in step %d" % (
                number, text, state["step"], label_step[label]))
        checked += 1
    if checked != 8 or len(set(label_step.values())) != 4:
        raise Failure("the script's lines were not all tried: %d lines, steps %s" % (checked, label_step))
    channel.close()
    session.quit()


def test_reload_insert(binary):
    """Saves that insert lines before, at and after the step the author is at land on the frame
    --render --start gives for that step of the saved script, and play on as it does."""
    folder = demo_folder()
    script = os.path.join(folder, "assets", "demo.script")
    with open(script) as text:
        base = text.read()
    session = Session(binary, folder, ["--start", "20"])
    if start(session) != 1200:
        raise Failure("--start 20 does not arrive at step 1200")
    session.press("F3")  # the overlay is not part of the demo's picture
    channel = Channel(session)
    channel.ok({"pause": True})
    moved = "object_set_pos planet, 200, 300\n"
    rows = [
        # (what, the text inserted before this line of the bundled script, steps to look at after it)
        ("a line run at the first step, before the author's", "fade_in 2\n", "object_tween_scale planet, 0.3, 1\n", []),
        ("a line the flow ran on to at 19.2 s, in the step it waits in now", "delay 3.5\n", moved, []),
        ("lines the flow reaches after the author's step", "exit\n", moved + "delay 0.5\n", [1385, 1405]),
        ("lines after the first that end the demo in its second second", "fade_in 2\n", "delay 1\nexit\n", []),
    ]
    for what, before, inserted, later in rows:
        channel.ok({"seek": {"step": 1200}})
        said = len(session.out.snapshot())
        save(folder, "assets/demo.script", base.replace(before, inserted + before, 1))
        session.wait_line(r"author: reloaded demo\.script; paused at .*", said)
        state = channel.ok({"state": True})
        length = json.loads(subprocess.run([os.path.abspath(binary), "--timeline", "--json", folder],
                                           stdout=subprocess.PIPE, timeout=120,
                                           env=dict(os.environ, ALSOFT_DRIVERS="null")).stdout)["length"]
        expected = min(1200, length["steps"]) if length is not None else 1200
        if state["step"] != expected:
            raise Failure("after %s the player is at step %d, expected %d (the saved demo lasts %s steps)" % (
                what, state["step"], expected, length))
        same_picture(session, binary, state["step"], "a save of %s" % what)
        for step in later:
            channel.ok({"seek": {"step": step}})
            same_picture(session, binary, step, "a save of %s, then a seek" % what)
    channel.close()
    session.quit()


def test_transport(binary):
    """Pause, steps, play, speed and loop through the channel; state events arrive in order."""
    session = Session(binary, demo_folder(TICKS))
    start(session)
    session.wait_line(r"LOG: tick 1")
    channel = Channel(session)
    paused = channel.ok({"pause": True})
    if not paused["paused"]:
        raise Failure("pause answered %s" % paused)
    step = paused["step"]
    # The keys' state lines are printed as before.
    if session.next_state()[:2] != (True, step):
        raise Failure("the console's state line after a pause differs from the channel's")
    for delta, expected in ((1, step + 1), (1, step + 2), (-1, step + 1)):
        mark = len(channel.events)
        got = channel.ok({"step": delta})
        if got["step"] != expected or not got["paused"]:
            raise Failure("step %d answered %s, expected step %d" % (delta, got, expected))
        event = channel.event(lambda e: "state" in e and e["state"]["step"] == expected, "state at %d" % expected,
                              since=mark)
        if not event["state"]["paused"]:
            raise Failure("a state event while paused says playing")
    states = [e["state"]["step"] for e in channel.events if "state" in e]
    tail = states[states.index(step + 1):]
    if tail != [step + 1, step + 2, step + 1]:
        raise Failure("state events out of order: %s" % states)
    if channel.ok({"speed": 2})["speed"] != 2 or channel.ok({"speed": 0.5})["speed"] != 0.5:
        raise Failure("speed is not reported as set")
    channel.ok({"speed": 1})
    looped = channel.ok({"loop": [60, 90]})
    if looped["loop"] != [60, 90]:
        raise Failure("loop answered %s" % looped)
    channel.ok({"seek": {"step": 60}})
    mark = len(channel.events)
    channel.ok({"play": True})
    # Playing: events come with growing steps, and the loop brings the player back to 60.
    first = channel.event(lambda e: "state" in e and not e["state"]["paused"] and e["state"]["step"] > 60, "playing",
                          since=mark)["state"]["step"]
    channel.event(lambda e: "state" in e and e["state"]["step"] != first, "another step while playing")
    channel.event(lambda e: "state" in e and e["state"]["step"] < first and e["state"]["step"] >= 60, "the loop's return")
    if channel.ok({"loop": None})["loop"] is not None:
        raise Failure("the loop is not cleared")
    channel.close()
    session.quit()


def test_hostile(binary):
    """Bad lines, a 10 MB line, a client that never reads, many clients and one that vanishes:
    each gets one error or a closed connection, and the player plays on."""
    folder = demo_folder(TICKS)
    session = Session(binary, folder)
    start(session)
    channel = Channel(session)

    def plays_on(what):
        before = channel.ok({"state": True})["step"]
        wait_for(lambda: channel.ok({"state": True})["step"] > before,
                 lambda: "the player does not play on after %s" % what, session.process)

    channel.error("this is not json", "not JSON")
    channel.error('{"rewind": true}', "unknown request")
    channel.error('{"seek": {"line": 60}', "not JSON")
    plays_on("bad lines")

    # A line of 10 MB: the channel answers once and closes that connection.
    flood = Channel(session)
    flood.sock.settimeout(30)
    try:
        flood.sock.sendall(b"x" * (10 * 1024 * 1024))
    except (BrokenPipeError, ConnectionResetError):
        pass
    flood.sock.settimeout(0.05)
    closed = []

    def ended():
        try:
            for message in flood.lines():
                if "error" not in message:
                    raise Failure("a 10 MB line answered %s" % message)
        except (Failure, ConnectionResetError):
            closed.append(True)
        return closed
    wait_for(ended, lambda: "the connection of a 10 MB line stays open", session.process)
    plays_on("a 10 MB line")

    # A client that asks and asks but never reads is dropped; the player plays on.
    deaf = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    deaf.connect(json.loads(open(os.path.join(folder, ANNOUNCEMENT)).read())["socket"])
    deaf.settimeout(0.2)
    try:
        deadline = time.time() + 60
        while time.time() < deadline:
            deaf.sendall(b'{"state": true}\n' * 256)
            plays_on("a client that does not read")
    except (BrokenPipeError, ConnectionResetError, socket.timeout):
        pass
    else:
        raise Failure("a client that never reads is never dropped")
    plays_on("a client that does not read")

    # Many clients at once: those past the most are told so; a vanishing one is forgotten.
    crowd = []
    for _ in range(40):
        peer = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        peer.connect(json.loads(open(os.path.join(folder, ANNOUNCEMENT)).read())["socket"])
        try:
            peer.sendall(b'{"seek": {"step": 1}}\n{"state"')  # the second request never finishes
        except (BrokenPipeError, ConnectionResetError):
            pass  # a client past the most may be told so and closed before it has written
        crowd.append(peer)
    plays_on("many clients")
    for peer in crowd:
        peer.close()
    plays_on("clients that vanish mid-request")
    code, out, _ = send(binary, folder, '{"state": true}')
    if code != 0:
        raise Failure("--send after the hostile clients: %d %s" % (code, out))
    channel.close()
    deaf.close()
    session.quit()


def test_end_exit(binary):
    """At the demo's end the state names the main flow's exit that ended it, not the render
    section's."""
    folder = demo_folder()
    with open(os.path.join(folder, "assets/demo.script")) as script:
        lines = script.read().splitlines()
    first_section = min(n for n, l in enumerate(lines, 1) if l.strip() in (":init", ":render"))
    ending = max(n for n, l in enumerate(lines[:first_section - 1], 1) if l.strip() == "exit")
    session = Session(binary, folder)
    start(session)
    channel = Channel(session)
    channel.ok({"pause": True})
    # A seek past the end says where the demo ends; a seek there lands on its end.
    past = channel.ask({"seek": {"time": 100}})
    ends = re.search(r"the demo ends at step (\d+)", past.get("error", ""))
    if not ends:
        raise Failure("a seek past the end answered %s" % past)
    end = channel.ok({"seek": {"step": int(ends.group(1))}})
    if not end["ended"] or end["line"] != ending or end["label"] != "orbit":
        raise Failure("at the end the state says %s, expected the main flow's exit at line %d under :orbit" % (
            end, ending))
    # One step back and forth again: the end is still said at the same exit.
    channel.ok({"step": -1})
    again = channel.ok({"step": 1})
    if again["line"] != ending:
        raise Failure("back at the end the state says line %s, expected %d" % (again["line"], ending))
    channel.close()
    session.quit()


def announced(folder):
    path = os.path.join(folder, ANNOUNCEMENT)
    try:
        with open(path) as said:
            return json.loads(said.read())
    except (OSError, ValueError):
        return None


def test_signals(binary):
    """SIGINT, SIGTERM and SIGHUP end author mode without leaving its announcement or its socket's
    folder behind."""
    for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        folder = demo_folder(TICKS)
        session = Session(binary, folder)
        start(session)
        said = wait_for(lambda: announced(folder), lambda: "no announcement", session.process)
        socket_folder = os.path.dirname(said["socket"])
        session.process.send_signal(number)
        try:
            session.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            session.process.kill()
            raise Failure("%s did not end author mode" % number.name)
        left = [p for p in (os.path.join(folder, ANNOUNCEMENT), socket_folder) if os.path.exists(p)]
        if left:
            raise Failure("after %s these are left behind: %s" % (number.name, left))


def test_second_author(binary):
    """A second --author on a folder whose player still runs is refused in one line, and the first
    stays reachable."""
    folder = demo_folder(TICKS)
    first = Session(binary, folder)
    start(first)
    said = wait_for(lambda: announced(folder), lambda: "no announcement", first.process)
    second = subprocess.Popen([os.path.abspath(binary), "--author"], cwd=folder, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              env=dict(os.environ, ALSOFT_DRIVERS="null"))
    try:
        def decided():
            if announced(folder) not in (None, said):
                raise Failure("the second --author replaced the first's announcement: %s" % announced(folder))
            return second.poll() is not None
        wait_for(decided, lambda: "the second --author still runs", first.process)
    finally:
        if second.poll() is None:
            second.kill()
        out, err = second.communicate()
    lines = err.decode().strip().splitlines()
    if second.returncode != 2 or len(lines) != 1 or "already" not in lines[0]:
        raise Failure("the second --author ended with %d saying %s" % (second.returncode, lines))
    code, answer, _ = send(binary, folder, '{"state": true}')
    if code != 0 or announced(folder) != said:
        raise Failure("after the refusal the first is not reachable: %d %s" % (code, answer))
    first.quit()


PROGRESS_COLOUR = (70, 140, 255)


def test_long_seek(binary):
    """A long seek shows its progress in the window, and Escape stops it: the player lands paused
    where the seek got to, on the picture --render --start gives for that step, and plays on."""
    # Each step reads 500 more lines, so that a seek to the last minute of the first hour (as far
    # as --render --start goes) takes seconds.
    busy = TICKS.replace("draw_object main, block\n", "draw_object main, block\n" + "object_set_y block, 0\n" * 500)
    session = Session(binary, demo_folder(busy))
    start(session)
    session.press("F3")  # the overlay is not part of the demo's picture
    channel = Channel(session)
    before = channel.ok({"pause": True})["step"]
    target = 3590 * 60
    channel.sock.sendall(json.dumps({"seek": {"time": 3590}}).encode() + b"\n")
    bar = lambda p: tuple(p) == PROGRESS_COLOUR
    session.wait_screen(lambda shot: count_pixels(shot, (0, 0, 1920, 1080), bar) > 100,
                        lambda _: "no progress is shown during a seek of 3590 s")
    session.press("Escape")
    answers = []

    def answered():
        for message in channel.lines():
            if "ok" in message or "error" in message:
                answers.append(message)
        return answers
    answer = wait_for(answered, lambda: "no answer to the seek after Escape", session.process, timeout=120)[0]
    stopped = re.fullmatch(r"the seek was stopped \(Escape\) at step (\d+) \(\d+\.\d{3} s\), before step %d" % target,
                           answer.get("error", ""))
    if not stopped:
        raise Failure("the stopped seek answered %s" % answer)
    landed = channel.ok({"state": True})
    if not landed["paused"] or not before < landed["step"] < target or landed["step"] != int(stopped.group(1)):
        raise Failure("Escape during the seek from step %d to %d landed at %s" % (before, target, landed))
    if session.process.poll() is not None:
        raise Failure("Escape during a seek ended author mode")
    expected = reference_frame(binary, session.folder, landed["step"])
    session.wait_screen(lambda shot: shot[2] == expected,
                        lambda _: "after the stopped seek (step %d) the picture differs from --render --start" %
                                  landed["step"])
    stepped = channel.ok({"step": 1})
    if stepped["step"] != landed["step"] + 1:
        raise Failure("a step after the stopped seek went to %s" % stepped)
    channel.close()
    session.quit()


def main():
    return run_named("link", {"seek": test_seek, "line_seek": test_line_seek, "reload_insert": test_reload_insert,
                              "transport": test_transport, "hostile": test_hostile, "end_exit": test_end_exit,
                              "signals": test_signals, "second_author": test_second_author,
                              "long_seek": test_long_seek})


if __name__ == "__main__":
    sys.exit(main())
