#!/usr/bin/env python3
"""Offline render tests through the real kestrune binary.

usage: render_test.py <kestrune binary> <case>
       render_test.py --list

Each case is one behaviour of --render, run in its own temporary copy of the scene, so that one
failure hides no other.

The scene (tests/e2e/render) runs for half a second: a fade in over 0.25 s, a green block tweening
linearly from x 100 to 1500 over 0.5 s on a red background, and a song.
"""

import functools
import hashlib
import json
import math
import os
import pty
import re
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RED, GREEN = (220, 30, 40), (30, 200, 60)


class Failure(Exception):
    pass


def workdir():
    folder = tempfile.mkdtemp(prefix="kestrune-render-")
    shutil.copytree(os.path.join(HERE, "base"), folder, dirs_exist_ok=True)
    shutil.copytree(os.path.join(HERE, "render"), folder, dirs_exist_ok=True)
    os.makedirs(os.path.join(folder, "assets", "music"))
    shutil.copy2(os.path.join(HERE, "..", "..", "assets", "music", "arpeggio.wav"),
                 os.path.join(folder, "assets", "music"))
    return folder


def render(binary, folder, args, env=None, code=0):
    environment = dict(os.environ, ALSOFT_DRIVERS="null")
    environment.update(env or {})
    run = subprocess.run([os.path.abspath(binary)] + args, cwd=folder, env=environment, timeout=120,
                         stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    out, err = run.stdout.decode(), run.stderr.decode()
    if run.returncode != code:
        raise Failure("%s: exit %d, expected %d\n%s%s" % (" ".join(args), run.returncode, code, out, err))
    return out, err


def frames_in(folder):
    return sorted(name for name in os.listdir(folder) if name.startswith("frame_"))


def read(path):
    with open(path, "rb") as f:
        return f.read()


def pixels(path):
    """(width, rgb bytes) of a PNG, decoded by ImageMagick, not by the program."""
    data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, stdout=subprocess.PIPE).stdout
    return 1920, data


def pixel(image, x, y):
    width, rgb = image
    offset = (y * width + x) * 3
    return tuple(rgb[offset:offset + 3])


def expect_pixel(image, point, rgb, what):
    got = pixel(image, *point)
    if got != rgb:
        raise Failure("%s: pixel %s is %s, expected %s" % (what, point, got, rgb))


def same_frames(folder_a, names_a, folder_b, names_b, what):
    if not names_a:
        raise Failure("%s: no frames to compare against" % what)
    if len(names_a) != len(names_b):
        raise Failure("%s: %d frames against %d" % (what, len(names_a), len(names_b)))
    for a, b in zip(names_a, names_b):
        if read(os.path.join(folder_a, a)) != read(os.path.join(folder_b, b)):
            raise Failure("%s: %s differs from %s" % (what, a, b))


def played_steps(binary, folder):
    """The number of steps that playing the scene runs, from --stats."""
    _, err = render(binary, folder, ["--stats"])
    found = re.search(r"kestrune: stats: \d+ frames, (\d+) steps;", err)
    if not found:
        raise Failure("--stats printed no summary:\n" + err)
    return int(found.group(1))


def full_render(binary, folder):
    """Renders the whole scene into full/ and returns its frame names."""
    render(binary, folder, ["--render", "full"])
    return frames_in(os.path.join(folder, "full"))


def test_frames_to_end(binary, folder):
    """Without --frames the render ends where playing ends: one frame per step that playing runs."""
    out, _ = render(binary, folder, ["--render", "full"])
    full = frames_in(os.path.join(folder, "full"))
    steps = played_steps(binary, folder)
    if len(full) != steps or full[0] != "frame_000001.png" or full[-1] != "frame_%06d.png" % steps:
        raise Failure("a render to the end gave %d frames (%s ... %s); playing runs %d steps" % (
            len(full), full[0], full[-1], steps))
    if "kestrune: rendered %d frames" % steps not in out:
        raise Failure("no summary line:\n" + out)


# Frame 20 is the picture after 20 steps: the block's left edge is at 100 + 1400 x 20 / 30.
FRAME_20 = (((1800, 1000), RED, "frame 20"),
            ((1020, 200), RED, "frame 20, left of the block"),
            ((1045, 200), GREEN, "frame 20, inside the block"),
            ((1045, 401), RED, "frame 20, below the block"))


def test_frames_pixels(binary, folder):
    """The block stands where its tween puts it, and the fade covers the first frame."""
    render(binary, folder, ["--render", "out", "--frames", "20"])
    later = pixels(os.path.join(folder, "out", "frame_000020.png"))
    for point, rgb, what in FRAME_20:
        expect_pixel(later, point, rgb, what)
    # Frame 1 is nearly covered by the fade (level 1 - 4/60, alpha 238).
    first = pixel(pixels(os.path.join(folder, "out", "frame_000001.png")), 1800, 1000)
    if max(first) > 20:
        raise Failure("frame 1 should be almost black under the fade, got %s" % (first,))


# Renders whose frames are a slice of the whole render's: (case, arguments, frames of the whole
# render they must equal byte for byte, a text their summary holds or None).
SAME_AS_FULL = (
    # Leaving out passes that cannot change a pixel changes none: every pass drawn gives the same bytes.
    ("draw_all", ["--draw-all"], slice(None), None),
    ("limit", ["--frames", "20"], slice(0, 20), None),
    # --start 0.25 fast-forwards 15 steps: its first frame is the whole render's frame 15. Steps and
    # demo time count from the start of the demo.
    ("start", ["--start", "0.25", "--frames", "10"], slice(14, 24),
     "kestrune: rendered 10 frames (24 steps, 0.4 s of demo time, from 0.25 s) to "),
    # At 30 frames per second every other frame is dropped: frames 1, 3, 5 ...
    ("fps", ["--fps", "30", "--frames", "5"], slice(0, 10, 2), None),
)


def same_as_full(args, frames, summary, binary, folder):
    full = full_render(binary, folder)
    out, _ = render(binary, folder, ["--render", "variant"] + args)
    what = " ".join(args)
    same_frames(os.path.join(folder, "full"), full[frames], os.path.join(folder, "variant"),
                frames_in(os.path.join(folder, "variant")), what)
    if summary is not None and summary not in out:
        raise Failure("%s: the summary should hold %r:\n%s" % (what, summary, out))


