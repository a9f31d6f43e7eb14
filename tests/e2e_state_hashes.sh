#!/usr/bin/env bash
# The player in a real X window (Xvfb, SDL's disk audio driver, xdotool),
# seeking as a viewer does, checked step by step against the straight run:
# every step its trace names must carry the state checksum that
# vintermoot-capture --state-hashes gives for that step.
#   Right x3 and Page Down right after the first present, while the map
#   ahead is at work (they land on scene 2); then, once the show has
#   presented MAP_PRESENTS steps (the map was complete after about 800 on a
#   loaded machine; the player does not say when, and the comparison must
#   hold either way), Home and Page Down x3 (scene 4); then
#   SETTLE_PRESENTS more presents and Escape.
# Usage: e2e_state_hashes.sh VINTERMOOT VINTERMOOT_CAPTURE VM_SHOW_TEST_DATA
#        BUILT_DATA_DIR
# Exits 77 (skipped) when Xvfb or xdotool are not installed.
set -uo pipefail

player="$(realpath "$1")"
capture="$(realpath "$2")"
make_test_data="$(realpath "$3")"
built_data="$(realpath -m "$4")"

# shellcheck source=tests/support/need_tools.sh
source "$(dirname "$0")/support/need_tools.sh"
need_tools e2e_state_hashes Xvfb xdotool xwininfo

MAP_PRESENTS=1500
SETTLE_PRESENTS=60
# The first steps of scenes 2 and 4, where the two bursts land.
SCENE2_STEP=4620
SCENE4_STEP=7308

work="$(mktemp -d /tmp/vm_hashes_XXXXXX)"
trace="$work/steps.txt"
xvfb_pid=""
player_pid=""

cleanup() {
  [ -n "$player_pid" ] && kill -9 -- "-$player_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

die() {
  echo "e2e_state_hashes: FAIL: $*"
  [ -f "$work/player.log" ] && cat "$work/player.log"
  exit 1
}

# The show's data: the build's pictures and module over the stand-in data.
run_dir="$work/run"
mkdir -p "$run_dir"
"$make_test_data" "$run_dir" || die "cannot write test data"
find "$built_data" -maxdepth 1 \( -name '*.bmp' -o -name 'Kvadrat2.xm' \) \
  -exec cp {} "$run_dir/data/" \; 2>/dev/null

Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || die "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"

(cd "$run_dir" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null VM_STEP_TRACE="$trace" \
  LIBGL_ALWAYS_SOFTWARE=1 exec setsid "$player" --window=320x240) >"$work/player.log" 2>&1 &
player_pid=$!

alive() {
  kill -0 "$player_pid" 2>/dev/null && [ "$(ps -o stat= -p "$player_pid" | cut -c1)" != "Z" ]
}

lines() {
  if [ -f "$trace" ]; then wc -l <"$trace"; else echo 0; fi
}

# Waits until the trace has at least $1 lines; the time limit only keeps a
# player that hangs from holding the test.
wait_lines() {
  local deadline=$((SECONDS + 240))
  while [ "$(lines)" -lt "$1" ]; do
    alive || die "the player ended after $(lines) presents"
    [ "$SECONDS" -lt "$deadline" ] || die "only $(lines) of $1 presents within 240 s"
    sleep 0.1
  done
}

# Keys to the show's window, one after another as fast as X takes them.
keys() {
  local win
  win=$(xdotool search --name '^Vintermoot 2002$' | head -n1)
  [ -n "$win" ] || die "no show window"
  xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
  xdotool key --delay 10 "$@"
}

wait_lines 1
keys Right Right Right Next
wait_lines "$MAP_PRESENTS"
keys Home Next Next Next
wait_lines $(($(lines) + SETTLE_PRESENTS))
keys Escape
for _ in $(seq 200); do
  alive || break
  sleep 0.1
done
alive && die "Escape did not end the player"
wait "$player_pid"
code=$?
player_pid=""
[ "$code" = 0 ] || die "the player exited with $code"

# Both bursts must have landed where they aimed.
for step in "$SCENE2_STEP" "$SCENE4_STEP"; do
  awk -v s="$step" '$1 == s { found = 1 } END { exit !found }' "$trace" ||
    die "no present of step $step: the keys did not land there"
done
awk 'NF != 6 || $6 !~ /^[0-9a-f]+$/ || length($6) != 16 { bad++ } END { exit bad > 0 }' "$trace" ||
  die "trace lines without a checksum: $(awk 'NF != 6' "$trace" | head -n3)"

last_ms=$(sort -n "$trace" | tail -n1 | cut -d' ' -f2)
"$capture" --data "$run_dir" --state-hashes "$work/straight.txt" --to "$last_ms" --size 64x48 \
  >"$work/capture.log" 2>&1 || die "the capture tool failed: $(cat "$work/capture.log")"

awk 'NR == FNR { want[$1] = $2; next }
     { n++ }
     want[$1] != $6 { bad++; if (bad <= 10) print "e2e_state_hashes: line " FNR ": step " $1 \
                        " has " $6 ", the straight run " want[$1] }
     END { printf "e2e_state_hashes: %d traced steps, %d differ from the straight run\n", n, bad
           exit bad > 0 }' "$work/straight.txt" "$trace" ||
  die "the show left the straight run's states"
echo "e2e_state_hashes: every traced step equals the straight run"
