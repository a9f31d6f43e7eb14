#!/usr/bin/env bash
# Capture time per second of show: runs vintermoot-capture --video over a
# short span at each size and supersampling, and once over a single frame
# (start-up and the run-up to the span, drawn small), and prints the time the
# span's frames took per second of show (the ratio to the show's length), the
# frames per second and the largest resident size of the capture process.
#
#   bash bench/capture/capture_bench.sh [BUILD_DIR] [FROM_MS]
#
# Each line: size, N, span, seconds per second of show, fps, MB resident.
# Spans are short (0.25 to 2 s of show); the whole show's figure is the ratio
# times 330 s.  Figures vary with the scene at FROM_MS and the machine's load.
set -euo pipefail
build="$(realpath "${1:-build}")"
from="${2:-60000}"
tool="$build/vintermoot-capture"
[ -x "$tool" ] || { echo "capture_bench: no $tool (build it first)" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Seconds and largest resident kB of one run.
measure() {
  local video="$work/v.mp4"
  rm -f "$video"
  /usr/bin/time -f "%e %M" -o "$work/time" "$tool" --data "$build" --video "$video" \
    --from "$from" "$@" >/dev/null 2>"$work/log" || { cat "$work/log" >&2; exit 1; }
  cat "$work/time"
}

printf "%-10s %2s %7s %9s %7s %8s\n" size N span_ms s_per_s fps MB
#      size       N  span (ms)
for run in "1024x768 1 2000" "1920x1080 1 1000" "1920x1080 2 500" "3840x2160 1 500" \
  "3840x2160 2 250"; do
  read -r -a settings <<<"$run"
  set -- "${settings[@]}"
  one_frame=$(measure --to $((from + 17)) --size "$1" --supersample "$2")
  span=$(measure --to $((from + $3)) --size "$1" --supersample "$2")
  read -r t1 _ <<<"$one_frame"
  read -r tn kb <<<"$span"
  awk -v size="$1" -v n="$2" -v span="$3" -v t1="$t1" -v tn="$tn" -v kb="$kb" 'BEGIN {
    frames = span * 60 / 1000; per_s = (tn - t1) / (frames - 1) * 60
    printf "%-10s %2d %7d %9.1f %7.2f %8.0f\n", size, n, span, per_s, 60 / per_s, kb / 1024 }'
done
