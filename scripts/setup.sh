#!/usr/bin/env bash
# Installs the Debian 12 packages the show needs to build, play, test and
# capture.  Safe to run again; works as root or through sudo.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config git
  libsdl2-dev libopenmpt-dev libpulse-dev libsystemd-dev libfreetype-dev libfontconfig-dev fonts-liberation2
  libgl-dev libglu1-mesa-dev libgl1-mesa-dri libegl-mesa0 libgles2 libpng-dev zlib1g-dev
  libgtest-dev
  clang-14 libclang-rt-14-dev
  ffmpeg sox xvfb xfonts-base xdotool imagemagick x11-utils libx11-dev procps stress-ng
  parallel rsync pulseaudio pulseaudio-utils dbus playerctl
)

# shellcheck source=scripts/lib/install.sh
source "$(dirname "$0")/lib/install.sh"
install_missing "${PACKAGES[@]}"
