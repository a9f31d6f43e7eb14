# shellcheck shell=bash
# Installs Debian packages that are missing; sourced by the scripts that
# need packages (setup.sh, web.sh, package_test.sh).
#   install_missing [--quiet] PKG...
# Installs those of PKG that dpkg does not list as installed, with apt-get
# as root or through sudo, and says which.  --quiet keeps apt-get's own
# output out of the log.  Safe to run again: nothing happens when every
# package is there.  A failed install fails the caller with one line.

install_missing() {
  local name quiet=0 sudo="" p
  local missing=()
  name="$(basename "$0" .sh)"
  if [ "${1:-}" = --quiet ]; then
    quiet=1
    shift
  fi
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    echo "$name: all $# packages present"
    return 0
  fi
  echo "$name: installing ${missing[*]}"
  if [ "$quiet" = 1 ]; then
    local log
    log="$(mktemp /tmp/vm_install_XXXXXX)"
    if ! { $sudo apt-get update && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y \
      --no-install-recommends "${missing[@]}"; } >"$log" 2>&1; then
      tail -n 20 "$log" >&2
      rm -f "$log"
      echo "$name: could not install ${missing[*]} (apt-get failed, its last lines above)" >&2
      return 1
    fi
    rm -f "$log"
  elif ! { $sudo apt-get update && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y \
    --no-install-recommends "${missing[@]}"; }; then
    echo "$name: could not install ${missing[*]} (apt-get failed, see above)" >&2
    return 1
  fi
}
