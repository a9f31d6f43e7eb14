#!/usr/bin/env bash
# Installs the Debian 12 packages the show needs to build, play, test and
# capture.  Safe to run again; works as root or through sudo.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  libsdl2-dev libopenmpt-dev libpulse-dev libfreetype-dev libfontconfig-dev fonts-liberation2
  libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-mesa0 libgles2 libpng-dev zlib1g-dev
  libgtest-dev
  clang-14 libclang-rt-14-dev
  ffmpeg sox xvfb xfonts-base xdotool imagemagick x11-utils libx11-dev procps stress-ng
  parallel rsync pulseaudio pulseaudio-utils
)

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi
