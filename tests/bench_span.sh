#!/usr/bin/env bash
# vintermoot-bench --from/--to: only frames inside the span are counted
# (here a second of scene 2: scene 1 before it reports no frames, not even
# the start-up frame), and an empty span is refused as a bad option; --gl11
# runs the same span through the GL 1.1 subset's build beside it and prints
# both builds' figures for every scene that drew.
set -u
bench="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
"$bench" --from 5000 --to 5000 > /dev/null 2>&1
[ $? = 2 ] || { echo "an empty span was not refused"; exit 1; }
"$bench" --from 80000 --to 81000 --no-clock --json "$out/f.json" > "$out/f.txt" 2>&1 ||
  { cat "$out/f.txt"; echo "the span run failed"; exit 1; }
frames() { grep -o "\"$1\": {\"frames\": [0-9]*" "$out/f.json" | grep -o '[0-9]*$'; }
[ "$(frames 1)" = 0 ] || { echo "scene 1 counted $(frames 1) frames before the span"; exit 1; }
[ "$(frames 2)" = 6 ] || { echo "scene 2 counted $(frames 2) frames, not the span's 6"; exit 1; }
echo "bench span: scene 1 0 frames, scene 2 $(frames 2)"
if [ -x "$(dirname "$bench")/vintermoot-bench-gl11" ]; then
  "$bench" --gl11 --rounds 1 --from 80000 --to 81000 --no-clock > "$out/g.txt" 2>&1 ||
    { cat "$out/g.txt"; echo "the --gl11 run failed"; exit 1; }
  # Scene 2's row: desktop p50, subset p50, their ratio.
  row="$(awk '$1 == 2 && NF >= 4 { print $2, $3, $4 }' "$out/g.txt")"
  awk -v r="$row" 'BEGIN { split(r, f, " "); exit !(f[1] > 0 && f[2] > 0 && f[3] > 0) }' ||
    { cat "$out/g.txt"; echo "--gl11 gave no figures for scene 2"; exit 1; }
  echo "bench --gl11: scene 2 desktop, subset p50 ms and ratio: $row"
fi
