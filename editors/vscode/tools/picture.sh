#!/usr/bin/env bash
# Makes the README's picture of a coloured script: tools/highlight.js colours the sample with the
# extension's grammar and the Dark+ theme, and headless Chromium (Debian's chromium) screenshots it.
# usage: editors/vscode/tools/picture.sh [OUT.png]   (default docs/editor.png)
set -euo pipefail
tools="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$tools/../../.." && pwd)"
out="$(realpath -m "${1:-$root/docs/editor.png}")"
sample="$tools/sample/demo.script"
command -v chromium >/dev/null || { echo "picture.sh: needs Debian's chromium (apt-get install chromium)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
node "$tools/highlight.js" "$sample" > "$work/page.html"
# The tab bar, the padding and 22 pixels per line.
height=$((35 + 16 + 22 * $(wc -l < "$sample")))
chromium --headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$work/profile" --hide-scrollbars \
    --force-device-scale-factor=1 --window-size="820,$height" --screenshot="$work/shot.png" \
    "file://$work/page.html" 2>/dev/null
convert "$work/shot.png" -strip "$out"
echo "$out"
