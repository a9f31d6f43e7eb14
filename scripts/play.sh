#!/usr/bin/env bash
# Sets everything up, builds, and plays the show.  Without a display it
# captures the show to a video file in the current directory instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VM_BUILD_DIR:-$root/build}"
here="$(pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  cd "$build"
  exec ./vintermoot
fi
if [ -x "$build/vintermoot-capture" ]; then
  echo "play: no display found; capturing the show to $here/vintermoot.mp4"
  cd "$build"
  ./vintermoot-capture --video "$here/vintermoot.mp4"
  echo "play: the show is in $here/vintermoot.mp4"
else
  echo "play: no display found and no capture tool built" >&2
  exit 1
fi
