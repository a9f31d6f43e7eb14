#!/usr/bin/env bash
# Builds the bitmap decoder's fuzz target with clang 14 (libFuzzer,
# AddressSanitizer, UndefinedBehaviorSanitizer) in its own build directory,
# writes the seed corpus and fuzzes for a bounded time.  A finding leaves its
# input under <build>/artifacts/ and makes the script fail.
# Usage: scripts/fuzz_bmp.sh [seconds] [more libFuzzer options...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VM_FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${1:-60}"
shift || true

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
cmake --build "$build" -j 2 --target fuzz_bmp make_bmp_seeds >/dev/null

mkdir -p "$build/seeds" "$build/corpus" "$build/artifacts"
"$build/tools/fuzz_bmp/make_bmp_seeds" "$build/seeds"
# New inputs go to corpus/; the seeds are read only.
"$build/tools/fuzz_bmp/fuzz_bmp" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$build/artifacts/" "$@" "$build/corpus" "$build/seeds"
