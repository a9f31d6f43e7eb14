#!/usr/bin/env bash
# Builds the project with clang 14 and a sanitizer in its own build directory
# and runs tests there.
#   address: AddressSanitizer + UndefinedBehaviorSanitizer (+ LeakSanitizer),
#            the tests that exercise memory and threads (or the tests
#            matching VM_ASAN_TESTS; VM_ASAN_TESTS=. runs them all).
#   thread:  ThreadSanitizer, the tests of the threaded parts (sound layer and
#            main loop: test names matching VM_TSAN_TESTS).
# The fuzzing runs are left to the normal build's suite; here the fuzz
# targets only run over their seeds.  Reports in system
# libraries are silenced by the files in scripts/sanitizers/; any report in
# project code fails the test that caused it.
# Usage: scripts/sanitize.sh address|thread
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
kind="${1:?usage: sanitize.sh address|thread}"
supp="$root/scripts/sanitizers"
jobs=2 # the CI machine has two cores; never more

# Optimise a little: sanitized code at -O0 runs the GL tests too slowly, and
# -O1 keeps stack traces exact.  Line tables suffice for symbolised reports.
flags="-O1 -gline-tables-only"

case "$kind" in
address)
  build="${VM_ASAN_BUILD_DIR:-$root/build-asan}"
  option="-DVM_SANITIZE=ON"
  # What exercises memory and threads: the decoders and loaders, the sound
  # layer and the music, seeking, capture, the GL 1.1 subset, the harness
  # and the show's runs and checks, and the fuzz targets over their seeds.
  # Not the slow timing tests (the real-time loop, the window, the start-up
  # fast-forward, the sound server), which the normal and the stressed
  # phases run already, nor the scenes' pictures, the pages or the rules.
  memory_tests="test_(bmp_decoder|texture_set|outline_font|files|pictures|sound|sound_thread|music"
  memory_tests+="|xm_writer|seek|seek_keys|capture|harness|show_run|show_check|show_faults"
  memory_tests+="|show_startup|spark_batch|gl11_.*)|fuzz_seeds_.*"
  tests_regex="${VM_ASAN_TESTS:-^($memory_tests)\$}"
  export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"
  # The GL and D-Bus libraries stay loaded to the end (scripts/lib/gl_preload.sh).
  # shellcheck source=scripts/lib/gl_preload.sh
  source "$root/scripts/lib/gl_preload.sh"
  LD_PRELOAD="$(gl_preload)"
  export LD_PRELOAD
  ;;
thread)
  build="${VM_TSAN_BUILD_DIR:-$root/build-tsan}"
  option="-DVM_TSAN=ON"
  tests_regex="${VM_TSAN_TESTS:-sound|loop}"
  export TSAN_OPTIONS="suppressions=$supp/tsan.supp:halt_on_error=1:second_deadlock_stack=1:print_suppressions=0"
  # Mesa's llvmpipe renders on worker threads that it synchronises in ways
  # ThreadSanitizer cannot see (its races are reported inside swrast_dri.so).
  # Rendering on the calling thread leaves the project's own threads alone
  # under test.
  export LP_NUM_THREADS=0
  ;;
*)
  echo "sanitize.sh: unknown sanitizer '$kind'" >&2
  exit 2
  ;;
esac

# Warnings are errors here as in the normal build: clang warns of things gcc
# does not.
cmake -S "$root" -B "$build" "$option" -DVM_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="$flags" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$flags" >/dev/null

cd "$build"
# Fuzzing and long runs (soak) belong to the normal build's suite.
exclude='^fuzz_(bmp|xm)$|soak'
tests=$(ctest -N -R "$tests_regex" -E "$exclude" | sed -n 's/^ *Test *#[0-9]*: *\([A-Za-z0-9_]*\)$/\1/p')
if [ -z "$tests" ]; then
  echo "sanitize.sh: no test matches '$tests_regex'" >&2
  exit 1
fi
# Only the executables of the selected tests (and what they depend on); a
# fuzz_seeds_<name> test runs that fuzz target over its seeds.  When a
# selected test is no executable of its own (a script), everything.
targets=$(sed -E 's/^fuzz_seeds_(.*)$/vintermoot-fuzz-\1 vintermoot-\1-seeds/' <<<"$tests")
known=$(cmake --build . --target help | sed -n 's/^\.\.\. \([^ ]*\).*/\1/p; s/^\([^ :]*\): phony$/\1/p')
what="their targets"
for target in $targets; do
  grep -qxF "$target" <<<"$known" || { targets=""; what="every target"; }
done
echo "sanitize.sh: $kind: $(wc -w <<<"$tests") tests; building $what"
# shellcheck disable=SC2086
cmake --build . -j "$jobs" ${targets:+--target $targets}
ctest --output-on-failure -j "$jobs" -R "$tests_regex" -E "$exclude"
