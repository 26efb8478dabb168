#!/usr/bin/env bash
# Builds the Debian package in DIR (default build-package): the player alone, stripped, with the
# files' times set to the last commit's and no build path in the binary, so that the same commit
# gives the same package; then checks it with lintian (a failure on any error).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || stat -c %Y CMakeLists.txt)
export SOURCE_DATE_EPOCH

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_TESTS=OFF -DKESTRUNE_BENCH=OFF \
    "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=$PWD/=" "${launcher[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
rm -f "$dir"/package/kestrune_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/package/kestrune_*.deb)
echo "package: $deb"
lintian --fail-on error "$deb"
echo "package: lintian found no errors"
