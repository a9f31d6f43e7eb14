#!/usr/bin/env bash
# Split capture: renders the span of a video in K parts, each an independent
# run of vintermoot-capture (frame-exact, so a part is the same frames a
# single run draws there), run by GNU parallel on this machine or on others
# over ssh, and joins the parts into one video without encoding the video
# again.  Each part starts on a key frame of its own; the audio of the parts
# stays PCM and is encoded once when they are joined, as a single run does.
#
# The parts are kept in OUTPUT.parts/ until the join succeeds: after a failed
# span the same command again captures only the spans that are missing.
#
# Hosts given with --sshlogin (GNU parallel's syntax, e.g. "4/alice@box1,
# 2/box2", ":" for this machine) need the capture tool at the same path and
# the show's data at the same --data path (or installed); the parts come back
# through rsync.
set -euo pipefail

usage="Usage: capture_farm.sh --spans K --jobs J [--sshlogin HOSTS] --output FILE [--tool PATH] [--from T] [--to T] [--size WxH] [--fps N] [--supersample N] [--codec NAME] [--crf N] [--data DIR]"

fail() {
  echo "capture_farm: $*" >&2
  exit 1
}
bad() {
  echo "capture_farm: $*" >&2
  echo "$usage" >&2
  exit 2
}

# A song time as the capture tool takes it (ms, or m:ss with up to three
# decimals) in milliseconds.
time_ms() {
  local t="$1"
  if [[ "$t" =~ ^[0-9]{1,9}$ ]]; then
    echo $((10#$t))
  elif [[ "$t" =~ ^([0-9]{1,4}):([0-5][0-9])(\.([0-9]{1,3}))?$ ]]; then
    local fraction="${BASH_REMATCH[4]}000"
    echo $((10#${BASH_REMATCH[1]} * 60000 + 10#${BASH_REMATCH[2]} * 1000 + 10#${fraction:0:3}))
  else
    return 1
  fi
}

gcd() {
  local a=$1 b=$2
  while [ "$b" -ne 0 ]; do
    local r=$((a % b))
    a=$b
    b=$r
  done
  echo "$a"
}

# The capture tool: the one asked for (--tool or $VM_CAPTURE_TOOL), else the
# one on the PATH, the one built beside this script's project, or the one in
# the current folder (a run from the build folder).
TOOL_NAME=vintermoot-capture
PROJECT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
find_tool() {
  local found
  [ -z "$tool" ] || { command -v "$tool"; return; }
  found="$(command -v "$TOOL_NAME")" && { echo "$found"; return 0; }
  for found in "$PROJECT/build/$TOOL_NAME" "$PWD/$TOOL_NAME"; do
    [ -f "$found" ] && [ -x "$found" ] && { echo "$found"; return 0; }
  done
  return 1
}

spans="" jobs="" sshlogin="" output="" tool="${VM_CAPTURE_TOOL:-}"
from=0 to=330000 fps=60 size=1024x768 supersample=1 codec=h264 crf="" data=""
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || bad "option $1 needs a value"
  case "$1" in
    --spans) spans="$2" ;;
    --jobs) jobs="$2" ;;
    --sshlogin) sshlogin="$2" ;;
    --output) output="$2" ;;
    --tool) tool="$2" ;;
    --from) from="$(time_ms "$2")" || bad "--from takes a song time in ms or as m:ss.fff, not \"$2\"" ;;
    --to) to="$(time_ms "$2")" || bad "--to takes a song time in ms or as m:ss.fff, not \"$2\"" ;;
    --size) size="$2" ;;
    --fps) fps="$2" ;;
    --supersample) supersample="$2" ;;
    --codec) codec="$2" ;;
    --crf) crf="$2" ;;
    --data) data="$2" ;;
    *) bad "unknown option \"$1\"" ;;
  esac
  shift 2
done
[[ "$spans" =~ ^[1-9][0-9]{0,3}$ ]] || bad "--spans takes a number of parts from 1 to 9999"
[[ "$jobs" =~ ^[1-9][0-9]{0,3}$ ]] || bad "--jobs takes a number of jobs at once from 1 to 9999"
[ -n "$output" ] || bad "--output needs a file"
if ! [[ "$fps" =~ ^[1-9][0-9]?$ ]] || [ "$fps" -gt 60 ]; then bad "--fps takes a number from 1 to 60"; fi
[ "$to" -le 330000 ] || bad "--to lies after the end of the show (330000 ms)"
[ "$from" -lt "$to" ] || bad "the range $from to $to ms is empty"
command -v parallel >/dev/null ||
  fail "GNU parallel is missing; it comes with the Debian package \"parallel\" (apt-get install parallel)"
