#!/usr/bin/env bash
# Installs the Debian packages a task needs, only when some are missing:
#   tools/setup.sh build    compiling the player
#   tools/setup.sh play     compiling and playing it (make play)
#   tools/setup.sh package  making the Debian package and checking it with lintian (make package)
#   tools/setup.sh vsix     node, npm and the editor extension's npm packages (make vsix)
#   tools/setup.sh test     everything the tests, benchmarks and fuzzing need (make test), and the
#                           editor extension's npm packages
# Without an argument: test.
set -euo pipefail

task=${1:-test}

build=(cmake g++ make pkg-config libsfml-dev nlohmann-json3-dev zlib1g-dev libstb-dev libx11-dev
       libssl-dev libkissfft-dev)
# What the window, the music and a virtual screen need at run time.
play=("${build[@]}" libgl1-mesa-dri libopenal1 xvfb xauth)
# dpkg-shlibdeps computes Depends; CPack looks at binaries with `file`.
package=("${play[@]}" dpkg-dev file lintian)
test=("${package[@]}" libgtest-dev fonts-dejavu-core imagemagick xdotool python3 libbenchmark-dev clang
      libclang-rt-14-dev ffmpeg parallel neovim openssh-server openssh-client rsync groff-base man-db bash zsh
      fish mmdebstrap ccache chromium)

case "$task" in
    build) packages=("${build[@]}") ;;
    play) packages=("${play[@]}") ;;
    package) packages=("${package[@]}") ;;
    vsix) packages=() ;;
    test) packages=("${test[@]}") ;;
    *) echo "usage: tools/setup.sh build|play|package|vsix|test" >&2; exit 2 ;;
esac

missing=()
for p in ${packages[@]+"${packages[@]}"}; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# node and npm for the editor extension's tests and its .vsix: Debian's, unless both commands are
# already there.
npm_task=false
[ "$task" = test ] || [ "$task" = vsix ] && npm_task=true
if $npm_task && { ! command -v node >/dev/null || ! command -v npm >/dev/null; }; then
    missing+=(nodejs npm)
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing ${missing[*]}"
    if [ "$(id -u)" -eq 0 ]; then
        sudo_cmd=()
    else
        sudo_cmd=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The editor extension's npm packages, pinned by its lock file, into editors/vscode/node_modules;
# again whenever the lock file changes. Only the npm registry is asked: install scripts (which
# would fetch prebuilt binaries from elsewhere) are not run, and none of these packages needs one.
if $npm_task; then
    extension="$(dirname "$0")/../editors/vscode"
    if ! cmp -s "$extension/package-lock.json" "$extension/node_modules/.kestrune-lock.json"; then
        echo "setup: installing the editor extension's npm packages"
        (cd "$extension" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null)
        cp "$extension/package-lock.json" "$extension/node_modules/.kestrune-lock.json"
    fi
fi

# The trace viewer that the profiler's screenshot opens in headless Chromium (tools/viewer),
# pinned by its lock file, the same way; only the tests need it.
if [ "$task" = test ]; then
    viewer="$(dirname "$0")/viewer"
    if ! cmp -s "$viewer/package-lock.json" "$viewer/node_modules/.kestrune-lock.json"; then
        echo "setup: installing the trace viewer's npm packages"
        (cd "$viewer" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error >/dev/null)
        cp "$viewer/package-lock.json" "$viewer/node_modules/.kestrune-lock.json"
    fi
fi
