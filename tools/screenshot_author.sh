#!/usr/bin/env bash
# The README's picture of author mode: the bundled demo paused at 12.35 s with the overlay, the
# key help and the timeline (a loop marked on it by a Shift drag), stored as a 960 x 540 copy in
# docs/author.png. usage: tools/screenshot_author.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath "${1:-build}")
if [ -z "${KESTRUNE_SCREENSHOT_XVFB:-}" ]; then
    exec env KESTRUNE_SCREENSHOT_XVFB=1 xvfb-run -a -s "-screen 0 1920x1080x24" bash "$0" "$@"
fi
log=$(mktemp)
ALSOFT_DRIVERS=null stdbuf -oL "$build_dir/kestrune" --author --start 12.35 >"$log" 2>/dev/null &
player=$!
# Each key is sent once the program has said that it took the one before.
wait_for() {
    until grep -q "$1" "$log"; do
        kill -0 "$player" 2>/dev/null || { echo "kestrune ended early" >&2; exit 1; }
        sleep 0.1
    done
}
wait_for "author: playing at 12.350 s"
xdotool key space
wait_for "author: paused"
# A loop marked by a Shift drag along the timeline (which spans what is known so far: the end of
# the demo has not been reached yet).
xdotool mousemove 900 1032 keydown shift mousedown 1 mousemove 1100 1032 mousemove 1300 1032 mouseup 1 keyup shift
wait_for "author: loop"
xdotool key F1 key bracketleft
wait_for "speed 1/2x"
sleep 1 # the frame after the last key, then a still picture
import -window root -depth 8 "$log.png"
xdotool key Escape
wait "$player"
convert "$log.png" -resize 960x540 -strip docs/author.png
rm -f "$log" "$log.png"
echo docs/author.png
