#!/usr/bin/env bash
# Frame time per scene of the browser build in headless Chromium (WebGL on
# SwiftShader): 120 steps of each scene on the offline clock, one per
# animation frame, after catching up cheaply.  Prints figures only.
#   bash bench/web/web_bench.sh [BUILD_WEB]      (default build-web/, from scripts/web.sh)
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
exec python3 "$root/tests/web/browser_test.py" --bench "${1:-$root/build-web}"
