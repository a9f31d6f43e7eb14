#!/usr/bin/env bash
# Sets everything up, builds, and runs every test through CTest, then the
# timing-sensitive tests again with both cores busy (scripts/stress_test.sh;
# VM_STRESS=0 leaves that out), and a ten-minute soak of the show; builds
# the Debian package, installs it, checks the installed programs and removes
# it (scripts/package_test.sh); then builds again with the sanitizers and
# runs the tests that exercise memory and threads under AddressSanitizer
# and UndefinedBehaviorSanitizer (not the slow timing tests a third time),
# and the threaded parts under ThreadSanitizer (scripts/sanitize.sh).
# VM_SANITIZERS=0 leaves out the second half.  Prints how long each phase
# took.
#
# The browser build (scripts/web.sh, into build-web/, tested by the
# browser_show and browser_page tests) runs before the tests; from a cold cache it installs
# emscripten and Chromium and builds its WebAssembly dependencies (cached
# outside the clone) in about 3 minutes on two cores.  VM_WEB=0 leaves it
# out.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VM_BUILD_DIR:-$root/build}"

phase_times=()
# Runs one phase ("name" command...) and records its wall time.
phase() {
  local name="$1" start=$SECONDS
  shift
  "$@"
  phase_times+=("$name $((SECONDS - start)) s")
  echo "test.sh: $name took $((SECONDS - start)) s"
}

run_tests() {
  cd "$build"
  ctest --output-on-failure -j "$(nproc)"
}

# Ten minutes of song time through the harness (the first pass of the show,
# then the finale running on): fails on any GL error or non-finite value and
# prints memory and frame times (bench/soak).
run_soak() {
  cd "$build"
  ./vintermoot-soak --minutes 10 --report 1 --size 256x192 --stride 600
}

phase setup "$root/scripts/setup.sh"
phase build "$root/scripts/build.sh"
if [ "${VM_WEB:-1}" != 0 ]; then
  phase web env VM_WEB_NATIVE_BUILD="$build" "$root/scripts/web.sh"
else
  echo "test.sh: browser build left out (VM_WEB=0)"
fi
phase tests run_tests
if [ "${VM_STRESS:-1}" != 0 ]; then
  phase stressed "$root/scripts/stress_test.sh"
else
  echo "test.sh: the run under load left out (VM_STRESS=0)"
fi
phase soak run_soak
phase package "$root/scripts/package_test.sh"
if [ "${VM_SANITIZERS:-1}" = 1 ]; then
  phase address-sanitizer "$root/scripts/sanitize.sh" address
  phase thread-sanitizer "$root/scripts/sanitize.sh" thread
fi
echo "test.sh: phases: ${phase_times[*]}; total $SECONDS s"
