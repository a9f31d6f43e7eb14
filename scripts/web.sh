#!/usr/bin/env bash
# Builds the show for web browsers into build-web/ (fresh Debian 12):
# installs Debian's emscripten, builds SDL2 and libopenmpt for WebAssembly
# once from Debian's source packages (cached outside the clone, in
# $VM_WEB_CACHE or ~/.cache/vintermoot-web), makes the show's data with a
# native build, and builds the page.  Safe to run again.
set -euo pipefail

ROOT="$(cd "$(dirname "$0")/.." && pwd)"
CACHE="${VM_WEB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vintermoot-web}"
OUT="${VM_WEB_BUILD:-$ROOT/build-web}"
NATIVE="${VM_WEB_NATIVE_BUILD:-$ROOT/build}"
PREFIX="$CACHE/prefix"
JOBS="${VM_JOBS:-2}"
# chromium is for the browser test (tests/web) and the benchmark (bench/web).
PACKAGES=(emscripten dpkg-dev cmake make python3 build-essential pkg-config chromium)
SOURCES_FILE=/etc/apt/sources.list.d/vintermoot-deb-src.sources

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
say() { echo "web: $*"; }

# Debian's emscripten tools need the Debian node modules (acorn, terser)
# at -O1 and above, which a node from elsewhere does not look for.
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"

install_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    say "installing ${missing[*]}"
    $SUDO apt-get update
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
  fi
}

# A deb-src entry for each of the machine's own Debian deb entries (same
# addresses, suites and keys), so that apt-get source works.
add_source_entries() {
  [ -f "$SOURCES_FILE" ] && return 0
  local entries
  entries="$(
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      awk 'BEGIN { RS = ""; ORS = "\n\n" }
           /debian-archive-keyring|URIs:[^\n]*debian/ && /Types:[^\n]*deb/ {
             n = split($0, lines, "\n"); out = ""
             for (i = 1; i <= n; i++) {
               if (lines[i] ~ /^Types:/) lines[i] = "Types: deb-src"
               out = out lines[i] (i < n ? "\n" : "")
             }
             print out }' "$f"
    done
    if [ -f /etc/apt/sources.list ]; then
      grep -E '^deb [^#]*debian' /etc/apt/sources.list | sed -E 's/^deb /deb-src /' || true
    fi
  )"
  if [ -z "$entries" ]; then
    echo "web: no Debian deb entry in the apt sources to derive a deb-src entry from" >&2
    exit 1
  fi
  if grep -q '^deb-src ' <<<"$entries"; then
    local list_file="${SOURCES_FILE%.sources}.list"
    grep '^deb-src ' <<<"$entries" | $SUDO tee "$list_file" > /dev/null
    { grep -v '^deb-src ' <<<"$entries" || true; } | $SUDO tee "$SOURCES_FILE" > /dev/null
  else
    $SUDO tee "$SOURCES_FILE" <<<"$entries" > /dev/null
  fi
  say "added deb-src entries in $SOURCES_FILE"
  $SUDO apt-get update
}

# Unpacks Debian's source of package $1 under $CACHE/src once; prints its
# folder.
fetch_source() {
  local package="$1" dir
  mkdir -p "$CACHE/src"
  dir="$(find "$CACHE/src" -maxdepth 1 -type d -name "$package-*" | head -n 1)"
  if [ -z "$dir" ]; then
    add_source_entries >&2
    (cd "$CACHE/src" && apt-get source --download-only "$package" >&2 &&
      dpkg-source -x "$(ls -t "$package"_*.dsc | head -n 1)" >&2)
    dir="$(find "$CACHE/src" -maxdepth 1 -type d -name "$package-*" | head -n 1)"
  fi
  echo "$dir"
}

build_sdl2() {
  [ -f "$PREFIX/lib/libSDL2.a" ] && return 0
  local src
  src="$(fetch_source libsdl2)"
  say "building SDL2 for WebAssembly from $(basename "$src")"
  emcmake cmake -S "$src" -B "$CACHE/build-sdl2" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF > /dev/null
  cmake --build "$CACHE/build-sdl2" -j"$JOBS" > /dev/null
  cmake --install "$CACHE/build-sdl2" > /dev/null
}

build_libopenmpt() {
  [ -f "$PREFIX/lib/libopenmpt.a" ] && return 0
  local src
  src="$(fetch_source libopenmpt)"
  say "building libopenmpt for WebAssembly from $(basename "$src")"
  (cd "$src" && emconfigure ./configure --host=wasm32-unknown-none --prefix="$PREFIX" \
    --enable-static --disable-shared --disable-openmpt123 --disable-examples --disable-tests \
    --disable-doxygen-doc --without-zlib --without-mpg123 --without-ogg --without-vorbis \
    --without-vorbisfile --without-pulseaudio --without-portaudio --without-portaudiocpp \
    --without-sndfile --without-flac > /dev/null &&
    emmake make -j"$JOBS" > /dev/null && emmake make install > /dev/null)
}

# The show's data (pictures, module, baked font) from a native build.
build_data() {
  [ -f "$NATIVE/CMakeCache.txt" ] || cmake -S "$ROOT" -B "$NATIVE" > /dev/null
  cmake --build "$NATIVE" --target vm_pictures vm_music vm_font -j"$JOBS" > /dev/null
}

build_page() {
  say "building the page into $OUT"
  emcmake cmake -S "$ROOT/web" -B "$OUT" -DVM_WEB_PREFIX="$PREFIX" \
    -DVM_WEB_DATA="$NATIVE/data" > /dev/null
  cmake --build "$OUT" -j"$JOBS"
}

main() {
  install_packages
  build_sdl2
  build_libopenmpt
  build_data
  build_page
  say "done: $(du -ch "$OUT"/vintermoot.{js,wasm,data} | tail -n 1 | cut -f1) to download"
  say "to watch it: cd ${OUT#"$PWD"/} && python3 -m http.server 8000, then open http://127.0.0.1:8000/"
}

main "$@"
