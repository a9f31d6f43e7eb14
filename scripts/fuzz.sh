#!/usr/bin/env bash
# Builds a fuzz target with clang 14 (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer) in its own build directory, writes its seed
# corpus and fuzzes for a bounded time.  A finding leaves its input under
# <build>/artifacts_<target>/ and makes the script fail.
#   bmp: the bitmap decoder (tools/fuzz_bmp)
#   xm:  the sound layer's module loading and offline rendering (tools/fuzz_xm)
#   seek: the seek engine under random schedules against a straight run
#         (tools/fuzz_seek; headless, reading the build's show data)
# Usage: scripts/fuzz.sh bmp|xm [seconds] [more libFuzzer options...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VM_FUZZ_BUILD_DIR:-$root/build-fuzz}"
target="${1:?usage: fuzz.sh bmp|xm|seek [seconds] [libFuzzer options...]}"
seconds="${2:-60}"
shift $(($# < 2 ? $# : 2))

# Per target: largest input, memory limit (MB), seconds one input may take.
case "$target" in
bmp) options=(-max_len=8192 -rss_limit_mb=2048 -timeout=10) ;;
# Modules are rendered for seconds of song time: slow inputs are expected,
# a hang is not.  libopenmpt's "cannot play" lines on stderr are dropped
# (crash reports still show).
xm) options=(-max_len=65536 -rss_limit_mb=1024 -timeout=30 -close_fd_mask=2) ;;
# A schedule plays minutes of the show and its straight run: seconds each.
seek) options=(-max_len=1024 -rss_limit_mb=4096 -timeout=600) ;;
*)
  echo "fuzz.sh: unknown target '$target'" >&2
  exit 2
  ;;
esac

# Two runs may start at once (CTest runs tests in parallel): one builds at a
# time.  The normal build is the warnings gate; clang's own warnings are
# not errors here.
mkdir -p "$build"
(
  flock 9
  cmake -S "$root" -B "$build" -DVM_WERROR=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
  cmake --build "$build" -j 2 --target "vintermoot-fuzz-$target" "vintermoot-$target-seeds" >/dev/null
) 9>"$build/.fuzz-build.lock"

seeds="$build/seeds_$target"
corpus="$build/corpus_$target"
artifacts="$build/artifacts_$target"
mkdir -p "$seeds" "$corpus" "$artifacts"
"$build/tools/fuzz_$target/vintermoot-$target-seeds" "$seeds"
# New inputs go to the corpus folder; the seeds are read only.  It runs in
# the build folder, where the show's data is, headless.
cd "$build"
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy LIBGL_ALWAYS_SOFTWARE=1 \
  "$build/tools/fuzz_$target/vintermoot-fuzz-$target" -max_total_time="$seconds" "${options[@]}" \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" "$corpus" "$seeds"
