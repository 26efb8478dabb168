#!/usr/bin/env bash
# Renders one frame of every example with the offline renderer and stores a 640 x 360 copy in
# docs/examples/NAME.png. usage: tools/screenshot_examples.sh [build dir] [example ...]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
shift || true
# The moment of each example that shows what it teaches, in seconds of demo time.
declare -A moment=([buffers]=3 [tweens]=1.2 [shaders]=3 [animation]=2.5 [particles]=4.5 [text]=0.7 [flow]=2.6 [music]=2.05)
names=("$@")
[ ${#names[@]} -eq 0 ] && names=(buffers tweens shaders animation particles text flow music)
mkdir -p docs/examples
for name in "${names[@]}"; do
    out=$(mktemp -d)
    ALSOFT_DRIVERS=null xvfb-run -a -s "-screen 0 1920x1080x24" \
        "$build_dir/kestrune" --render "$out" --start "${moment[$name]}" --frames 1 "examples/$name" >/dev/null
    convert "$out/frame_000001.png" -resize 640x360 -strip "docs/examples/$name.png"
    rm -rf "$out"
    echo "docs/examples/$name.png"
done
