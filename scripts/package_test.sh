#!/usr/bin/env bash
# Builds the Debian package from the build directory, installs it with apt
# (so its declared dependencies are checked), and checks the installed
# programs from another directory: the player's --version, the manual page,
# the desktop entry and its icon, and two seconds of song time rendered
# headless by the installed capture tool from the installed data.  Removes
# the package again.  Needs root (or sudo); CI runs it after the tests.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VM_BUILD_DIR:-$root/build}"
if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

cd "$build"
rm -f vintermoot_*.deb
cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
deb="$(ls vintermoot_*.deb)"
echo "package: $deb, $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Depends Installed-Size | sed 's/^/package: /'

work="$(mktemp -d /tmp/vm_package_XXXXXX)"
installed=0
cleanup() {
  if [ "$installed" = 1 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y vintermoot >/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "./$deb" \
  >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
installed=1

fail() {
  echo "package: FAIL: $*"
  exit 1
}

cd "$work"
version="$(/usr/bin/vintermoot --version)"
echo "package: $version"
[[ "$version" == vintermoot* ]] || fail "vintermoot --version printed \"$version\""
[ -s /usr/share/man/man6/vintermoot.6.gz ] || fail "no manual page"
zcat /usr/share/man/man6/vintermoot.6.gz >man.6
# Roff spells each "-" of an option as "\-".
for option in window fullscreen from data 'no\-vsync'; do
  grep -qF -- "\\-\\-$option" man.6 || fail "the manual page lacks --$option"
done
if command -v man >/dev/null; then
  man -w vintermoot >/dev/null || fail "man does not find the page"
fi
grep -q '^Icon=vintermoot$' /usr/share/applications/vintermoot.desktop || fail "desktop entry has no icon"
[ -s /usr/share/icons/hicolor/256x256/apps/vintermoot.png ] || fail "no icon"
[ -s /usr/share/vintermoot/data/Kvadrat2.xm ] || fail "no module in the installed data"

# From a directory without data: the tools find the installed copy.
SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 \
  vintermoot-capture --frames shots --from 0 --to 2000 --every 30 --size 320x240 \
  --sync-log notes.txt >capture.log 2>&1 || { cat capture.log; fail "the installed capture tool failed"; }
shots=$(ls shots/*.png | wc -l)
echo "package: the installed capture tool wrote $shots frames of the first two seconds"
[ "$shots" -eq 5 ] || fail "expected 5 frames, got $shots"
cd /
DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y vintermoot >/dev/null
installed=0
[ ! -e /usr/bin/vintermoot ] || fail "the player is still there after removal"
echo "package: installed, checked and removed"
