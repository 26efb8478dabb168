#!/usr/bin/env bash
# Runs every test through ctest on a virtual 1920 x 1080 screen.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
shift || true
exec xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" ctest --test-dir "$build_dir" --output-on-failure "$@"
