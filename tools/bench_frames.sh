#!/usr/bin/env bash
# Frame benchmark: median frame times of the player on a fixed benchmark scene (a full-screen
# background and 200 tweening sprites in one buffer, through the post pass) and on the bundled
# demo, each with every pass drawn (--draw-all) and with the elided passes left out, beside a
# minimal hand-written SFML loop drawing the benchmark picture with the same passes; then the
# player again with the profiler on (as --profile plays).
set -euo pipefail
cd "$(dirname "$0")/.."
bench=${1:-build/bench_frames}
frames=${BENCH_FRAMES:-120}

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$@"
fi
export ALSOFT_DRIVERS=null

scene=$(mktemp -d /tmp/kestrune-bench-XXXXXX)
trap 'rm -rf "$scene"' EXIT
cp -r assets "$scene/"
echo '{ "vsync": false, "music": false }' > "$scene/config.json"
python3 - "$scene/assets/demo.script" <<'PY'
import sys
lines = ["delay 3600", "exit", ":init", "create_buffer main", "create_object sky, sky",
         "object_set_scale sky, 4"]
render = [":render", "clear_buffer main", "draw_object main, sky"]
for i in range(200):
    x, y = 100 + (i % 20) * 85, 100 + (i // 20) * 90
    lines += ["create_object s%d, star, 32, 32" % i, "object_set_pos s%d, %d, %d" % (i, x, y),
              "object_tween_pos s%d, %d, %d, %.2f, %d, %%forever, 1" % (i, x + 60, y + 40, 1 + (i % 7) * 0.25, i % 17),
              "object_tween_rotation s%d, 360, %.2f, %%ease_linear, %%forever" % (i, 2 + (i % 5) * 0.5)]
    render.append("draw_object main, s%d" % i)
lines.append("exit")
render += ["display_buffer main", "render_scene main", "exit"]
open(sys.argv[1], "w").write("\n".join(lines + render) + "\n")
PY

median() { "$bench" "$@" 2>/dev/null | sed -n 's/^median_ms //p'; }
# The lower of two medians, measured in interleaved rounds: other load on the machine only ever
# adds time.
best() { python3 -c "import sys; print('%.2f' % min(float(v) for v in sys.argv[1:] if v))" "$@"; }

# The bundled demo from 8 s on, when every object is on screen; its own config with vsync off.
demo=$(mktemp -d /tmp/kestrune-demo-XXXXXX)
trap 'rm -rf "$scene" "$demo"' EXIT
cp -r assets "$demo/"
echo '{ "vsync": false, "music": false }' > "$demo/config.json"

echo "bench-frames: median frame time over $frames frames (after 10 warm-up frames), 1920 x 1080, virtual screen;"
echo "  each the lower of two interleaved rounds"
declare -A runs
for round in 1 2; do
    runs[scene_all]+=" $(median player "$scene" "$frames" --draw-all)"
    runs[scene_player]+=" $(median player "$scene" "$frames")"
    runs[scene_hand]+=" $(median handwritten "$scene" "$frames")"
    runs[demo_all]+=" $(median player "$demo" "$frames" 8 --draw-all)"
    runs[demo_player]+=" $(median player "$demo" "$frames" 8)"
    runs[scene_profiled]+=" $(median player "$scene" "$frames" --profile)"
    runs[demo_profiled]+=" $(median player "$demo" "$frames" 8 --profile)"
done
scene_all=$(best ${runs[scene_all]})
scene_player=$(best ${runs[scene_player]})
scene_hand=$(best ${runs[scene_hand]})
demo_all=$(best ${runs[demo_all]})
demo_player=$(best ${runs[demo_player]})
scene_profiled=$(best ${runs[scene_profiled]})
demo_profiled=$(best ${runs[demo_profiled]})

ratio() { python3 -c "print('%.2f' % ($1 / $2))"; }
printf '  benchmark scene, player, every pass drawn:   %8s ms   ratio to hand-written %s   (rounds:%s)\n' "$scene_all" "$(ratio "$scene_all" "$scene_hand")" "${runs[scene_all]}"
printf '  benchmark scene, player:                     %8s ms   ratio to hand-written %s   (rounds:%s)\n' "$scene_player" "$(ratio "$scene_player" "$scene_hand")" "${runs[scene_player]}"
printf '  benchmark scene, hand-written SFML loop:     %8s ms                              (rounds:%s)\n' "$scene_hand" "${runs[scene_hand]}"
printf '  bundled demo from 8 s, every pass drawn:     %8s ms                              (rounds:%s)\n' "$demo_all" "${runs[demo_all]}"
printf '  bundled demo from 8 s, player:               %8s ms                              (rounds:%s)\n' "$demo_player" "${runs[demo_player]}"
printf '  benchmark scene, player, profiling on:       %8s ms   ratio to profiling off %s   (rounds:%s)\n' "$scene_profiled" "$(ratio "$scene_profiled" "$scene_player")" "${runs[scene_profiled]}"
printf '  bundled demo from 8 s, profiling on:         %8s ms   ratio to profiling off %s   (rounds:%s)\n' "$demo_profiled" "$(ratio "$demo_profiled" "$demo_player")" "${runs[demo_profiled]}"
