#!/usr/bin/env python3
"""Opens a kestrune --profile trace in a real trace viewer and takes a screenshot.

usage: trace_screenshot.py TRACE.json OUT.png

The viewer is speedscope, pinned in tools/viewer/package.json (installed there by `npm ci` when
missing); it runs offline from node_modules in Debian's headless Chromium. The trace is served
with the viewer from a local HTTP server on a free port (a page opened from a file may not read
another file), and speedscope is told its address. Exit status 1 when the viewer does not show
the trace (the screenshot is then still written, for a look).
"""

import functools
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
VIEWER = os.path.join(HERE, "viewer")
RELEASE = os.path.join(VIEWER, "node_modules", "speedscope", "dist", "release")


def chromium():
    for name in ("chromium", "chromium-browser", "google-chrome"):
        if shutil.which(name):
            return name
    return None


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    trace, out = os.path.abspath(argv[1]), os.path.abspath(argv[2])
    if not os.path.isdir(RELEASE):
        subprocess.run(["npm", "ci", "--no-audit", "--no-fund", "--loglevel=error"], cwd=VIEWER, check=True)
    browser = chromium()
    if not browser:
        print("trace_screenshot: no chromium (tools/setup.sh installs it)", file=sys.stderr)
        return 1
    site = tempfile.mkdtemp(prefix="kestrune-viewer-")
    try:
        shutil.copytree(RELEASE, os.path.join(site, "viewer"))
        shutil.copy2(trace, os.path.join(site, "trace.json"))
        handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=site)
        handler.log_message = lambda *args: None
        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        port = server.server_address[1]
        url = "http://127.0.0.1:%d/viewer/index.html#profileURL=%s&title=kestrune%%20profile" % (
            port, "http://127.0.0.1:%d/trace.json" % port)
        profile_dir = os.path.join(site, "browser-profile")
        # The virtual time budget lets the page load, fetch and draw before the picture is taken.
        done = subprocess.run([browser, "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                               "--user-data-dir=" + profile_dir, "--window-size=1600,900",
                               "--virtual-time-budget=15000", "--screenshot=" + out, url],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=180)
        server.shutdown()
        if not os.path.exists(out):
            print("trace_screenshot: chromium took no screenshot:\n%s" % done.stderr.decode(), file=sys.stderr)
            return 1
        print("trace_screenshot: %s shown by speedscope in %s: %s" % (argv[1], browser, out))
        return 0
    finally:
        shutil.rmtree(site, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
