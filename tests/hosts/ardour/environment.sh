# shellcheck shell=bash
# Sourced by the Ardour scripts (run-ardour.sh, run-ardour-editor.sh): Ardour's private
# configuration, scan cache and plug-in folder, the mount namespace that hides the system's
# LADSPA plug-ins, and time-limited Ardour calls. The caller sources ../common.sh first and
# defines fail MESSAGE.

ARDOUR_LIB=/usr/lib/ardour7
ARDOUR_SCANNER=$ARDOUR_LIB/ardour-vst-scanner
ARDOUR_TIMEOUT=${KORVALEX_ARDOUR_TIMEOUT:-120}

ardour_prerequisites() {
  command -v ardour7-lua >/dev/null || fail "ardour7-lua is missing: run scripts/install-host-deps.sh"
  [ -x "$ARDOUR_SCANNER" ] || fail "$ARDOUR_SCANNER is missing: run scripts/install-host-deps.sh"
}

# Ardour opens every LADSPA library in the system folders when it starts; ISOLATE (an
# array to put before a command) hides them in a private mount namespace. Without root (or
# where namespaces are forbidden) that is only acceptable when there are no such folders.
ardour_isolation() {
  local here folder ladspa_present=no
  here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
  for folder in /usr/lib/ladspa /usr/local/lib/ladspa /usr/lib/x86_64-linux-gnu/ladspa /usr/lib64/ladspa; do
    [ -d "$folder" ] && ladspa_present=yes
  done
  if [ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null; then
    ISOLATE=(unshare -m bash "$here/private-mounts.sh")
  elif [ "$ladspa_present" = no ]; then
    echo "no private mount namespace (not root?); there are no LADSPA folders to hide"
    ISOLATE=()
  else
    fail "cannot create a private mount namespace to hide the LADSPA folders (run as root)"
  fi
}

# A private Ardour configuration and cache under WORK/home, and WORK/vst as the only Linux
# VST folder, so that a run neither reads nor changes the user's Ardour set-up.
ardour_private_home() {
  local work=$1
  private_home "$work"
  mkdir -p "$work/vst" "$work/empty"
  export LXVST_PATH=$work/vst
  export LADSPA_PATH=$work/empty
  unset VST_PATH
}

# Copies the plug-in into the private VST folder and scans it into Ardour's cache. The
# cache entry is ignored while the plug-in file is younger than about 2 s: the copy is
# dated 10 s back rather than waiting.
ardour_scan_plugin() {
  local plugin=$1 work=$2
  cp "$plugin" "$work/vst/korvalex.so"
  touch -d "@$(($(date +%s) - 10))" "$work/vst/korvalex.so"
  LD_LIBRARY_PATH=$ARDOUR_LIB timeout -k 5 60 "$ARDOUR_SCANNER" -f -v "$work/vst/korvalex.so" >"$work/scan.log" 2>&1 ||
    { tail -n 20 "$work/scan.log" >&2; fail "the VST scanner rejected korvalex.so (log: $work/scan.log)"; }
  grep -q 'name="Korvalex"' "$XDG_CACHE_HOME"/ardour7/vst/*.v2i 2>/dev/null ||
    fail "the VST scanner wrote no cache entry for Korvalex (log: $work/scan.log)"
}

# Runs ardour7-lua with a time limit, its output in LOG; shows the log's end on failure.
run_ardour_lua() {
  local log=$1
  shift
  local status=0
  timeout -k 10 "$ARDOUR_TIMEOUT" "${ISOLATE[@]}" ardour7-lua "$@" >"$log" 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    tail -n 20 "$log" >&2
    [ $status -eq 124 ] && fail "ardour7-lua $(basename "$1") took more than $ARDOUR_TIMEOUT s (log: $log)"
    fail "ardour7-lua $(basename "$1") exited with status $status (log: $log)"
  fi
}
