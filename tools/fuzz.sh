#!/usr/bin/env bash
# Runs every fuzz target for FUZZ_SECONDS (default 60) on its seed corpus, one per core at a time.
# Fails when a target finds a crash, a leak, a timeout (an input that runs longer than
# FUZZ_TIMEOUT seconds), an out-of-memory or any sanitizer report; the input is then kept under
# <build>/fuzz-artifacts/. New coverage goes to <build>/fuzz-corpus/<target>/ (the seeds in
# tests/fuzz/corpus/ are only read).
#
# usage: tools/fuzz.sh <fuzz build dir> [target ...]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath "${1:-build-fuzz}")
shift || true
seconds=${FUZZ_SECONDS:-60}
timeout=${FUZZ_TIMEOUT:-20}
rss_mb=${FUZZ_RSS_MB:-2048}
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(fuzz_script fuzz_cutscene fuzz_textures fuzz_sprites fuzz_shaders fuzz_music fuzz_animation
             fuzz_particles fuzz_particle_system fuzz_text fuzz_check fuzz_link fuzz_lsp)
    for extra in $(cd "$build_dir/fuzz" && ls 2>/dev/null); do
        case " ${targets[*]} " in *" $extra "*) ;; *) targets+=("$extra") ;; esac
    done
fi

export ALSOFT_DRIVERS=null
export LSAN_OPTIONS="suppressions=$PWD/tests/fuzz/lsan.supp:print_suppressions=0"
# allocator_may_return_null: a failed new (std::nothrow) returns null as it does without the
# sanitizer, so the loaders' own "Unable to allocate" paths run instead of an abort.
export ASAN_OPTIONS="suppressions=$PWD/tests/fuzz/asan.supp:detect_stack_use_after_return=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# The graphics targets need a display; one virtual screen serves them all.
if [ -z "${DISPLAY:-}" ] && [ -z "${KESTRUNE_FUZZ_XVFB:-}" ]; then
    exec env KESTRUNE_FUZZ_XVFB=1 xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" bash "$0" "$build_dir" "$@"
fi

mkdir -p "$build_dir/fuzz-artifacts" "$build_dir/fuzz-logs"
# One target per core at a time; each says how it ended in a file, read once all have.
fuzz_one() {
    local target=$1
    local corpus="$build_dir/fuzz-corpus/$target"
    local log="$build_dir/fuzz-logs/$target.log"
    local dict=()
    mkdir -p "$corpus"
    [ -f "tests/fuzz/$target.dict" ] && dict=(-dict="$PWD/tests/fuzz/$target.dict")
    echo "fuzz: $target for ${seconds}s"
    if "$build_dir/fuzz/$target" "$corpus" "$PWD/tests/fuzz/corpus/$target" "${dict[@]}" \
        -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb="$rss_mb" -max_len=16384 \
        -close_fd_mask=3 -print_final_stats=1 \
        -artifact_prefix="$build_dir/fuzz-artifacts/$target-" >"$log" 2>&1; then
        grep -E "^stat::(number_of_executed_units|peak_rss_mb)|cov: " "$log" | tail -3 | sed "s/^/fuzz: $target: /" || true
        echo clean >"$build_dir/fuzz-logs/$target.result"
    else
        echo "fuzz: $target FAILED (log: $log)"
        grep -E "ERROR|SUMMARY|runtime error|Test unit written" "$log" | head -10 | sed "s/^/fuzz: $target: /" || true
        echo failed >"$build_dir/fuzz-logs/$target.result"
    fi
}

jobs_at_once=${FUZZ_JOBS:-$(nproc)}
for target in "${targets[@]}"; do
    rm -f "$build_dir/fuzz-logs/$target.result"
    while [ "$(jobs -rp | wc -l)" -ge "$jobs_at_once" ]; do
        wait -n || true
    done
    fuzz_one "$target" &
done
wait

failed=()
for target in "${targets[@]}"; do
    [ "$(cat "$build_dir/fuzz-logs/$target.result" 2>/dev/null)" = clean ] || failed+=("$target")
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: failures in ${failed[*]}"
    exit 1
fi
echo "fuzz: every target ran clean"
