#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, and the editor extension's
# npm packages, only when some are missing.
set -euo pipefail

packages=(cmake g++ make pkg-config libsfml-dev nlohmann-json3-dev libgtest-dev
          xvfb xauth libgl1-mesa-dri libopenal1 fonts-dejavu-core imagemagick xdotool python3
          libbenchmark-dev zlib1g-dev clang libclang-rt-14-dev ffmpeg libstb-dev libx11-dev
          libssl-dev parallel libkissfft-dev neovim openssh-server openssh-client rsync
          groff-base man-db bash zsh fish chromium)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

# node and npm for the editor extension's tests: Debian's, unless both commands are already there.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
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
# again whenever the lock file changes.
extension="$(dirname "$0")/../editors/vscode"
if ! cmp -s "$extension/package-lock.json" "$extension/node_modules/.kestrune-lock.json"; then
    echo "setup: installing the editor extension's npm packages"
    (cd "$extension" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
    cp "$extension/package-lock.json" "$extension/node_modules/.kestrune-lock.json"
fi

# The trace viewer that the profiler's screenshot opens in headless Chromium (tools/viewer),
# pinned by its lock file, the same way.
viewer="$(dirname "$0")/viewer"
if ! cmp -s "$viewer/package-lock.json" "$viewer/node_modules/.kestrune-lock.json"; then
    echo "setup: installing the trace viewer's npm packages"
    (cd "$viewer" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
    cp "$viewer/package-lock.json" "$viewer/node_modules/.kestrune-lock.json"
fi
