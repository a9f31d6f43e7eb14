#!/usr/bin/env bash
# The player through a real sound server: a private PulseAudio (null sink,
# its own runtime folder and socket) plays the show from 0:20 while the test
# asks the server, as `pactl list sink-inputs` does, how much of the player's
# stream it holds (buffer latency plus sink latency).  The player's step
# trace says what latency its clock applied at each present:
#   1. it comes within 5 ms of the server's figure at every sample (within
#      half a second after it: the player's figure is the middle of its
#      last nine, taken over about that time);
#   2. with --audio-delay 200 it is 200 ms more;
#   3. with SDL's dummy driver it is exactly 0;
#   4. with the server killed mid-show the player says once on stderr that
#      it went away (not that none was found), applies 0, presents on (by
#      its trace, while it looks for the server again), and says so when the
#      server is back.
# Each sample is the median of nine quick pactl readings: the figure swings
# by a few ms as the server mixes block by block, and a reading now and then
# finds the stream's queue short for a moment, when the player's audio
# thread was late; the player too leaves such moments out and takes the
# middle of the swing, over its last nine figures (under half a second).
# On a very busy machine the queue can run short for a second at a time: a
# sample whose readings spread wider than the swing (interquartile range
# above SWING_MS) catches the figure moving; it is not judged, nor is the
# sample after it (the player's figures still include that time).  Others
# are taken instead, and at least half the samples must be judged.
# Usage: pulse_latency.sh VINTERMOOT DIR_WITH_DATA
# Exits 77 (skipped) when PulseAudio cannot be run here.
set -uo pipefail

player="$(realpath "$1")"
data_dir="$(realpath "$2")"
TOLERANCE_MS=5
DELAY_MS=200
SAMPLES=8
SWING_MS=6

# shellcheck source=tests/support/need_tools.sh
source "$(dirname "$0")/support/need_tools.sh"
need_tools pulse_latency pulseaudio pactl

work="$(mktemp -d /tmp/vm_pulse_XXXXXX)"
server_pid=""
player_pid=""
failures=0

cleanup() {
  [ -n "$player_pid" ] && kill -9 "$player_pid" 2>/dev/null
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "pulse_latency: FAIL: $*"
  failures=$((failures + 1))
}

# The server and its clients see only the private folder.
export HOME="$work" XDG_RUNTIME_DIR="$work/run" PULSE_RUNTIME_PATH="$work/run/pulse"
export PULSE_SERVER="unix:$work/run/native"
unset DBUS_SESSION_BUS_ADDRESS
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
cat >"$work/server.pa" <<EOF
load-module module-null-sink sink_name=vm_null
load-module module-native-protocol-unix auth-anonymous=1 socket=$work/run/native
set-default-sink vm_null
EOF
start_server() {
  pulseaudio --daemonize=no --system=no --exit-idle-time=-1 --use-pid-file=no -n \
    -F "$work/server.pa" >"$work/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 50); do
    pactl info >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  return 1
}

if ! start_server; then
  echo "pulse_latency: cannot start a private PulseAudio server here; skipping"
  sed 's/^/  /' "$work/server.log" | tail -n 5
  exit 77
fi

# Starts the player (offscreen, a small window) with the audio driver $1 and
# the options after it; its step trace goes to $work/steps.txt.
start_player() {
  local driver="$1"
  shift
  rm -f "$work/steps.txt"
  SDL_AUDIODRIVER="$driver" SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 \
    VM_STEP_TRACE="$work/steps.txt" "$player" --data "$data_dir" --window=320x240 "$@" \
    >"$work/player.log" 2>&1 &
  player_pid=$!
}

# Asks the player to end (SIGTERM, as a session's end does); it must end
# cleanly, with 0.
stop_player() {
  local code
  kill -TERM "$player_pid" 2>/dev/null
  for _ in $(seq 100); do
    kill -0 "$player_pid" 2>/dev/null || break
    sleep 0.2
  done
  kill -0 "$player_pid" 2>/dev/null && { fail "the player did not end on SIGTERM"; kill -9 "$player_pid"; }
  wait "$player_pid" 2>/dev/null
  code=$?
  [ "$code" -eq 0 ] || { fail "the player ended with $code"; sed 's/^/  /' "$work/player.log" | tail -n 20; }
  player_pid=""
}

lines() {
  [ -f "$work/steps.txt" ] && wc -l <"$work/steps.txt" || echo 0
}

# Waits until the player has presented $1 steps (the fast-forward and the
# server's start are behind it); false when it does not within a minute (a
# hang) or ends.
wait_presents() {
  for _ in $(seq 600); do
    [ "$(lines)" -ge "$1" ] && return 0
    kill -0 "$player_pid" 2>/dev/null || break
    sleep 0.1
  done
  fail "the player presented $(lines) steps, not $1"
  sed 's/^/  /' "$work/player.log" | tail -n 5
  return 1
}

# The server's figure for the player's stream, buffer plus sink latency, ms.
server_latency() {
  pactl list sink-inputs | awk -v pid="$player_pid" '
    /^Sink Input #/ { buffer = ""; sink = "" }
    /Buffer Latency:/ { buffer = $3 }
    /Sink Latency:/ { sink = $3 }
    $0 ~ "application.process.id = \"" pid "\"" { printf "%.3f\n", (buffer + sink) / 1000 }'
}

# The value at fraction $1 of the sorted input lines (0.5: the median).
quantile() {
  sort -n | awk -v q="$1" '{ v[NR] = $1 } END { if (NR) print v[int((NR - 1) * q + 0.5) + 1] }'
}

