#!/usr/bin/env bash
# Draws the README's pictures with the capture tool, frame-exact: a contact
# sheet of the six scenes (scenes.png) and three frames at 640 x 480
# (<song time>.png), PNG, into OUT_DIR, in place of the PNG files there.  Run from the directory that holds
# the show's data/ (the build directory).  The readme_pictures target writes
# them into docs/pictures/; the test_readme_pictures test draws them into a
# temporary folder and compares them with those.
#   readme_pictures.sh CAPTURE_TOOL OUT_DIR
set -euo pipefail
if [ "$#" -ne 2 ]; then
  echo "usage: readme_pictures.sh CAPTURE_TOOL OUT_DIR" >&2
  exit 2
fi
capture="$1"
out="$2"
mkdir -p "$out"
# The folder holds exactly this set: pictures of an earlier set go.
rm -f "$out"/*.png
export SDL_VIDEODRIVER=offscreen
"$capture" --size 400x300 --contact-sheet "$out/scenes.png" \
  --at 20000,90000,106000,134000,200000,290000
"$capture" --size 640x480 --frames "$out" --at 16000,134000,290000
