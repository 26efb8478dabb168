#!/usr/bin/env python3
"""The Debian package and an exported demo on pristine Debian 12 systems, as root.

1. The package is built a second time in another tree: the same file list and the same binary.
2. A pristine Debian 12 (mmdebstrap --variant=minbase, the host's apt sources) installs the package
   with apt, which pulls in what the package declares; there `kestrune --version`, `man kestrune`,
   the bash completion of `kestrune --st<TAB>` and a render of an example demo are checked, the
   render against the build tree's frames; the installed player exports the example.
3. A second pristine Debian 12 with only xvfb, xauth and libgl1-mesa-dri (no SFML, no Kestrune)
   unpacks the export and renders through its `play` launcher from another folder: the same frames.

The minbase tarball is cached under ~/.cache/kestrune (one a day), and the packages apt fetches for
the chroots are kept there too. When the Debian archive cannot be reached the test says so in one
line and passes."""
import argparse
import datetime
import glob
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.request

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CACHE = os.environ.get("KESTRUNE_CACHE", os.path.expanduser("~/.cache/kestrune"))
APT_SOURCES = "/etc/apt/sources.list.d/debian.sources"
EXAMPLE = "text"
FRAMES = "30"
SCREEN = "-screen 0 1920x1080x24"


class Failure(Exception):
    pass


def run(args, **kwargs):
    result = subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, **kwargs)
    if result.returncode != 0:
        raise Failure("%s exited with %d:\n%s%s" % (" ".join(args), result.returncode, result.stdout[-3000:],
                                                   result.stderr[-3000:]))
    return result.stdout


def frame_hashes(folder):
    frames = sorted(glob.glob(os.path.join(folder, "frame_*.png")))
    return [(os.path.basename(f), hashlib.sha256(open(f, "rb").read()).hexdigest()) for f in frames]


def same_frames(what, reference, folder):
    got = frame_hashes(folder)
    if len(reference) != int(FRAMES):
        raise Failure("the build tree rendered %d frames, not %s" % (len(reference), FRAMES))
    if got != reference:
        differing = [name for (name, h), (_, r) in zip(got, reference) if h != r]
        raise Failure("%s: %d frames, %d differ from the build tree's (first: %s)"
                      % (what, len(got), len(differing), differing[:3] or "count"))
    print("package test: %s: the same %d frames as the build tree" % (what, len(got)))


def archive_reachable():
    """The first URI of the host's apt sources answers."""
    uri = "http://deb.debian.org/debian"
    for line in open(APT_SOURCES):
        if line.startswith("URIs:"):
            uri = line.split()[1]
            break
    try:
        urllib.request.urlopen(uri.rstrip("/") + "/dists/bookworm/Release", timeout=20).close()
        return True
    except OSError:
        return False


def base_tarball():
    """Today's minbase tarball of bookworm from the host's apt sources, made once a day."""
    os.makedirs(CACHE, exist_ok=True)
    path = os.path.join(CACHE, "bookworm-minbase-%s.tar" % datetime.date.today().isoformat())
    if not os.path.exists(path):
        for old in glob.glob(os.path.join(CACHE, "bookworm-minbase-*.tar")):
            os.remove(old)
        print("package test: making a pristine Debian 12 with mmdebstrap (once a day)", flush=True)
        run(["mmdebstrap", "--quiet", "--variant=minbase", "bookworm", path + ".part", APT_SOURCES])
        os.rename(path + ".part", path)
    return path