def test_frames_replace(binary, folder):
    """A shorter render into the same folder replaces the earlier frames, says so, and keeps other files."""
    render(binary, folder, ["--render", "again", "--frames", "20"])
    with open(os.path.join(folder, "again", "notes.txt"), "w") as f:
        f.write("mine")
    out, _ = render(binary, folder, ["--render", "again", "--frames", "3"])
    if "kestrune: removed 20 frame_*.png files of an earlier render from %s" % os.path.join(folder, "again") not in out:
        raise Failure("a render over an earlier one did not say what it removed:\n" + out)
    kept = sorted(os.listdir(os.path.join(folder, "again")))
    if kept != ["frame_000001.png", "frame_000002.png", "frame_000003.png", "notes.txt"]:
        raise Failure("the folder should hold the 3 new frames and notes.txt: %s" % kept)


# A green block drawn every frame into a buffer that is cleared only once: each picture holds the
# trail of every frame before it, so a fast-forward must draw every skipped step.
TRAIL = """play_music song
object_tween_x green, 1500, 0.5
object_tween_y green, 600, 0.5
delay 0.5
exit
:init
create_buffer trail
clear_buffer trail
create_object green, green, 0, 0, 0, 0, 40, 30
exit
:render
draw_object trail, green
display_buffer trail
render_scene trail
exit
"""


# Letters that fade in one after another and out again, so that some are invisible in every frame.
TEXT = {"textsystems": {"t": {"font": "assets/fonts/DejaVuSans.ttf", "size": 80, "duration": 0.2,
                              "letterdelay": 0.05, "fade_out": True, "fade_duration": 0.1,
                              "outlinecolor_width": 2}}}


def seek_scene(folder):
    """The render scene with letters that fade in and out over it."""
    script = os.path.join(folder, "assets", "demo.script")
    os.makedirs(os.path.join(folder, "assets", "fonts"))
    shutil.copy2(os.path.join(HERE, "..", "..", "assets", "fonts", "DejaVuSans.ttf"),
                 os.path.join(folder, "assets", "fonts"))
    with open(os.path.join(folder, "assets", "text.json"), "w") as f:
        json.dump(TEXT, f)
    with open(script) as f:
        text = f.read()
    with open(script, "w") as f:
        f.write('display_text t, "seek", 200, 500, 0, -1\n' + text)


def seek_trail(folder):
    with open(os.path.join(folder, "assets", "demo.script"), "w") as f:
        f.write(TRAIL)


def test_seek(prepare, binary, folder):
    """The first frames after --start T are the frames after round(T x 60) steps of a render that
    draws every pass of every step."""
    prepare(folder)
    every = os.path.join(folder, "every")
    render(binary, folder, ["--render", every, "--draw-all", "--frames", "31"])
    reference = frames_in(every)
    for start in ("0.05", "0.25", "0.45"):
        steps = round(float(start) * 60)
        out = os.path.join(folder, "start_" + start.replace(".", "_"))
        render(binary, folder, ["--render", out, "--start", start, "--frames", "2"])
        same_frames(every, reference[steps - 1:steps + 1], out, frames_in(out), "--start %s" % start)


def probe(path):
    result = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries",
                             "stream=codec_type,nb_read_frames,r_frame_rate", "-of", "json", path],
                            check=True, stdout=subprocess.PIPE)
    return json.loads(result.stdout)["streams"]


def audio_rms(path, start, end):
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "s16le", "-ac", "1", "-ar", "44100", "-"],
                         check=True, stdout=subprocess.PIPE).stdout
    samples = struct.unpack("<%dh" % (len(raw) // 2), raw[:len(raw) // 2 * 2])
    window = samples[int(start * 44100):int(end * 44100)]
    return math.sqrt(sum(v * v for v in window) / max(1, len(window)))


# (case, output, arguments, video frames, frame rate); both carry the song as an audio stream.
VIDEOS = (("mp4", "out.mp4", ["--frames", "30"], 30, "60/1"),
          ("webm", "out.webm", ["--fps", "30", "--frames", "10"], 10, "30/1"))


def test_video_streams(name, args, frames, rate, binary, folder):
    render(binary, folder, ["--render", name] + args)
    streams = probe(os.path.join(folder, name))
    video = [s for s in streams if s["codec_type"] == "video"]
    audio = [s for s in streams if s["codec_type"] == "audio"]
    if len(video) != 1 or int(video[0]["nb_read_frames"]) != frames or video[0]["r_frame_rate"] != rate:
        raise Failure("%s: expected one video stream of %d frames at %s, got %s" % (name, frames, rate, streams))
    if len(audio) != 1:
        raise Failure("%s: expected an audio stream with the music, got %s" % (name, streams))


def test_video_sound(binary, folder):
    """The song starts with the first step and plays at volume 80 throughout."""
    render(binary, folder, ["--render", "out.mp4", "--frames", "30"])
    rms = audio_rms(os.path.join(folder, "out.mp4"), 0.05, 0.45)
    if rms < 500:
        raise Failure("the sound track is silent where the song plays (RMS %.1f)" % rms)


def no_song_line(folder):
    script = os.path.join(folder, "assets", "demo.script")
    with open(script) as f:
        text = f.read()
    if "play_music song\n" not in text:
        raise Failure("the render scene no longer plays its song; this case removes that line")
    with open(script, "w") as f:
        f.write(text.replace("play_music song\n", ""))


def no_song_file(folder):
    os.remove(os.path.join(folder, "assets", "music", "arpeggio.wav"))


# Videos without a sound track, and the reason the summary gives: (case, change to the scene,
# output, extra arguments, reason).
SILENT = (("silent", no_song_line, "silent.mp4", [], "no song plays in the rendered frames"),
          ("song_missing", no_song_file, "silent.mp4", [], "its song could not be played"),
          ("gif", None, "clip.gif", ["--size", "320x180"], "a GIF holds no sound"))


def test_video_silent(change, name, args, why, binary, folder):
    """Without a song there is no audio stream, and the summary says why."""
    if change:
        change(folder)
    out, _ = render(binary, folder, ["--render", name, "--frames", "3"] + args)
    kinds = [s["codec_type"] for s in probe(os.path.join(folder, name))]
    if kinds != ["video"]:
        raise Failure("a render without music should hold only video, got %s" % kinds)
    line = "kestrune: %s has no sound track: %s" % (os.path.join(folder, name), why)
    if line not in out.splitlines():
        raise Failure("the summary should say %r:\n%s" % (line, out))


def test_env_no_ffmpeg(binary, folder):
    _, err = render(binary, folder, ["--render", "out.mp4"], env={"PATH": "/nonexistent"}, code=1)
    if err.count("\n") != 1 or "needs ffmpeg" not in err:
        raise Failure("without ffmpeg expected one line, got:\n" + err)


# The hint repeats the whole command, under a virtual screen; an X server that cannot be reached is
# explained the same way instead of aborting.
DISPLAYS = (("no_display", ""), ("unreachable_display", ":4093"))


def test_env_display(display, binary, folder):
    _, err = render(binary, folder, ["--render", "frames", "--frames", "3", "--fps=30"], env={"DISPLAY": display},
                    code=1)
    command = "%s --render frames --frames 3 --fps=30" % os.path.abspath(binary)
    if err.count("\n") != 1 or not err.rstrip().endswith('xvfb-run -a -s "-screen 0 1920x1080x24" ' + command):
        raise Failure("without a display (DISPLAY=%r) expected one line repeating the command under xvfb-run, "
                      "got:\n%s" % (display, err))
    if os.path.exists(os.path.join(folder, "frames")):
        raise Failure("a failed render left an output folder")


def test_env_bad_extension(binary, folder):
    """Another extension is a usage error."""
    _, err = render(binary, folder, ["--render", "out.png", "--frames", "1"], code=2)
    if err.count("\n") != 1 or ".mkv, .mov or .gif file, not 'out.png'" not in err or os.path.exists(os.path.join(folder, "out.png")):
        raise Failure("--render out.png should be one usage line and no output, got:\n" + err)


def test_env_dotted_folder(binary, folder):
    """A folder that exists is taken whatever its name."""
    os.makedirs(os.path.join(folder, "take.2"))
    render(binary, folder, ["--render", "take.2", "--frames", "1"])
    if frames_in(os.path.join(folder, "take.2")) != ["frame_000001.png"]:
        raise Failure("an existing folder take.2 did not receive the frame")


# --- Renders split into ranges, parts and processes -------------------------------------------

ROOT = os.path.join(HERE, "..", "..")


def bundled_demo():
    """A copy of the bundled demo (config.json and assets/)."""
    folder = tempfile.mkdtemp(prefix="kestrune-scale-")
    shutil.copy2(os.path.join(ROOT, "config.json"), folder)
    shutil.copytree(os.path.join(ROOT, "assets"), os.path.join(folder, "assets"))
    return folder


def decoded_frames(path, size=(1920, 1080)):
    """Every frame of a video as RGB bytes, decoded by ffmpeg."""
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:v", "-f", "rawvideo", "-pix_fmt", "rgb24",
                          "-"], check=True, stdout=subprocess.PIPE).stdout
    frame = size[0] * size[1] * 3
    return [raw[i:i + frame] for i in range(0, len(raw), frame)]


