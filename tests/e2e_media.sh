#!/usr/bin/env bash
# The player as the desktop's media player, on a private session bus
# (dbus-run-session) in Xvfb with SDL's disk audio driver, driven by
# playerctl and xdotool:
#   - playerctl finds it, with its title, artist, length and still;
#   - play-pause pauses it (the position stands) and resumes it;
#   - position 120 (SetPosition), position 10+ (Seek), next (the next
#     scene), the Right key, and the media keys XF86AudioPlay and
#     XF86AudioNext each land on exactly the step asked for: the step trace
#     names it as presented and playerctl reads its position;
#   - a Seeked signal follows every one of those moves and no other;
#   - F12 writes the picture into the XDG pictures folder, twice without
#     replacing the first;
#   - stop ends the show with 0 and the player leaves the bus;
#   - without a session bus the player plays and says nothing of it.
# Usage: e2e_media.sh VINTERMOOT VM_SHOW_TEST_DATA BUILT_DATA_DIR
# Exits 77 (skipped) when a tool is missing.
set -uo pipefail

# shellcheck source=tests/support/need_tools.sh
source "$(dirname "$0")/support/need_tools.sh"
need_tools e2e_media Xvfb xdotool xwininfo identify playerctl dbus-run-session dbus-monitor

# A private session bus for this script and everything it starts.
if [ -z "${VM_MEDIA_PRIVATE_BUS:-}" ]; then
  VM_MEDIA_PRIVATE_BUS=1 exec dbus-run-session -- bash "$0" "$@"
fi

player="$(realpath "$1")"
make_test_data="$(realpath "$2")"
built_data="$(realpath -m "$3")"

work="$(mktemp -d /tmp/vm_media_XXXXXX)"
xvfb_pid=""
player_pid=""
monitor_pid=""
failures=0

cleanup() {
  [ -n "$player_pid" ] && kill -9 -- "-$player_pid" 2>/dev/null
  [ -n "$monitor_pid" ] && kill "$monitor_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill -9 "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "e2e_media: FAIL: $*"
  failures=$((failures + 1))
}

run_dir="$work/run"
mkdir -p "$run_dir"
"$make_test_data" "$run_dir" || { echo "e2e_media: cannot write test data"; exit 1; }
find "$built_data" -maxdepth 1 \( -name '*.bmp' -o -name 'Kvadrat2.xm' -o -name still.png \) \
  -exec cp {} "$run_dir/data/" \; 2>/dev/null

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "e2e_media: Xvfb did not start"; exit 1; }
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY

# The user's folders: pictures where user-dirs.dirs says.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config"
mkdir -p "$HOME" "$XDG_CONFIG_HOME"
# shellcheck disable=SC2016 # the file names $HOME itself
echo 'XDG_PICTURES_DIR="$HOME/Shots"' >"$XDG_CONFIG_HOME/user-dirs.dirs"