class Chroot:
    """A pristine Debian 12 unpacked from the base tarball, with /proc, /sys and /dev mounted; all
    unmounted and removed again on leaving, also after a failure."""

    def __init__(self, base, work, name):
        self.base = base
        self.root = os.path.join(work, name)
        self.mounts = []

    def __enter__(self):
        os.makedirs(self.root)
        run(["tar", "-xf", self.base, "-C", self.root])
        shutil.copy("/etc/resolv.conf", os.path.join(self.root, "etc/resolv.conf"))
        archives = os.path.join(CACHE, "apt-archives")
        os.makedirs(os.path.join(archives, "partial"), exist_ok=True)
        for source, target, how in (("proc", "proc", ["-t", "proc"]), ("sysfs", "sys", ["-t", "sysfs"]),
                                    ("/dev", "dev", ["--rbind"]), (archives, "var/cache/apt/archives", ["--bind"])):
            where = os.path.join(self.root, target)
            run(["mount"] + how + [source, where])
            self.mounts.append(where)
            if how == ["--rbind"]:
                # Unmounting inside must not reach the host's /dev.
                run(["mount", "--make-rslave", where])
        return self

    def __exit__(self, *exc):
        for where in reversed(self.mounts):
            # /dev's submounts can stay busy for a moment after the last process inside has gone;
            # then it is detached lazily.
            subprocess.run(["umount", "-R", where], check=False, stderr=subprocess.DEVNULL)
            if os.path.ismount(where):
                subprocess.run(["umount", "-R", "-l", where], check=False)
        still = [m for m in self.mounts if os.path.ismount(m)]
        if still:
            print("package test: could not unmount %s" % still, file=sys.stderr)
        else:
            shutil.rmtree(self.root, ignore_errors=True)
        return False

    def sh(self, script):
        env = {"PATH": "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin", "HOME": "/root",
               "LANG": "C.UTF-8", "DEBIAN_FRONTEND": "noninteractive", "ALSOFT_DRIVERS": "null"}
        return run(["chroot", self.root, "/bin/bash", "-ec", script], env=env)

    def apt_install(self, packages):
        self.sh("apt-get update -qq && apt-get install -y -qq --no-install-recommends %s >/dev/null" % packages)

    def path(self, inside):
        return os.path.join(self.root, inside.lstrip("/"))


def deb_in(folder):
    debs = glob.glob(os.path.join(folder, "package", "kestrune_*.deb"))
    if len(debs) != 1:
        raise Failure("expected one kestrune_*.deb in %s/package, found %s" % (folder, debs))
    return debs[0]


def deb_contents(deb, work):
    """The file list (mode, owner, size, time, name) and the binary's SHA-256 of a package."""
    listing = run(["dpkg-deb", "-c", deb])
    unpacked = tempfile.mkdtemp(dir=work)
    run(["dpkg-deb", "-x", deb, unpacked])
    binary = open(os.path.join(unpacked, "usr/bin/kestrune"), "rb").read()
    return listing, hashlib.sha256(binary).hexdigest(), binary


def build_again(package_dir):
    """Starts building the package a second time, in a tree of its own, while the chroots run."""
    again = package_dir.rstrip("/") + "-again"
    print("package test: building the package again in %s" % again, flush=True)
    return subprocess.Popen(["bash", os.path.join(SOURCE, "tools/package.sh"), again], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True)