def png_rgb(path):
    return subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, stdout=subprocess.PIPE).stdout


def samples(path):
    return subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-f", "s16le", "-"], check=True,
                          stdout=subprocess.PIPE).stdout


def duration(path):
    result = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path],
                            check=True, stdout=subprocess.PIPE)
    return float(result.stdout)


def split_by_jobs(binary, folder, out, args):
    render(binary, folder, ["--render", out, "--jobs", "2"] + args)


def split_by_parts(binary, folder, out, args):
    parts = []
    for k in (1, 2, 3):
        render(binary, folder, ["--render", out, "--part", "%d/3" % k] + args)
        parts.append("%s.part-%d-of-3" % (out, k))
    # Given out of order: the join puts them in order.
    render(binary, folder, ["--join", out] + parts[::-1])
    for part in parts:
        if os.path.exists(os.path.join(folder, part)):
            raise Failure("--join left the part %s" % part)


def split_by_parallel(binary, folder, out, args):
    """The GNU parallel recipe of the README, with two local job slots standing in for hosts."""
    command = " ".join([os.path.abspath(binary), "--render", out, "--part", "{}/3"] + args)
    subprocess.run(["parallel", "--will-cite", "--sshlogin", "2/:", "--return", out + ".part-{}-of-3", "--cleanup",
                    command, ":::", "1", "2", "3"], cwd=folder, check=True, timeout=300,
                   env=dict(os.environ, ALSOFT_DRIVERS="null"), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    render(binary, folder, ["--join", out] + ["%s.part-%d-of-3" % (out, k) for k in (1, 2, 3)])


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def readme_recipe():
    """The GNU parallel recipe of the README, as written there."""
    with open(os.path.join(ROOT, "README.md")) as f:
        text = f.read()
    found = re.search(r"```sh\n(# in the folder that holds the demo folder \"demo\".*?)```", text, re.S)
    if not found:
        raise Failure("the README has no GNU parallel recipe starting with '# in the folder that holds the demo "
                      "folder \"demo\"'")
    return found.group(1)


class Skip(Exception):
    pass


def start_sshd(folder, binary):
    """An sshd on two loopback ports standing for the hosts host1 and host2, each with its own home
    folder; an ssh configuration that reaches them with a throwaway key. Returns (sshd, config)."""
    sshd = shutil.which("sshd") or "/usr/sbin/sshd"
    if not os.path.exists(sshd) or not shutil.which("rsync"):
        raise Skip("sshd or rsync is not installed (tools/setup.sh installs openssh-server and rsync)")
    keys = os.path.join(folder, "ssh")
    os.makedirs(keys)
    for name in ("host_key", "id"):
        subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", os.path.join(keys, name)], check=True)
    shutil.copy(os.path.join(keys, "id.pub"), os.path.join(keys, "authorized_keys"))
    ports = {"host1": free_port(), "host2": free_port()}
    config = ["ListenAddress 127.0.0.1"] + ["Port %d" % port for port in ports.values()] + [
        "HostKey " + os.path.join(keys, "host_key"), "PidFile " + os.path.join(keys, "sshd.pid"),
        "AuthorizedKeysFile " + os.path.join(keys, "authorized_keys"), "StrictModes no", "UsePAM no",
        "PasswordAuthentication no", "KbdInteractiveAuthentication no", "PermitRootLogin prohibit-password"]
    client = []
    for host, port in ports.items():
        home = os.path.join(folder, host)
        os.makedirs(home)
        # Each "host" runs what it is sent in its own home, with this kestrune on its PATH.
        login = os.path.join(keys, host + ".sh")
        with open(login, "w") as f:
            f.write('#!/bin/sh\nexport HOME=%s PATH=%s:$PATH ALSOFT_DRIVERS=null\ncd "$HOME" || exit 1\n'
                    'exec /bin/sh -c "$SSH_ORIGINAL_COMMAND"\n' % (home, os.path.dirname(os.path.abspath(binary))))
        os.chmod(login, 0o755)
        config += ["Match LocalPort %d" % port, "    ForceCommand " + login]
        client += ["Host " + host, "    HostName 127.0.0.1", "    Port %d" % port]
    client += ["Host *", "    IdentityFile " + os.path.join(keys, "id"), "    IdentitiesOnly yes", "    BatchMode yes",
               "    StrictHostKeyChecking no", "    UserKnownHostsFile /dev/null", "    LogLevel ERROR"]
    with open(os.path.join(keys, "sshd_config"), "w") as f:
        f.write("\n".join(config) + "\n")
    with open(os.path.join(keys, "config"), "w") as f:
        f.write("\n".join(client) + "\n")
    if os.geteuid() == 0:
        try:
            os.makedirs("/run/sshd", exist_ok=True)  # sshd's privilege separation folder
        except OSError as error:
            raise Skip("sshd cannot start: %s" % error)
    server = subprocess.Popen([sshd, "-D", "-e", "-f", os.path.join(keys, "sshd_config")],
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)

    def listening():
        if server.poll() is not None:
            raise Skip("sshd cannot start: %s" % server.stderr.read().decode().strip())
        for port in ports.values():
            try:
                socket.create_connection(("127.0.0.1", port), timeout=5).close()
            except OSError:
                return False
        return True
    wait_for("sshd to listen", listening, limit=60)
    return server, os.path.join(keys, "config")


def test_parallel_ssh(binary, folder):
    """The README's GNU parallel recipe, verbatim, over ssh to two hosts: its joined video has the
    frames, duration and sound of the one-process render."""
    recipe = readme_recipe()
    demo = os.path.join(folder, "farm", "demo")
    shutil.copytree(folder, demo, ignore=shutil.ignore_patterns("farm"))
    render(binary, demo, ["--render", os.path.join(folder, "whole.mp4")])
    try:
        server, config = start_sshd(os.path.join(folder, "farm-ssh"), binary)
    except Skip as skip:
        print("SKIP render parallel_ssh: %s" % skip)
        return
    try:
        run = subprocess.run(["bash", "-e", "-c", recipe], cwd=os.path.join(folder, "farm"), timeout=600,
                             env=dict(os.environ, ALSOFT_DRIVERS="null", PARALLEL_SSH="ssh -F " + config,
                                      PATH=os.path.dirname(os.path.abspath(binary)) + ":" + os.environ["PATH"]),
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    finally:
        server.terminate()
        server.wait(timeout=60)
    if run.returncode != 0:
        raise Failure("the README's recipe exited %d:\n%s%s" % (run.returncode, run.stdout.decode(),
                                                                run.stderr.decode()))
    joined, whole = os.path.join(folder, "farm", "out.mp4"), os.path.join(folder, "whole.mp4")
    if len(decoded_frames(joined)) != len(decoded_frames(whole)) or abs(duration(joined) - duration(whole)) > 1e-6 \
            or samples(joined) != samples(whole):
        raise Failure("the video joined from the hosts differs from one process's: %d frames, %f s against %d, %f s"
                      % (len(decoded_frames(joined)), duration(joined), len(decoded_frames(whole)), duration(whole)))
    for host in ("host1", "host2"):
        left = os.listdir(os.path.join(folder, "farm-ssh", host))
        if [name for name in left if not name.startswith(".")]:
            raise Failure("--cleanup left %s on %s" % (left, host))


# The scenes the split renders are proved on: (name, folder maker, selection, the frames of the
# reference render it selects). The trail scene's buffer is never cleared, so each part must draw
# every step before its first frame; it runs to its end, which each part has to find.
def trail_scene():
    folder = workdir()
    seek_trail(folder)
    return folder


SCENES = {"demo": (bundled_demo, ["--range", "61:84"], ["--frames", "84"], slice(60, 84)),
          "trail": (trail_scene, [], [], slice(None))}

# (case, scene, how the render is split, output): PNG frames byte for byte those of one process
# from the start, and a lossless video that decodes to exactly those frames.
SPLITS = (("jobs_frames", "demo", split_by_jobs, "split"),
          ("parts_frames", "demo", split_by_parts, "split"),
          ("jobs_mkv", "demo", split_by_jobs, "split.mkv"),
          ("trail_jobs_frames", "trail", split_by_jobs, "split"),
          ("trail_parts_frames", "trail", split_by_parts, "split"),
          ("trail_parts_mkv", "trail", split_by_parts, "split.mkv"),
          ("parallel_frames", "trail", split_by_parallel, "split"))


def test_split(scene, split, out, binary, _):
    make, selection, reference, frames = SCENES[scene]
    folder = make()
    try:
        render(binary, folder, ["--render", "ref"] + reference)
        names = frames_in(os.path.join(folder, "ref"))[frames]
        split(binary, folder, out, selection)
        if out.endswith(".mkv"):
            video = decoded_frames(os.path.join(folder, out))
            if len(video) != len(names):
                raise Failure("%s holds %d frames, expected %d" % (out, len(video), len(names)))
            for index, name in enumerate(names):
                if video[index] != png_rgb(os.path.join(folder, "ref", name)):
                    raise Failure("%s: frame %d differs from %s" % (out, index + 1, name))
        else:
            same_frames(os.path.join(folder, "ref"), names, os.path.join(folder, out), frames_in(
                os.path.join(folder, out)), "%s %s" % (split.__name__, " ".join(selection)))
            if frames_in(os.path.join(folder, out)) != names:
                raise Failure("the split render's frames are named %s, not %s" % (
                    frames_in(os.path.join(folder, out))[:3], names[:3]))
    except Failure as failure:
        raise Failure("%s (scene kept in %s)" % (failure, folder))
    shutil.rmtree(folder, ignore_errors=True)


# An .mp4 joined from parts against the one-process .mp4 of the render scene, whose block moves in
# every frame: as many frames, the same duration, the same sound samples, and each frame closest to
# the one-process render's frame of its number (none doubled or dropped at a seam).
VIDEO_SPLITS = (("parts_mp4", split_by_parts, []), ("parts_mp4_fps30", split_by_parts, ["--fps", "30"]),
                ("jobs_mp4", split_by_jobs, []))


def difference(a, b):
    step = 997  # a sample of the pixels is plenty to tell neighbouring frames apart
    return sum(abs(x - y) for x, y in zip(a[::step], b[::step]))


def test_video_split(split, args, binary, folder):
    render(binary, folder, ["--render", "ref"] + args)
    render(binary, folder, ["--render", "whole.mp4"] + args)
    split(binary, folder, "split.mp4", args)
    whole, joined = os.path.join(folder, "whole.mp4"), os.path.join(folder, "split.mp4")
    if samples(joined) != samples(whole):
        raise Failure("the joined video's sound differs from the one-process render's")
    if abs(duration(joined) - duration(whole)) > 1e-6:
        raise Failure("the joined video lasts %f s, the whole %f s" % (duration(joined), duration(whole)))
    reference = [png_rgb(os.path.join(folder, "ref", name)) for name in frames_in(os.path.join(folder, "ref"))]
    video = decoded_frames(joined)
    if len(video) != len(reference) or len(decoded_frames(whole)) != len(reference):
        raise Failure("%d frames joined, %d in the whole video, %d rendered" % (
            len(video), len(decoded_frames(whole)), len(reference)))
    for index, frame in enumerate(video):
        near = range(max(0, index - 1), min(len(reference), index + 2))
        closest = min(near, key=lambda i: difference(frame, reference[i]))
        # Frames after the block has stopped are alike: a tie with the frame of its number is a match.
        if difference(frame, reference[closest]) < difference(frame, reference[index]):
            raise Failure("frame %d of the joined video looks like frame %d" % (index + 1, closest + 1))


def test_manifest(binary, folder):
    """--manifest: the SHA-256 of each frame's RGB pixels, the same from parts as from one process."""
    render(binary, folder, ["--render", "whole", "--manifest", "--frames", "12"])
    split_by_parts(binary, folder, "split", ["--manifest", "--frames", "12"])
    with open(os.path.join(folder, "whole.frames.sha256")) as f:
        lines = f.read().splitlines()
    with open(os.path.join(folder, "split.frames.sha256")) as f:
        joined = f.read().splitlines()
    if len(lines) != 12 or joined != lines:
        raise Failure("the manifests differ or miss frames:\n%s\n---\n%s" % ("\n".join(lines), "\n".join(joined)))
    for line, name in zip(lines, frames_in(os.path.join(folder, "whole"))):
        digest = hashlib.sha256(png_rgb(os.path.join(folder, "whole", name))).hexdigest()
        if line != "%s  %s" % (digest, name[:-4]):
            raise Failure("manifest line %r; the pixels of %s hash to %s" % (line, name, digest))


def other_demo(folder):
    with open(os.path.join(folder, "assets", "demo.script"), "a") as f:
        f.write("; changed\n")


# Parts that do not make one render: (case, the second part's change or extra arguments, error).
JOIN_ERRORS = (("join_other_demo", other_demo, [], "are not parts of one render: they were rendered from "
                                                   "different demos"),
               ("join_other_fps", None, ["--fps", "30"], "are not parts of one render: their --fps differs"),
               ("join_missing", None, None, "part 2/2 is missing"))


def test_join_error(change, args, error, binary, folder):
    render(binary, folder, ["--render", "out", "--part", "1/2", "--frames", "4"])
    parts = ["out.part-1-of-2"]
    if args is not None:
        if change:
            change(folder)
        render(binary, folder, ["--render", "out", "--part", "2/2", "--frames", "4"] + args)
        parts.append("out.part-2-of-2")
    _, err = render(binary, folder, ["--join", "out"] + parts, code=2)
    if err.count("\n") != 1 or error not in err:
        raise Failure("expected one line saying %r, got:\n%s" % (error, err))
    if os.path.exists(os.path.join(folder, "out")):
        raise Failure("a refused join made its output")


def snapshot(folder, names):
    """{relative path: content} of every file under the given files and folders of `folder`."""
    found = {}
    for name in names:
        top = os.path.join(folder, name)
        if os.path.isfile(top):
            found[name] = read(top)
        for root, _, files in os.walk(top):
            for file in files:
                path = os.path.join(root, file)
                found[os.path.relpath(path, folder)] = read(path)
    return found


def drop_frame(part):
    os.remove(os.path.join(part, "frame_000015.png"))


def cut_frame(part):
    os.truncate(os.path.join(part, "frame_000015.png"), 300)


def cut_video(part):
    video = [name for name in os.listdir(part) if name.startswith("video.")][0]
    os.truncate(os.path.join(part, video), os.path.getsize(os.path.join(part, video)) // 2)


def cut_sound(part):
    os.truncate(os.path.join(part, "sound.wav"), os.path.getsize(os.path.join(part, "sound.wav")) - 4 * 441)


def unfinished(part):
    os.remove(os.path.join(part, "part.json"))


# Joins of parts one of which a farm broke: (case, output, the fault done to part 2 of 3, what the
# one refusal line names). The refusal changes no file, neither the parts nor the earlier output;
# once the part is rendered again the join succeeds and equals one process.
JOIN_FAULTS = (("join_frame_missing", "dj", drop_frame, "frame_000015.png"),
               ("join_frame_cut", "dj", cut_frame, "frame_000015.png"),
               ("join_video_cut", "dj.mkv", cut_video, "video.mkv"),
               ("join_sound_cut", "dj.mp4", cut_sound, "sound.wav"),
               # A part killed before its end has no part.json.
               ("join_part_unfinished", "dj.mkv", unfinished, "part.json"))


def test_join_fault(out, fault, named, binary, folder):
    count = ["--frames", "30"]
    # The earlier output the failed join must leave as it was.
    render(binary, folder, ["--render", out, "--frames", "5"])
    parts = ["%s.part-%d-of-3" % (out, k) for k in (1, 2, 3)]
    for k in (1, 2, 3):
        render(binary, folder, ["--render", out, "--part", "%d/3" % k] + count)
    fault(os.path.join(folder, parts[1]))
    before = snapshot(folder, [out] + parts)
    for attempt in (1, 2):
        _, err = render(binary, folder, ["--join", out] + parts, code=2)
        if err.count("\n") != 1 or parts[1] not in err or named not in err:
            raise Failure("attempt %d: expected one line naming %s and %s, got:\n%s" % (attempt, parts[1], named, err))
        after = snapshot(folder, [out] + parts)
        if after != before:
            changed = sorted(set(before) ^ set(after) | {k for k in before if k in after and before[k] != after[k]})
            raise Failure("attempt %d: the refused join changed %s" % (attempt, changed[:6]))
    render(binary, folder, ["--render", out, "--part", "2/3"] + count)
    render(binary, folder, ["--join", out] + parts)
    render(binary, folder, ["--render", "ref"] + count)
    reference = frames_in(os.path.join(folder, "ref"))
    if output_kind(out) == "frames":
        same_frames(os.path.join(folder, "ref"), reference, os.path.join(folder, out),
                    frames_in(os.path.join(folder, out)), "the join after the part was rendered again")
    else:
        got = len(decoded_frames(os.path.join(folder, out)))
        if got != 30:
            raise Failure("the join after the part was rendered again holds %d frames, not 30" % got)
    for part in parts:
        if os.path.exists(os.path.join(folder, part)):
            raise Failure("the successful join left %s" % part)


def output_kind(out):
    return os.path.splitext(out)[1][1:] or "frames"


def longer_scene(folder):
    """The render scene lasting 1.5 s instead of 0.5 s."""
    script = os.path.join(folder, "assets", "demo.script")
    with open(script) as f:
        text = f.read()
    with open(script, "w") as f:
        f.write(text.replace("delay 0.5\n", "delay 1.5\n", 1))


def children(pid):
    """The processes whose parent is `pid`, with their command lines."""
    found = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                command = f.read().split(b"\0")
        except OSError:
            continue
        fields = stat[stat.rindex(")") + 2:].split()
        if int(fields[1]) == pid and fields[0] != "Z":
            found[int(entry)] = [c.decode() for c in command]
    return found


def wait_for(what, check, limit=120.0):
    """Polls until check() is true; the limit only stops a test that would hang."""
    deadline = time.monotonic() + limit
    while not check():
        if time.monotonic() > deadline:
            raise Failure("waited %.0f s for %s" % (limit, what))
        time.sleep(0.02)


def start_jobs(binary, folder, args):
    return subprocess.Popen([os.path.abspath(binary)] + args, cwd=folder, env=dict(os.environ, ALSOFT_DRIVERS="null"),
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)


def kill_part(binary, folder, args):
    """Kills part 2 of 2 as soon as it runs; the parent goes on and fails."""
    parent = start_jobs(binary, folder, args)
    found = {}

    def part_two():
        found.update({pid: c for pid, c in children(parent.pid).items() if "2/2" in c})
        return bool(found)
    wait_for("the process of part 2/2", part_two)
    os.kill(next(iter(found)), signal.SIGKILL)
    out, err = parent.communicate(timeout=300)
    return parent.returncode, out.decode(), err.decode()


def kill_parent(binary, folder, args):
    """Kills the parent once both parts run; its children must stop with it."""
    parent = start_jobs(binary, folder, args)
    found = {}

    def both():
        found.update(children(parent.pid))
        return len(found) >= 2
    wait_for("the processes of both parts", both)
    os.kill(parent.pid, signal.SIGKILL)
    parent.communicate(timeout=60)
    wait_for("the parts to stop with their parent", lambda: not any(os.path.exists("/proc/%d" % pid) and
                                                                   open("/proc/%d/stat" % pid).read().split(") ")[1][0] != "Z"
                                                                   for pid in found), limit=60)
    return parent.returncode, "", ""


# --jobs interrupted: (case, output, what interrupts it, the lines its failure must hold). Parts
# that finished stay; the same command run again renders only what is missing and joins it, equal
# to one process. Killing the parent stops its parts, which never finish (a video's parts, which
# do not die of the progress pipe closing).
# A finished part damaged afterwards (a frame lost) is rendered again, not kept.
JOBS_INTERRUPTED = (("jobs_part_killed", "out", kill_part, ["part 2/2", "killed by signal 9", "log"], None),
                    ("jobs_parent_killed", "out.mkv", kill_parent, [], None),
                    ("jobs_kept_part_damaged", "out", kill_part, ["part 2/2"], "frame_000010.png"))


def test_jobs_interrupted(out, interrupt, lines, damage, binary, folder):
    longer_scene(folder)
    args = ["--render", out, "--jobs", "2", "--frames", "60"]
    code, _, err = interrupt(binary, folder, args)
    if code == 0:
        raise Failure("the interrupted --jobs exited 0:\n" + err)
    for text in lines:
        if not any(text in line for line in err.splitlines()):
            raise Failure("the failure should say %r:\n%s" % (text, err))
    finished = [k for k in (1, 2) if os.path.exists(os.path.join(folder, "%s.part-%d-of-2" % (out, k), "part.json"))]
    if interrupt is kill_part and finished != [1]:
        raise Failure("after part 2 was killed the finished parts are %s, expected part 1 kept" % finished)
    if interrupt is kill_parent and finished == [1, 2]:
        raise Failure("the parts ran on to their end after their parent was killed")
    if damage:
        os.remove(os.path.join(folder, "%s.part-1-of-2" % out, damage))
        finished.remove(1)
    _, err = render(binary, folder, args)
    for k in (1, 2):
        if ("part %d/2 is complete" % k in err) != (k in finished):
            raise Failure("the second run should keep exactly the whole finished parts %s and say so:\n%s" % (
                finished, err))
    render(binary, folder, ["--render", "ref", "--frames", "60"])
    names = frames_in(os.path.join(folder, "ref"))
    if out.endswith(".mkv"):
        video = decoded_frames(os.path.join(folder, out))
        if len(video) != len(names) or any(frame != png_rgb(os.path.join(folder, "ref", name))
                                           for frame, name in zip(video, names)):
            raise Failure("%s run again does not decode to the %d frames of one process" % (out, len(names)))
    else:
        same_frames(os.path.join(folder, "ref"), names, os.path.join(folder, out), frames_in(os.path.join(folder, out)),
                    "--jobs run again")
    left = [name for name in os.listdir(folder) if name.startswith(out + ".")]
    if left:
        raise Failure("the successful run left %s" % left)


def ended_scene(folder):
    """The render scene with its script ending after 5 steps; its tweens go on moving."""
    script = os.path.join(folder, "assets", "demo.script")
    with open(script) as f:
        text = f.read()
    with open(script, "w") as f:
        f.write(text.replace("delay 0.5\nexit\n", "delay 0.05\nexit\n", 1))


def split_jobs(count):
    def split(binary, folder, out, args):
        return render(binary, folder, ["--render", out, "--jobs", str(count)] + args)
    return split


def split_parts(binary, folder, out, args):
    err = ""
    for k in (1, 2):
        err += render(binary, folder, ["--render", out, "--part", "%d/2" % k] + args)[1]
    return render(binary, folder, ["--join", out, out + ".part-1-of-2", out + ".part-2-of-2"])[1] + err


def split_ranges(binary, folder, out, args):
    return render(binary, folder, ["--render", out, "--range", "1:6"])[1] + \
        render(binary, folder, ["--render", out, "--range", "7:12"])[1]


def demo_lines(text):
    """The demo's own log lines of a run's output, addresses left out."""
    return [re.sub(r"0x[0-9a-f]+", "0x", line) for line in text.splitlines()
            if line and not line.startswith("kestrune:") and "frame " not in line]


def test_jobs_output(binary, folder):
    """--jobs prints the demo's log lines where one process prints them, once, each on a line of its own."""
    out, err = render(binary, folder, ["--render", "one", "--frames", "4"])
    wanted = demo_lines(out)
    if not wanted:
        raise Failure("one process printed no log lines of the demo:\n" + out)
    out, err = render(binary, folder, ["--render", "split", "--frames", "4", "--jobs", "2"])
    if demo_lines(out) != wanted or demo_lines(err):
        raise Failure("--jobs printed the log lines\n%s\non standard output and\n%s\non standard error; one "
                      "process prints\n%s\non standard output" % (out, err, "\n".join(wanted)))
    # On a terminal the progress line is ended before the log lines.
    leader, follower = pty.openpty()
    run = subprocess.Popen([os.path.abspath(binary), "--render", "tty", "--frames", "4", "--jobs", "2"], cwd=folder,
                           env=dict(os.environ, ALSOFT_DRIVERS="null"), stdin=subprocess.DEVNULL, stdout=follower,
                           stderr=follower)
    os.close(follower)
    shown = b""
    while True:
        try:
            chunk = os.read(leader, 4096)
        except OSError:
            break
        if not chunk:
            break
        shown += chunk
    os.close(leader)
    run.wait(timeout=120)
    text = shown.decode(errors="replace").replace("\r\n", "\n")
    first = wanted[0].split(" (0x")[0]
    at = text.find(first)
    if at < 0 or (at > 0 and text[at - 1] != "\n"):
        raise Failure("on a terminal the log line %r does not start a line:\n%r" % (first, text[max(0, at - 120):at + 40]))


# Split renders of the frames one process renders: (case, scene change, one process's arguments,
# how it is split, the split's arguments, the frame count or None). A time is turned into frames
# once, exactly; frames after the demo has ended are rendered as one process renders them; no
# message names an option the user did not give.
SPLIT_COUNTS = (("jobs_seconds", longer_scene, ["--seconds", "1.0083334"], split_jobs(2), ["--seconds", "1.0083334"], 61),
                ("ended_jobs", ended_scene, ["--frames", "12"], split_jobs(2), ["--frames", "12"], 12),
                ("ended_parts", ended_scene, ["--frames", "12"], split_parts, ["--frames", "12"], 12),
                ("ended_range", ended_scene, ["--frames", "12"], split_ranges, [], 12),
                # 5 frames to the end in 6 processes: some parts are empty.
                ("ended_jobs_to_end", ended_scene, [], split_jobs(6), [], 5))


def test_split_count(change, args, split, split_args, frames, binary, folder):
    change(folder)
    render(binary, folder, ["--render", "ref"] + args)
    err = split(binary, folder, "out", split_args)
    reference = frames_in(os.path.join(folder, "ref"))
    if frames is not None and len(reference) != frames:
        raise Failure("one process rendered %d frames, expected %d" % (len(reference), frames))
    same_frames(os.path.join(folder, "ref"), reference, os.path.join(folder, "out"),
                frames_in(os.path.join(folder, "out")), "%s %s" % (split.__name__, " ".join(split_args)))
    if split is not split_parts and "--part" in err:
        raise Failure("a message names --part, which was not given:\n" + err)


# Ranges rendered one after another into one folder, in one process or with --jobs, with a
# manifest: the folder and its manifest end up as those of one render of frames 1 to 30.
RANGE_FILLS = (("range_jobs_fill", [["--range", "1:10"], ["--range", "11:20", "--jobs", "2"], ["--range", "21:30"]]),
               ("range_manifest", [["--range", "21:30"], ["--range", "1:10"], ["--range", "11:20", "--jobs", "2"]]))


def test_range_fill(runs, binary, folder):
    render(binary, folder, ["--render", "whole", "--frames", "30", "--manifest"])
    for args in runs:
        render(binary, folder, ["--render", "out", "--manifest"] + args)
    names = frames_in(os.path.join(folder, "whole"))
    same_frames(os.path.join(folder, "whole"), names, os.path.join(folder, "out"), frames_in(os.path.join(folder, "out")),
                "ranges into one folder")
    if read(os.path.join(folder, "out.frames.sha256")) != read(os.path.join(folder, "whole.frames.sha256")):
        raise Failure("the manifest of the ranges is not that of the whole render:\n%s" %
                      read(os.path.join(folder, "out.frames.sha256")).decode())


# Formats and scaling: (case, output, arguments, codec, width, height, frames).
FORMATS = (("gif", "clip.gif", ["--size", "480x270", "--fps", "30"], "gif", 480, 270, 5),
           ("mov", "clip.mov", ["--size", "1280x720"], "prores", 1280, 720, 10),
           ("mkv", "clip.mkv", [], "ffv1", 1920, 1080, 10),
           ("frames_size", "small", ["--size", "320x180"], None, 320, 180, 10))


def test_format(out, args, codec, width, height, frames, binary, folder):
    count = ["--frames", str(frames)]
    render(binary, folder, ["--render", out] + count + args)
    path = os.path.join(folder, out)
    if codec is None:
        names = frames_in(path)
        size = subprocess.run(["identify", "-format", "%w %h\n", os.path.join(path, names[0])], check=True,
                              stdout=subprocess.PIPE).stdout.decode().split()
        if len(names) != frames or size != [str(width), str(height)]:
            raise Failure("%s: %d frames of %s, expected %d of %dx%d" % (out, len(names), size, frames, width, height))
        # The colour type in the PNG header: 2 is RGB, as full-size frames are.
        if read(os.path.join(path, names[0]))[25] != 2:
            raise Failure("%s: the frames are of PNG colour type %d, not RGB (2) as full-size frames" % (
                out, read(os.path.join(path, names[0]))[25]))
        return
    result = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v", "-show_entries",
                             "stream=codec_name,width,height,nb_read_frames", "-of", "json", path], check=True,
                            stdout=subprocess.PIPE)
    stream = json.loads(result.stdout)["streams"][0]
    got = (stream["codec_name"], stream["width"], stream["height"], int(stream["nb_read_frames"]))
    if got != (codec, width, height, frames):
        raise Failure("%s: %s, expected %s" % (out, got, (codec, width, height, frames)))


# GIF timing as players read it (a delay under 2 hundredths of a second counts as 10): (case,
# arguments, how long the clip must last).
GIF_TIMING = (("gif_timing_60fps", ["--frames", "90"], 1.5),
              ("gif_timing_30fps", ["--fps", "30", "--frames", "45"], 1.5),
              ("gif_timing_jobs", ["--frames", "90", "--jobs", "2"], 1.5))


def test_gif_timing(args, seconds, binary, folder):
    render(binary, folder, ["--render", "clip.gif", "--size", "160x90"] + args)
    got = duration(os.path.join(folder, "clip.gif"))
    if abs(got - seconds) > 0.02:
        raise Failure("%s: the GIF lasts %.3f s for players, not %.3f s" % (" ".join(args), got, seconds))


# Colour tags that say how the picture was turned into YUV: (case, output). Frame 20's red and
# green patches decoded with the matrix and range the file names come back as drawn.
COLOUR_TAGS = (("colour_mp4", "c.mp4"), ("colour_webm", "c.webm"), ("colour_mov", "c.mov"))
MATRIX = {"bt709": "bt709", "smpte170m": "bt601", "bt470bg": "bt601", "bt2020nc": "bt2020"}


def test_colour_tags(out, binary, folder):
    render(binary, folder, ["--render", out, "--frames", "20"])
    path = os.path.join(folder, out)
    result = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v", "-show_entries",
                             "stream=color_space,color_range,color_primaries,color_transfer", "-of", "json", path],
                            check=True, stdout=subprocess.PIPE)
    tags = json.loads(result.stdout)["streams"][0]
    if tags.get("color_space") not in MATRIX or tags.get("color_range") not in ("tv", "pc") or \
            tags.get("color_primaries", "unknown") == "unknown" or tags.get("color_transfer", "unknown") == "unknown":
        raise Failure("%s carries the colour tags %s" % (out, tags))
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-vf", "select=eq(n\\,19),scale=in_color_matrix=%s:"
                          "in_range=%s,format=rgb24" % (MATRIX[tags["color_space"]], tags["color_range"]),
                          "-frames:v", "1", "-f", "rawvideo", "-"], check=True, stdout=subprocess.PIPE).stdout
    image = (1920, raw)
    # Flat patches away from edges, where a lossy codec keeps the colour.
    for point, rgb, what in (((1800, 1000), RED, "the red patch"), ((1233, 250), GREEN, "the green block")):
        got = pixel(image, *point)
        if max(abs(a - b) for a, b in zip(got, rgb)) > 4:
            raise Failure("%s decoded as its tags %s say: %s is %s, drawn %s" % (out, tags, what, got, rgb))


