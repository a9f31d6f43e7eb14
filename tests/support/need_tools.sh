# shellcheck shell=bash
# Skips a test script that cannot run here; sourced by the shell tests
# that drive outside programs (e2e_window.sh, pulse_latency.sh).
#   need_tools LABEL TOOL...
# Exits the script with 77, which CTest counts as skipped, naming the
# first TOOL not on the PATH.
need_tools() {
  local label="$1" tool
  shift
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "$label: $tool is not installed; skipping"
      exit 77
    fi
  done
}
