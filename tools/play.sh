#!/usr/bin/env bash
# Plays the bundled demo from the repository root.
set -euo pipefail
cd "$(dirname "$0")/.."
binary=${1:-build/kestrune}

env_vars=()
# Without a sound device SFML floods standard error with OpenAL errors and the frame rate halves;
# OpenAL's null backend plays silently instead.
if ! compgen -G "/dev/snd/pcm*" >/dev/null && [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/pulse/native" ] \
    && [ ! -S "${XDG_RUNTIME_DIR:-/nonexistent}/pipewire-0" ]; then
    echo "play: no audio device found; music plays through OpenAL's null backend (silent)."
    env_vars+=(ALSOFT_DRIVERS=null)
fi

if [ -z "${DISPLAY:-}" ]; then
    echo "play: no DISPLAY; running under xvfb-run (a virtual screen, nothing is shown)."
    exec env "${env_vars[@]}" xvfb-run -a -s "-screen 0 1920x1080x24" "$binary"
fi
exec env "${env_vars[@]}" "$binary"
