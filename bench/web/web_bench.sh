#!/usr/bin/env bash
# Frame time per scene of the browser build in headless Chromium (WebGL on
# SwiftShader): 120 steps of each scene on the offline clock, one per
# animation frame, after catching up cheaply.  Prints figures only.
# With --seek: 20 seeks to song times from a fixed seed while the show plays
# (its time per seek, p50/p95/max back and forward, and what each ran).
#   bash bench/web/web_bench.sh [--seek] [BUILD_WEB]   (default build-web/, from scripts/web.sh)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
mode=--bench
if [ "${1:-}" = "--seek" ]; then
  mode=--seek-bench
  shift
fi
exec python3 "$root/bench/web/web_bench.py" "$mode" "${1:-$root/build-web}"