# The places find_tool looks at, for the message when none holds the tool.
tried="$TOOL_NAME on the PATH, $PROJECT/build/$TOOL_NAME and $PWD/$TOOL_NAME"
[ -z "$tool" ] || tried="\"$tool\""
tool_path="$(find_tool)" || fail "cannot find the capture tool: tried $tried (build it, or give --tool PATH)"
tool_path="$(realpath "$tool_path")"

# The frames of the span: frame n shows song time floor(n * 1000 / fps) ms.
first=$(((from * fps + 999) / 1000))
end=$(((to * fps + 999) / 1000))
[ "$end" -gt "$first" ] || bad "the range $from to $to ms holds no frame at $fps fps"
# Parts meet at frames whose time is a whole millisecond and a whole audio
# sample (44100 Hz), so each part's span, audio and start time are exact.
unit_ms=$((fps / $(gcd "$fps" 1000)))
unit_audio=$((fps / $(gcd "$fps" 44100)))
unit=$((unit_ms * unit_audio / $(gcd "$unit_ms" "$unit_audio")))
bounds=("$first")
for ((k = 1; k < spans; k++)); do
  target=$((first + (end - first) * k / spans))
  b=$(((target + unit / 2) / unit * unit))
  if [ "$b" -le "${bounds[-1]}" ] || [ "$b" -ge "$end" ]; then
    bad "the range $from to $to ms is too short for $spans spans at $fps fps"
  fi
  bounds+=("$b")
done
bounds+=("$end")

# The settings every part and the join share.
settings=(--size "$size" --fps "$fps" --codec "$codec")
[ -z "$crf" ] || settings+=(--crf "$crf")
output="$(realpath -m "$output")"
[ ! -e "$output" ] || [ -f "$output" ] || bad "will not write $output: it exists and is not a regular file"
parts="$output.parts"
plan="from=$from to=$to spans=$spans ${settings[*]} --supersample $supersample"
mkdir -p "$parts"
if [ -f "$parts/plan" ] && [ "$(cat "$parts/plan")" != "$plan" ]; then
  fail "$parts holds the parts of a capture with other settings; remove it or give the same settings"
fi
echo "$plan" >"$parts/plan"

data_args=()
[ -z "$data" ] || data_args=(--data "$(realpath "$data")")
table="$parts/spans.txt"
: >"$table"
missing=0
for ((k = 0; k < spans; k++)); do
  span_from=$((k == 0 ? from : bounds[k] * 1000 / fps))
  span_to=$((k == spans - 1 ? to : bounds[k + 1] * 1000 / fps))
  if [ ! -f "$parts/span_$k.mov" ]; then
    echo "$k $span_from $span_to" >>"$table"
    missing=$((missing + 1))
  fi
done

if [ "$missing" -gt 0 ]; then
  echo "capture_farm: capturing $missing of $spans spans, $jobs at once, with $tool_path" >&2
  remote=()
  if [ -n "$sshlogin" ]; then
    remote=(--sshlogin "$sshlogin" --workdir ... --return "span_{1}.mov" --cleanup)
  fi
  # Each span's run writes span_<k>.mov (renamed into place only when whole).
  (cd "$parts" && parallel -q --jobs "$jobs" --colsep ' ' --tag --halt never "${remote[@]}" \
    "$tool_path" "${data_args[@]}" --video "span_{1}.mov" --split-part "${settings[@]}" \
    --supersample "$supersample" --from "{2}" --to "{3}" :::: "$table") ||
    true
fi

failed=()
for ((k = 0; k < spans; k++)); do
  [ -f "$parts/span_$k.mov" ] || failed+=("$k")
done
if [ "${#failed[@]}" -gt 0 ]; then
  [ -z "$sshlogin" ] || echo "capture_farm: each host of --sshlogin needs ssh without a password, rsync, $tool_path and the show's data" >&2
  fail "span(s) ${failed[*]} of $spans failed (see the messages above); the finished spans are kept in $parts: run the same command again to capture only the missing ones"
fi

# The concat demuxer's list: each part and its exact length, from which the
# next part's start time follows.
list="$parts/join.txt"
: >"$list"
for ((k = 0; k < spans; k++)); do
  frames=$((bounds[k + 1] - bounds[k]))
  us=$(((frames * 2000000 + fps) / (2 * fps)))
  printf "file 'span_%d.mov'\nduration %d.%06d\n" "$k" $((us / 1000000)) $((us % 1000000)) >>"$list"
done
"$tool_path" --video "$output" --join "$list" --from "$from" --to "$to" "${settings[@]}" ||
  fail "the parts in $parts could not be joined (see above); they are kept"
rm -rf "$parts"
echo "capture_farm: wrote $output from $spans spans" >&2
