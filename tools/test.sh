#!/usr/bin/env bash
# Runs every test through ctest on a virtual 1920 x 1080 screen.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
shift || true
# As many tests at once as there are cores: the black-box cases that share the screen's focus
# hold a lock on it and run one at a time, the unit tests run beside them.
exec xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" ctest --test-dir "$build_dir" --output-on-failure \
    -j "${TEST_JOBS:-$(nproc)}" "$@"