def test_range_times(binary, folder):
    """A range in seconds is the frames of that stretch of the render's clock, numbered as in the whole."""
    render(binary, folder, ["--render", "full", "--frames", "20"])
    render(binary, folder, ["--render", "part", "--range", "0.1s:0.25s"])
    names = frames_in(os.path.join(folder, "part"))
    if names != ["frame_%06d.png" % n for n in range(7, 16)]:
        raise Failure("--range 0.1s:0.25s gave %s" % names)
    same_frames(os.path.join(folder, "full"), names, os.path.join(folder, "part"), names, "--range 0.1s:0.25s")


def cases():
    """Every case by name; tests/CMakeLists.txt lists the same names."""
    found = {"frames_to_end": test_frames_to_end, "frames_pixels": test_frames_pixels,
             "frames_replace": test_frames_replace, "video_sound": test_video_sound,
             "env_no_ffmpeg": test_env_no_ffmpeg, "scale_manifest": test_manifest,
             "scale_range_times": test_range_times, "scale_jobs_output": test_jobs_output,
             "scale_parallel_ssh": test_parallel_ssh,
             "env_bad_extension": test_env_bad_extension, "env_dotted_folder": test_env_dotted_folder,
             "seek_scene": functools.partial(test_seek, seek_scene),
             "seek_trail": functools.partial(test_seek, seek_trail)}
    for name, args, frames, summary in SAME_AS_FULL:
        found["frames_" + name] = functools.partial(same_as_full, args, frames, summary)
    for name, output, args, frames, rate in VIDEOS:
        found["video_" + name] = functools.partial(test_video_streams, output, args, frames, rate)
    for name, display in DISPLAYS:
        found["env_" + name] = functools.partial(test_env_display, display)
    for name, change, output, args, why in SILENT:
        found["video_" + name] = functools.partial(test_video_silent, change, output, args, why)
    for name, scene, split, out in SPLITS:
        found["scale_" + name] = functools.partial(test_split, scene, split, out)
    for name, split, args in VIDEO_SPLITS:
        found["scale_" + name] = functools.partial(test_video_split, split, args)
    for name, change, args, error in JOIN_ERRORS:
        found["scale_" + name] = functools.partial(test_join_error, change, args, error)
    for name, out, interrupt, lines, damage in JOBS_INTERRUPTED:
        found["scale_" + name] = functools.partial(test_jobs_interrupted, out, interrupt, lines, damage)
    for name, change, args, split, split_args, frames in SPLIT_COUNTS:
        found["scale_" + name] = functools.partial(test_split_count, change, args, split, split_args, frames)
    for name, runs in RANGE_FILLS:
        found["scale_" + name] = functools.partial(test_range_fill, runs)
    for name, out, fault, named in JOIN_FAULTS:
        found["scale_" + name] = functools.partial(test_join_fault, out, fault, named)
    for name, args, seconds in GIF_TIMING:
        found["format_" + name] = functools.partial(test_gif_timing, args, seconds)
    for name, out in COLOUR_TAGS:
        found["format_" + name] = functools.partial(test_colour_tags, out)
    for name, out, args, codec, width, height, frames in FORMATS:
        found["format_" + name] = functools.partial(test_format, out, args, codec, width, height, frames)
    return found


def main():
    tests = cases()
    if len(sys.argv) == 2 and sys.argv[1] == "--list":
        print("\n".join(sorted(tests)))
        return 0
    if len(sys.argv) != 3 or sys.argv[2] not in tests:
        print(__doc__ + "cases: " + " ".join(sorted(tests)))
        return 2
    folder = workdir()
    try:
        tests[sys.argv[2]](sys.argv[1], folder)
    except Failure as failure:
        print("FAIL render %s: %s (files kept in %s)" % (sys.argv[2], failure, folder))
        return 1
    shutil.rmtree(folder, ignore_errors=True)
    print("PASS render %s" % sys.argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main())
