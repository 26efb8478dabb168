#!/usr/bin/env bash
# Builds the Debian package in DIR (default build-package): the player alone, stripped, with the
# files' times set to the last commit's and no build path in the binary, so that the same commit
# gives the same package in any tree; then checks it with lintian (a failure on any error).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-package}

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || stat -c %Y CMakeLists.txt)
export SOURCE_DATE_EPOCH

# The optimisation of the tested build without its debugging information, which would name the
# build tree and so change the binary's build ID from one tree to another (the package is
# stripped anyway).
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG" \
    -DKESTRUNE_TESTS=OFF -DKESTRUNE_BENCH=OFF "-DCMAKE_CXX_FLAGS=-ffile-prefix-map=$PWD/=" "${launcher[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
rm -f "$dir"/package/kestrune_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/package/kestrune_*.deb)
echo "package: $deb"
lintian --fail-on error "$deb"
echo "package: lintian found no errors"
