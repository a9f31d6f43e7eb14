#!/usr/bin/env bash
# Configures and builds the show, its tools and its data into build/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VM_BUILD_DIR:-$root/build}"
# Warnings are errors here (and so in CI), not in other people's builds.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVM_WERROR=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
