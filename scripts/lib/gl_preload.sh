# shellcheck shell=bash
# Prints the libraries that SDL and libglvnd load with dlopen and unload
# before a leak check runs (the EGL vendor library, Mesa's software driver,
# D-Bus): the memory those libraries keep in their globals then looks
# leaked, from "<unknown module>".  Preloading them keeps them mapped to the
# end, so their globals still reach that memory.  For LD_PRELOAD.
gl_preload() {
  local arch lib dir preload=""
  arch="$(gcc -print-multiarch)"
  for lib in libEGL.so.1 libEGL_mesa.so.0 dri/swrast_dri.so libdbus-1.so.3; do
    for dir in "/usr/lib/$arch" "/lib/$arch"; do
      if [ -e "$dir/$lib" ]; then
        preload="$preload $dir/$lib"
        break
      fi
    done
  done
  echo "${preload# }"
}
