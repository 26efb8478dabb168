#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, only when some are missing.
set -euo pipefail

packages=(cmake g++ make pkg-config libsfml-dev nlohmann-json3-dev libgtest-dev
          xvfb xauth libgl1-mesa-dri libopenal1 fonts-dejavu-core imagemagick xdotool python3
          libbenchmark-dev zlib1g-dev clang libclang-rt-14-dev ffmpeg libstb-dev libx11-dev)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "setup: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    sudo_cmd=()
else
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