# Samples the server and the trace until $SAMPLES samples are judged (at
# most three times as many tries); each line of $work/pairs.txt holds the
# server's figure and, of the latencies the player applied at the presents
# from the sample to half a second after it, the one nearest to the
# server's figure plus $1.
sample_pairs() {
  local extra="$1"
  : >"$work/pairs.txt"
  local tries=0 moving=0 settled=0
  while [ "$(wc -l <"$work/pairs.txt")" -lt "$SAMPLES" ] && [ "$tries" -lt $((3 * SAMPLES)) ]; do
    tries=$((tries + 1))
    sleep 0.1
    local first last readings server spread applied
    first=$(lines)
    readings=$(for _ in $(seq 9); do server_latency; done)
    last=$(lines)
    server=$(echo "$readings" | quantile 0.5)
    [ -n "$server" ] || { fail "the server lists no stream of the player"; return; }
    spread=$(awk -v a="$(echo "$readings" | quantile 0.25)" -v b="$(echo "$readings" | quantile 0.75)" \
      'BEGIN { print (b - a > '"$SWING_MS"') ? "moving" : "steady" }')
    if [ "$spread" = "moving" ] || [ "$settled" -eq 0 ]; then
      [ "$spread" = "moving" ] && moving=$((moving + 1))
      [ "$spread" = "moving" ] && settled=0 || settled=1
      continue
    fi
    sleep 0.5
    last=$(lines)
    applied=$(awk -v a=$((first - 1)) -v b="$last" -v want="$server" -v extra="$extra" '
      NR >= a && NR <= b { d = $5 - want - extra; if (d < 0) d = -d
                           if (best == "" || d < best) { best = d; value = $5 } }
      END { if (best != "") print value }' "$work/steps.txt")
    [ -n "$applied" ] || { fail "the trace has no latency column"; return; }
    echo "$server $applied" >>"$work/pairs.txt"
  done
  [ "$moving" -eq 0 ] || echo "pulse_latency: $moving sample(s) caught the server's figure moving"
  [ "$(wc -l <"$work/pairs.txt")" -ge $((SAMPLES / 2)) ] ||
    fail "the server's figure held still for only $(wc -l <"$work/pairs.txt") of $tries samples"
}

# Checks every pair: applied = server + $1 within the tolerance.
check_pairs() {
  local label="$1" extra="$2"
  awk -v extra="$extra" -v tol="$TOLERANCE_MS" -v label="$label" '
    { d = $2 - $1 - extra; if (d < 0) d = -d; if (d > worst) worst = d
      s += $1; a += $2; n++
      if (d > tol) printf "pulse_latency: FAIL: %s: server %.3f ms, applied %.3f ms\n", label, $1, $2 }
    END { printf "pulse_latency: %s: %d samples, server %.2f ms on average, applied %.2f ms, " \
            "worst difference %.2f ms\n", label, n, s / n, a / n, worst
          exit worst > tol }' "$work/pairs.txt" || failures=$((failures + 1))
}

# Waits for the player's stderr to hold $1 (up to a minute: only a hang
# takes that long).
wait_said() {
  for _ in $(seq 600); do
    grep -q "$1" "$work/player.log" && return 0
    sleep 0.1
  done
  return 1
}

# The server killed mid-show and started again: the player says so once,
# applies 0 while it is away, presents on, and says when it is back.
check_server_away() {
  kill -9 "$server_pid" 2>/dev/null
  wait "$server_pid" 2>/dev/null
  server_pid=""
  wait_said "sound server went away" || fail "no line on stderr when the server went away"
  local before
  before=$(lines)
  # Presents go on without the server: judged by the trace, over steps
  # enough for the watcher to look for it again a few times (every second).
  wait_presents $((before + 240)) || return
  local lost
  lost=$(grep -c "sound server went away" "$work/player.log")
  [ "$lost" -eq 1 ] || fail "the server's going away was said $lost times, not once"
  ! grep -q "no sound server found" "$work/player.log" || fail "a server that went away was called not found"
  local applied
  applied=$(tail -n 5 "$work/steps.txt" | awk '$5 != "0.000"' | wc -l)
  [ "$applied" -eq 0 ] || fail "a latency is still applied without the server"
  start_server || { fail "cannot start the server again"; return; }
  wait_said "sound server is back" || fail "the player did not say the server was back"
  echo "pulse_latency: server away: said once, 0 ms applied, $(($(lines) - before)) presents meanwhile, picked up again"
}

start_player pulseaudio --from 20000
if wait_presents 60; then
  sample_pairs 0
  check_pairs "reported latency" 0
  check_server_away
fi
stop_player

start_player pulseaudio --from 20000 --audio-delay "$DELAY_MS"
if wait_presents 60; then
  sample_pairs "$DELAY_MS"
  check_pairs "--audio-delay $DELAY_MS" "$DELAY_MS"
fi
stop_player

start_player dummy --from 20000
if wait_presents 60; then
  nonzero=$(awk '$5 != "0.000"' "$work/steps.txt" | wc -l)
  [ "$nonzero" -eq 0 ] || fail "the dummy driver applied a latency at $nonzero presents"
  echo "pulse_latency: dummy driver: 0 ms applied at all $(lines) presents"
fi
stop_player

if [ "$failures" -gt 0 ]; then
  echo "pulse_latency: $failures failure(s)"
  exit 1
fi
echo "pulse_latency: all checks passed"