def check_reproducible(package_dir, building, work):
    output = building.communicate()[0]
    if building.returncode != 0:
        raise Failure("building the package again failed:\n" + output)
    first = deb_in(package_dir)
    again = package_dir.rstrip("/") + "-again"
    list1, hash1, binary = deb_contents(first, work)
    list2, hash2, _ = deb_contents(deb_in(again), work)
    if list1 != list2:
        raise Failure("the two packages hold different files:\n%s\n---\n%s" % (list1, list2))
    if hash1 != hash2:
        raise Failure("the two packages hold different binaries (%s, %s)" % (hash1, hash2))
    if SOURCE.encode() in binary:
        raise Failure("the packaged binary holds the build path %s" % SOURCE)
    whole = "the same bytes" if open(first, "rb").read() == open(deb_in(again), "rb").read() else "different bytes"
    print("package test: built twice: the same %d files and the same binary (%s); the two .deb files: %s"
          % (len(list1.splitlines()), hash1[:16], whole))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="the build tree whose player renders the reference")
    parser.add_argument("--package", required=True, help="the tree tools/package.sh built the package in")
    args = parser.parse_args()
    if os.geteuid() != 0:
        print("package test: skipped: mmdebstrap and chroot need root")
        return 0
    player = os.path.abspath(os.path.join(args.build, "kestrune"))
    deb = os.path.abspath(deb_in(args.package))
    work = tempfile.mkdtemp(prefix="kestrune-package-test-")
    # Checks whose failure leaves the others to run; reported together at the end.
    problems = []
    building = build_again(os.path.abspath(args.package))
    try:
        if not archive_reachable():
            check_reproducible(os.path.abspath(args.package), building, work)
            print("package test: skipped the Debian 12 chroots: the Debian archive in %s cannot be reached"
                  % APT_SOURCES)
            return 0
        base = base_tarball()

        # The build tree's frames of the example.
        env = dict(os.environ, ALSOFT_DRIVERS="null")
        reference_out = os.path.join(work, "reference")
        run(["xvfb-run", "-a", "-s", SCREEN, player, os.path.join(SOURCE, "examples", EXAMPLE),
             "--render", reference_out, "--frames", FRAMES], env=env)
        reference = frame_hashes(reference_out)
        version = run([player, "--version"]).strip()

        with Chroot(base, work, "installed") as system:
            shutil.copy(deb, system.path("/tmp"))
            system.apt_install("man-db bash-completion xvfb xauth ./tmp/%s" % os.path.basename(deb))
            missing = system.sh("ldd /usr/bin/kestrune | grep 'not found' || true")
            if missing:
                raise Failure("the package's Depends leave libraries out:\n" + missing)
            got = system.sh("kestrune --version").strip()
            if got != version:
                raise Failure("kestrune --version in the chroot says %r, the build tree %r" % (got, version))
            print("package test: installed with apt in a pristine Debian 12: %s" % got)
            page = system.sh("MANPAGER=cat MANWIDTH=80 man kestrune 2>&1 || true")
            if "--export" not in page or "kestrune" not in page.splitlines()[0].lower():
                problems.append("man kestrune does not show the manual page:\n" + page[:1500])
            else:
                print("package test: man kestrune shows %d lines" % len(page.splitlines()))
            completion = system.sh(
                "set +e; source /usr/share/bash-completion/bash_completion; "
                "_completion_loader kestrune; "
                "COMP_WORDS=(kestrune --st); COMP_CWORD=1; COMP_LINE='kestrune --st'; COMP_POINT=${#COMP_LINE}; "
                "function=$(complete -p kestrune | sed -n 's/.* -F \\([^ ]*\\) .*/\\1/p'); "
                "\"$function\" kestrune --st kestrune; printf '%s\\n' \"${COMPREPLY[@]}\" || true").split()
            if "--start" not in completion or any(not word.startswith("--st") for word in completion):
                problems.append("the bash completion of 'kestrune --st' gives %s" % completion)
            else:
                print("package test: bash completes 'kestrune --st' to %s" % " ".join(sorted(completion)))
            system.sh("cd /tmp && xvfb-run -a -s '%s' kestrune /usr/share/kestrune/examples/%s --render out --frames %s"
                      % (SCREEN, EXAMPLE, FRAMES))
            same_frames("the installed package", reference, system.path("/tmp/out"))
            system.sh("kestrune --export /usr/share/kestrune/examples/%s /tmp/%s-demo" % (EXAMPLE, EXAMPLE))
            bundle = os.path.join(work, "%s-demo.tar.gz" % EXAMPLE)
            shutil.copy(system.path("/tmp/%s-demo.tar.gz" % EXAMPLE), bundle)

        with Chroot(base, work, "viewer") as system:
            system.apt_install("xvfb xauth libgl1-mesa-dri")
            present = system.sh("dpkg-query -W -f '${Package}\\n' | grep -E '^(libsfml|kestrune)' || true").strip()
            if present or os.path.exists(system.path("/usr/bin/kestrune")):
                raise Failure("the viewer's system is not pristine: %s" % present)
            shutil.copy(bundle, system.path("/opt"))
            system.sh("cd /opt && tar -xzf %s-demo.tar.gz && mkdir /tmp/elsewhere" % EXAMPLE)
            system.sh("cd /tmp/elsewhere && xvfb-run -a -s '%s' /opt/%s-demo/play --render out --frames %s"
                      % (SCREEN, EXAMPLE, FRAMES))
            same_frames("the exported demo in a Debian 12 without SFML or Kestrune", reference,
                        system.path("/tmp/elsewhere/out"))
        check_reproducible(os.path.abspath(args.package), building, work)
        if problems:
            raise Failure("\n".join(problems))
        print("package test: passed")
        return 0
    except Failure as failure:
        print("package test: FAILED: %s" % failure, file=sys.stderr)
        return 1
    finally:
        if building.poll() is None:
            building.kill()
            building.wait()
        # Never remove through a mount that is still there (the host's /dev).
        mounted = [line.split()[1] for line in open("/proc/mounts") if line.split()[1].startswith(work)]
        if mounted:
            print("package test: left %s in place: %s is still mounted" % (work, mounted), file=sys.stderr)
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
