#!/usr/bin/env bash
# Builds the Debian package from the build directory and checks it the way
# Debian checks packages: lintian (no error, no warning), the desktop entry
# (desktop-file-validate, not even a hint) and every manual page (man
# --warnings); packs it a second time after touching every packed file and
# compares the bytes (the package is dated at the commit, not at the build).
# Validates the software-centre metadata (appstreamcli, offline).
# Then installs it with apt (so its declared dependencies are checked), and
# checks the installed programs from another directory: the player's
# --version, a manual page for every installed program naming every option
# of its --help, the desktop entry and its icon, only the data the native
# programs read, and two seconds of song time rendered headless by the
# installed capture tool from the installed data.  Removes the package
# again.  Needs root (or sudo); CI runs it after the tests.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VM_BUILD_DIR:-$root/build}"
if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

# The checkers, installed when missing (Debian packages).
# shellcheck source=scripts/lib/install.sh
source "$root/scripts/lib/install.sh"
install_missing --quiet lintian desktop-file-utils man-db appstream

fail() {
  echo "package: FAIL: $*"
  exit 1
}

work="$(mktemp -d /tmp/vm_package_XXXXXX)"
installed=0
cleanup() {
  if [ "$installed" = 1 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y vintermoot >/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

cd "$build"
pack() {
  rm -f vintermoot_*.deb
  cpack -G DEB >cpack.log 2>&1 || { cat cpack.log; exit 1; }
}
pack
deb="$(ls vintermoot_*.deb)"
echo "package: $deb, $(stat -c %s "$deb") bytes"
dpkg-deb -f "$deb" Depends Installed-Size | sed 's/^/package: /'

# Reproducible: every file dated at the commit; packing again, after every
# packed file got a new time, gives the same bytes.
epoch="$(cat packaging/source_date_epoch)"
dated="$(dpkg-deb --fsys-tarfile "$deb" | tar -t --full-time -v | awk '{print $4 " " $5}' | sort -u)"
[ "$dated" = "$(date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')" ] ||
  fail "files not all dated at the commit ($(date -u -d "@$epoch")): $dated"
cp "$deb" "$work/first.deb"
touch packaging/* vintermoot vintermoot-capture data/*
pack
cmp -s "$deb" "$work/first.deb" || fail "packing the same build twice gave different bytes"
echo "package: packed twice, the same bytes ($(sha256sum "$deb" | cut -c1-16)...)"

# Debian's checks: any error or warning fails (info tags are printed only).
status=0
report="$(lintian --display-info --fail-on error,warning "$deb" 2>&1)" || status=$?
grep -v '^running with root privileges' <<<"$report" | sed '/^$/d; s/^/package: lintian: /' || true
[ "$status" -eq 0 ] || fail "lintian reports errors or warnings"
echo "package: lintian: no error, no warning"

# Software-centre metadata, AppStream's own checks without the network (the
# screenshots are web addresses, not fetched): the file, and the packed tree
# (the file named after its id, its desktop entry and icon there).
metainfo="$(dpkg-deb -c "$deb" | grep -o '/usr/share/metainfo/[^ ]*\.metainfo\.xml$' || true)"
[ -n "$metainfo" ] || fail "no software-centre metadata in /usr/share/metainfo"
dpkg-deb -x "$deb" "$work/tree"
appstreamcli validate --no-net "$work/tree$metainfo" >"$work/appstream.log" 2>&1 &&
  appstreamcli validate-tree --no-net "$work/tree" >>"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log"; fail "appstreamcli finds the software-centre metadata invalid"; }
echo "package: appstreamcli: $(basename "$metainfo") valid"

DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "./$deb" \
  >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
installed=1

cd "$work"
version="$(/usr/games/vintermoot --version)"
echo "package: $version"
[[ "$version" == vintermoot* ]] || fail "vintermoot --version printed \"$version\""

# A manual page for every installed program, read by man without a warning.
programs=$(dpkg -L vintermoot | grep '^/usr/games/.' || true)
[ -n "$programs" ] || fail "no program in /usr/games"
for program in $programs; do
  name="$(basename "$program")"
  page="/usr/share/man/man6/$name.6.gz"
  [ -s "$page" ] || fail "no manual page for $name"
  warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "man warns about $page: $warnings"
  man -w "$name" >/dev/null || fail "man does not find the page of $name"
  # Every option the program's --help names is in its page (roff spells
  # each "-" of an option as "\-").
  zcat "$page" >"$name.6"
  options="$("$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u)"
  [ -n "$options" ] || fail "$name --help names no option"
  for option in $options; do
    grep -qF -- "${option//-/\\-}" "$name.6" || fail "the manual page of $name lacks $option"
  done
done

desktop=/usr/share/applications/vintermoot.desktop
hints="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop-file-validate: $hints"
[ -z "$hints" ] || fail "desktop-file-validate: $hints"
grep -q '^Icon=vintermoot$' "$desktop" || fail "desktop entry has no icon"
[ -s /usr/share/icons/hicolor/256x256/apps/vintermoot.png ] || fail "no icon"
[ -s /usr/share/doc/vintermoot/copyright ] || fail "no copyright file"
grep -q '^License: Expat$' /usr/share/doc/vintermoot/copyright || fail "the copyright file names no licence"

# Only what the native programs read: the pictures, the module and the
# still the player gives the desktop's media controls.
data=/usr/share/games/vintermoot/data
[ -s "$data/Kvadrat2.xm" ] || fail "no module in the installed data"
[ -s "$data/still.png" ] || fail "no still for the media controls in the installed data"
others="$(ls "$data" | grep -v -e '\.bmp$' -e '^Kvadrat2\.xm$' -e '^still\.png$' || true)"
[ -z "$others" ] || fail "the installed data holds more than the native programs read: $others"

# From a directory without data: the tools find the installed copy.
SDL_VIDEODRIVER=offscreen LIBGL_ALWAYS_SOFTWARE=1 \
  /usr/games/vintermoot-capture --frames shots --from 0 --to 2000 --every 30 --size 320x240 \
  --sync-log notes.txt >capture.log 2>&1 || { cat capture.log; fail "the installed capture tool failed"; }
shots=$(ls shots/*.png | wc -l)
echo "package: the installed capture tool wrote $shots frames of the first two seconds"
[ "$shots" -eq 5 ] || fail "expected 5 frames, got $shots"
cd /
DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y vintermoot >/dev/null
installed=0
[ ! -e /usr/games/vintermoot ] || fail "the player is still there after removal"
echo "package: installed, checked and removed"
