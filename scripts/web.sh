#!/usr/bin/env bash
# Builds the show for web browsers into build-web/ (fresh Debian 12):
# installs Debian's emscripten, builds SDL2 and libopenmpt for WebAssembly
# once from Debian's source packages (cached outside the clone, in
# $VM_WEB_CACHE or ~/.cache/vintermoot-web), makes the show's data with a
# native build, and builds the page.  Safe to run again.
#   bash scripts/web.sh [--dist DIR]
# --dist DIR also fills DIR with the page ready for a static host
# (web/dist.py: content-hashed names, .gz and .br copies; docs/browser.md,
# "Put it on a web server").  DIR must be new, empty or made by --dist
# before: the script refuses any other folder before it builds.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
CACHE="${VM_WEB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vintermoot-web}"
OUT="${VM_WEB_BUILD:-$ROOT/build-web}"
NATIVE="${VM_WEB_NATIVE_BUILD:-$ROOT/build}"
PREFIX="$CACHE/prefix"
JOBS="${VM_JOBS:-2}"
# chromium is for the browser test (tests/web) and the benchmark (bench/web).
# brotli is for the static host's folder (--dist).
PACKAGES=(emscripten dpkg-dev cmake make python3 build-essential pkg-config chromium brotli)

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
say() { echo "web: $*"; }
# shellcheck source=scripts/lib/install.sh
source "$ROOT/scripts/lib/install.sh"

# Debian's emscripten tools need the Debian node modules (acorn, terser)
# at -O1 and above, which a node from elsewhere does not look for.
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"


# apt-get source needs deb-src entries, which the machine may not have.  They
# are derived from the machine's own Debian deb entries (same addresses,
# suites and keys) into a private apt folder under the cache, used by this
# script's apt-get calls only: the machine's apt sources stay as they are.
APT_DIR="$CACHE/apt"
private_apt() {
  apt-get -o Dir::Etc::SourceList="$APT_DIR/sources.list" \
    -o Dir::Etc::SourceParts="$APT_DIR/sources.list.d" -o Dir::State::Lists="$APT_DIR/lists" \
    -o Dir::Cache="$APT_DIR/cache" -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache= "$@"
}

private_source_entries() {
  [ -f "$APT_DIR/ready" ] && return 0
  local entries
  entries="$(
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      awk 'BEGIN { RS = ""; ORS = "\n\n" }
           /debian-archive-keyring|URIs:[^\n]*debian/ {
             n = split($0, lines, "\n"); out = ""; binary = 0
             for (i = 1; i <= n; i++) {
               if (lines[i] ~ /^Types:/) {
                 m = split(lines[i], types, /[ \t]+/)
                 for (j = 2; j <= m; j++) if (types[j] == "deb") binary = 1
                 lines[i] = "Types: deb-src"
               }
               out = out lines[i] (i < n ? "\n" : "")
             }
             if (binary) print out }' "$f"
    done
    if [ -f /etc/apt/sources.list ]; then
      grep -E '^deb [^#]*debian' /etc/apt/sources.list | sed -E 's/^deb /deb-src /' || true
    fi
  )"
  if [ -z "$entries" ]; then
    echo "web: no Debian deb entry in the apt sources to derive a deb-src entry from" >&2
    exit 1
  fi
  rm -rf "$APT_DIR"
  mkdir -p "$APT_DIR/sources.list.d" "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial"
  { grep '^deb-src ' <<<"$entries" || true; } > "$APT_DIR/sources.list"
  { grep -v '^deb-src ' <<<"$entries" || true; } > "$APT_DIR/sources.list.d/deb-src.sources"
  private_apt update
  touch "$APT_DIR/ready"
  say "deb-src entries in $APT_DIR (the machine's apt sources are left as they are)"
}

# Earlier versions of this script added a deb-src entry to the machine's apt
# sources for good; take it out again.
remove_old_source_entries() {
  local old=/etc/apt/sources.list.d/vintermoot-deb-src
  if [ -f "$old.sources" ] || [ -f "$old.list" ]; then
    $SUDO rm -f "$old.sources" "$old.list"
    say "removed $old.sources, which an earlier web.sh had added to the apt sources"
  fi
}

# Unpacks Debian's source of package $1 under $CACHE/src once; prints its
# folder.
fetch_source() {
  local package="$1" dir
  mkdir -p "$CACHE/src"
  dir="$(find "$CACHE/src" -maxdepth 1 -type d -name "$package-*" | head -n 1)"
  if [ -z "$dir" ]; then
    private_source_entries >&2
    (cd "$CACHE/src" && private_apt source --download-only "$package" >&2 &&
      dpkg-source -x "$(ls -t "$package"_*.dsc | head -n 1)" >&2)
    dir="$(find "$CACHE/src" -maxdepth 1 -type d -name "$package-*" | head -n 1)"
  fi
  echo "$dir"
}