# Starts the player in its own process group, in the data's directory, with
# the options after the log's name (and the variables of $player_env).
player_env=""
start_player() {
  local log="$1"
  shift
  rm -f "$work/steps.txt"
  # shellcheck disable=SC2086
  (cd "$run_dir" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" \
    VM_STEP_TRACE="$work/steps.txt" LIBGL_ALWAYS_SOFTWARE=1 exec env $player_env setsid "$player" "$@") \
    >"$log" 2>&1 &
  player_pid=$!
}

# Waits up to $1 seconds for the player to end; sets player_code.
wait_player() {
  local deadline=$((SECONDS + $1))
  player_code="timeout"
  while [ "$SECONDS" -lt "$deadline" ]; do
    if ! kill -0 "$player_pid" 2>/dev/null || [ "$(ps -o stat= -p "$player_pid" | cut -c1)" = "Z" ]; then
      wait "$player_pid"
      player_code=$?
      player_pid=""
      return
    fi
    sleep 0.2
  done
  kill -9 -- "-$player_pid" 2>/dev/null
  wait "$player_pid" 2>/dev/null
  player_pid=""
}

pctl() {
  playerctl -p vintermoot "$@" 2>/dev/null
}

# Waits up to $2 seconds for the command $1 to print $3.
wait_for() {
  local deadline=$((SECONDS + $2)) got=""
  while [ "$SECONDS" -lt "$deadline" ]; do
    got=$(eval "$1")
    [ "$got" = "$3" ] && return 0
    sleep 0.2
  done
  echo "e2e_media: $1 gave \"$got\", not \"$3\""
  return 1
}

# The step on screen is `step` (and playerctl reads its time): presented
# (the trace's first two fields), and the position playerctl reads is its
# song time.
seeks_expected=""
landed_ms=0
check_landed() {
  local tag="$1" step="$2" ms=$(($2 * 1000 / 60))
  seeks_expected="$seeks_expected $((ms * 1000))"
  landed_ms="$ms"
  wait_for "awk '\$1 == $step && \$2 == $ms' '$work/steps.txt' | head -n1 | cut -d' ' -f1" 20 "$step" ||
    fail "$tag: step $step was not presented"
  if [ "${3:-}" = "paused" ]; then
    wait_for "pctl position" 10 "$(awk -v m="$ms" 'BEGIN { printf "%.6f", m / 1000 }')" ||
      fail "$tag: playerctl does not read $ms ms"
  fi
  echo "e2e_media: $tag: step $step ($ms ms) presented"
}

dbus-monitor --session "type='signal',interface='org.mpris.MediaPlayer2.Player',member='Seeked'" \
  >"$work/seeked.txt" 2>&1 &
monitor_pid=$!

start_player "$work/run1.log" --window=640x480
if wait_for "pctl status" 60 Playing; then
  [ "$(playerctl -l 2>/dev/null | grep -c '^vintermoot$')" = 1 ] || fail "not listed by playerctl"
  meta=$(pctl metadata --format '{{xesam:title}}|{{xesam:artist}}|{{mpris:length}}|{{mpris:artUrl}}')
  echo "e2e_media: metadata $meta"
  IFS='|' read -r title artist length art <<<"$meta"
  [ "$title" = "Vintermoot 2002" ] || fail "title \"$title\""
  [ "$artist" = "deer coast" ] || fail "artist \"$artist\""
  [ "$length" = 330000000 ] || fail "length \"$length\""
  [ "$art" = "file://$run_dir/data/still.png" ] || fail "art \"$art\""
  [ -s "$run_dir/data/still.png" ] || echo "e2e_media: no built still; only its address checked"

  pctl play-pause
  wait_for "pctl status" 10 Paused || fail "play-pause did not pause"
  first=$(pctl position)
  sleep 1
  [ "$(pctl position)" = "$first" ] || fail "the position moved while paused"

  pctl position 120
  check_landed "position 120" 7200 paused
  pctl position 10+
  check_landed "position 10+" 7800 paused
  # The next scene (5, from 159.76 s): its first step.
  pctl next
  check_landed "next" $(((159760 * 60 + 999) / 1000)) paused
  win=$(xwininfo -root -tree | grep -F '"Vintermoot 2002":' | awk '{print $1}' | head -n1)
  xdotool windowfocus --sync "$win" 2>/dev/null
  xdotool key Right
  check_landed "Right" $(((159760 * 60 + 999) / 1000 + 300)) paused

  # F12, twice at the same moment: two pictures named after its song time,
  # the second " (2)".
  xdotool key F12
  xdotool key F12
  shot="$HOME/Shots/$(awk -v m="$landed_ms" \
    'BEGIN { printf "Vintermoot 2002 at %dm%06.3fs.png", int(m / 60000), (m % 60000) / 1000 }')"
  wait_for "[ -f '${shot%.png} (2).png' ] && echo yes" 20 yes || fail "F12 did not write two pictures"
  echo "e2e_media: F12: $(find "$HOME/Shots" -type f -printf '%f;')"
  [ -f "$shot" ] || fail "no \"$shot\""
  [ "$(identify -format '%wx%h' "$shot" 2>/dev/null)" = 640x480 ] || fail "the picture is not 640x480"
  grep -qF "the picture is in \"$shot\"" "$work/run1.log" || fail "F12 did not say where"

  xdotool key XF86AudioPlay
  wait_for "pctl status" 10 Playing || fail "XF86AudioPlay did not resume"
  xdotool key XF86AudioNext
  check_landed "XF86AudioNext" $((260000 * 60 / 1000))
  pctl play-pause
  wait_for "pctl status" 10 Paused || fail "play-pause did not pause again"

  # One Seeked signal for each move, with the position it landed on.
  sleep 1
  seeked=$(awk '/member=Seeked/ { getline; printf " %s", $2 }' "$work/seeked.txt")
  echo "e2e_media: Seeked:$seeks_expected asked,$seeked sent"
  [ "$seeked" = "$seeks_expected" ] || fail "Seeked signals \"$seeked\""

  pctl stop
  wait_player 20
  [ "$player_code" = 0 ] || fail "stop: exit code $player_code"
  playerctl -l 2>/dev/null | grep -q '^vintermoot$' && fail "still on the bus after stop"
else
  fail "the player did not appear on the bus"
fi

# Without a session bus: it plays, says nothing of it, and Escape ends it.
player_env="DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus XDG_RUNTIME_DIR=$work/no-runtime"
start_player "$work/run2.log" --window=640x480
wait_for "[ -s '$work/steps.txt' ] && echo yes" 60 yes || fail "no step presented without a bus"
win=$(xwininfo -root -tree | grep -F '"Vintermoot 2002":' | awk '{print $1}' | head -n1)
xdotool windowfocus --sync "$win" 2>/dev/null
xdotool key Escape
wait_player 20
[ "$player_code" = 0 ] || fail "without a bus: exit code $player_code"
said=$(grep -v '^CRITICAL' "$work/run2.log")
[ -z "$said" ] || fail "without a bus it said: $said"

if [ "$failures" -gt 0 ]; then
  echo "e2e_media: $failures failures"
  for log in "$work"/run*.log; do
    echo "--- $log"
    cat "$log"
  done
  exit 1
fi
echo "e2e_media: all passed"