# SDL2 and libopenmpt for WebAssembly from Debian's sources, through a
# build file of ours (web/deps) that skips their slow configure steps.
build_deps() {
  [ -f "$PREFIX/lib/libSDL2.a" ] && [ -f "$PREFIX/lib/libopenmpt.a" ] && return 0
  local start=$SECONDS sdl2 openmpt
  sdl2="$(fetch_source libsdl2)"
  openmpt="$(fetch_source libopenmpt)"
  say "fetched $(basename "$sdl2") and $(basename "$openmpt") in $((SECONDS - start)) s"
  start=$SECONDS
  emcmake cmake -S "$ROOT/web/deps" -B "$CACHE/build-deps" -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DVM_SDL2_SOURCE="$sdl2" -DVM_OPENMPT_SOURCE="$openmpt" > /dev/null
  cmake --build "$CACHE/build-deps" -j"$JOBS" > /dev/null
  cmake --install "$CACHE/build-deps" > /dev/null
  say "built SDL2 and libopenmpt for WebAssembly in $((SECONDS - start)) s"
}

# The show's data (pictures, module, baked font) from a native build, and
# for the page its icon and a still frame from the frame harness.
STILL_AT_MS=134000
STILL_SIZE=480x360
build_data() {
  [ -f "$NATIVE/CMakeCache.txt" ] || cmake -S "$ROOT" -B "$NATIVE" > /dev/null
  cmake --build "$NATIVE" --target vm_pictures vm_music vm_font vm_desktop_files \
    vintermoot-capture -j"$JOBS" > /dev/null
  local still="$NATIVE/web-page/$STILL_AT_MS.png"
  if [ ! -f "$still" ] || [ "$NATIVE/vintermoot-capture" -nt "$still" ]; then
    mkdir -p "$NATIVE/web-page"
    SDL_VIDEODRIVER=offscreen "$NATIVE/vintermoot-capture" --data "$NATIVE" \
      --frames "$NATIVE/web-page" --at "$STILL_AT_MS" --size "$STILL_SIZE" > /dev/null
  fi
}

# axe-core, pinned, for the page test's accessibility checks
# (tests/web/access_test.py): from npm once into the cache, its script
# copied beside the page as test-tools/axe.min.js (not part of the page).
AXE_VERSION=4.14.1
install_axe() {
  local dir="$CACHE/axe-core-$AXE_VERSION"
  if [ ! -f "$dir/node_modules/axe-core/axe.min.js" ]; then
    # Node's own npm where node is installed (it comes with it), Debian's otherwise.
    command -v npm > /dev/null || install_missing npm
    mkdir -p "$dir"
    npm install --prefix "$dir" --no-save --no-audit --no-fund "axe-core@$AXE_VERSION" > /dev/null
    say "installed axe-core $AXE_VERSION for the page test"
  fi
  mkdir -p "$OUT/test-tools"
  cp "$dir/node_modules/axe-core/axe.min.js" "$OUT/test-tools/axe.min.js"
}

build_page() {
  say "building the page into $OUT"
  emcmake cmake -S "$ROOT/web" -B "$OUT" -DVM_WEB_PREFIX="$PREFIX" \
    -DVM_WEB_DATA="$NATIVE/data" -DVM_WEB_STILL="$NATIVE/web-page/$STILL_AT_MS.png" \
    -DVM_WEB_ICON="$NATIVE/packaging/vintermoot.png" > /dev/null
  cmake --build "$OUT" -j"$JOBS"
}

main() {
  local dist=""
  while [ $# -gt 0 ]; do
    case "$1" in
      --dist)
        [ $# -ge 2 ] && [ -n "$2" ] || { echo "web: --dist takes a folder" >&2; exit 2; }
        dist="$2"
        shift 2 ;;
      *) echo "usage: bash scripts/web.sh [--dist DIR]" >&2; exit 2 ;;
    esac
  done
  # The packages first: the check below runs python3, which a fresh machine
  # may lack.
  install_missing "${PACKAGES[@]}"
  # Refused before the build, not after it (web/dist.py never deletes what
  # it did not make).
  [ -z "$dist" ] || python3 "$ROOT/web/dist.py" --check "$dist"
  remove_old_source_entries
  build_deps
  build_data
  build_page
  install_axe
  say "done: $(du -ch "$OUT"/vintermoot.{js,wasm,data} | tail -n 1 | cut -f1) to download"
  say "to watch it: cd ${OUT#"$PWD"/} && python3 -m http.server 8000, then open http://127.0.0.1:8000/"
  if [ -n "$dist" ]; then
    python3 "$ROOT/web/dist.py" "$OUT" "$dist"
  fi
}

main "$@"
