#!/bin/bash
# Proves the Linux plug-in in a third-party host: Ardour 7 (Debian's `ardour`, headless,
# Dummy audio backend) loads BUILD_DIR/korvalex.so as a Linux VST, selects a factory
# program and bounces a generated guitar recording through it; korvalex-host-compare then
# renders the same input through our own host library and checks that the two agree.
#
# usage: tests/hosts/run-ardour.sh BUILD_DIR [PROGRAM...]
#   BUILD_DIR holds korvalex.so and korvalex-host-compare (both built by CMake).
#   PROGRAM   factory program numbers (default: 1 53 58).
# Run as root (for the private mount namespace), after scripts/install-host-deps.sh.
# Everything the run writes goes to BUILD_DIR/ardour-host-test (kept for inspection).
# Exit status 0 when every program agrees, 1 otherwise.
#
# Environment: KORVALEX_ARDOUR_TIMEOUT seconds allowed for each Ardour call (default 120).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "run-ardour: FAIL: $*" >&2
  exit 1
}

[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [PROGRAM...]" >&2; exit 2; }
build=$(cd "$1" 2>/dev/null && pwd) || fail "no build folder $1"
shift
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=(1 53 58)
for p in "${programs[@]}"; do
  [[ "$p" =~ ^[0-9]+$ ]] || fail "not a program number: $p"
done

timeout_seconds=${KORVALEX_ARDOUR_TIMEOUT:-120}
ardour_lib=/usr/lib/ardour7
scanner=$ardour_lib/ardour-vst-scanner
plugin=$build/korvalex.so
compare=$build/korvalex-host-compare
session_name=korvalex-check
# Ardour bounces in chunks of 8192 frames whatever the engine's buffer size (1024 by
# default), telling the plug-in that block size first; the reference render uses the same.
bounce_block=8192

# --- prerequisites ----------------------------------------------------------------------
command -v ardour7-lua >/dev/null || fail "ardour7-lua is missing: run scripts/install-host-deps.sh"
[ -x "$scanner" ] || fail "$scanner is missing: run scripts/install-host-deps.sh"
[ -f "$plugin" ] || fail "$plugin is missing: build the project in $build first"
[ -x "$compare" ] || fail "$compare is missing: build the project in $build first"

# Ardour opens every LADSPA library in the system folders when it starts; hide them in a
# private mount namespace. Without root (or where namespaces are forbidden) that is only
# acceptable when there are no such folders.
ladspa_present=no
for folder in /usr/lib/ladspa /usr/local/lib/ladspa /usr/lib/x86_64-linux-gnu/ladspa /usr/lib64/ladspa; do
  [ -d "$folder" ] && ladspa_present=yes
done
if [ "$(id -u)" = 0 ] && unshare -m true 2>/dev/null; then
  isolate=(unshare -m bash "$here/ardour/private-mounts.sh")
elif [ "$ladspa_present" = no ]; then
  echo "run-ardour: no private mount namespace (not root?); there are no LADSPA folders to hide"
  isolate=()
else
  fail "cannot create a private mount namespace to hide the LADSPA folders (run as root)"
fi

# --- a private Ardour configuration, scan cache and plug-in folder -----------------------
work=$build/ardour-host-test
rm -rf "$work"
mkdir -p "$work/home" "$work/vst" "$work/empty"
export HOME=$work/home
export XDG_CONFIG_HOME=$work/home/.config
export XDG_CACHE_HOME=$work/home/.cache
export XDG_DATA_HOME=$work/home/.local/share
export LXVST_PATH=$work/vst
export LADSPA_PATH=$work/empty
unset VST_PATH

now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f s", b - a }'; }

# Runs ardour7-lua with a time limit, its output in a log; shows the log's end on failure.
run_ardour() {
  local log=$1
  shift
  local status=0
  timeout -k 10 "$timeout_seconds" "${isolate[@]}" ardour7-lua "$@" >"$log" 2>&1 || status=$?
  if [ $status -ne 0 ]; then
    tail -n 20 "$log" >&2
    [ $status -eq 124 ] && fail "ardour7-lua $(basename "$1") took more than $timeout_seconds s (log: $log)"
    fail "ardour7-lua $(basename "$1") exited with status $status (log: $log)"
  fi
}

start=$(now)

# The scan cache entry is ignored while the plug-in file is younger than about 2 s: date
# the copy 10 s back rather than waiting.
t=$(now)
cp "$plugin" "$work/vst/korvalex.so"
touch -d "@$(( $(date +%s) - 10 ))" "$work/vst/korvalex.so"
LD_LIBRARY_PATH=$ardour_lib timeout -k 5 60 "$scanner" -f -v "$work/vst/korvalex.so" >"$work/scan.log" 2>&1 ||
  { tail -n 20 "$work/scan.log" >&2; fail "the VST scanner rejected korvalex.so (log: $work/scan.log)"; }
grep -q 'name="Korvalex"' "$XDG_CACHE_HOME"/ardour7/vst/*.v2i 2>/dev/null ||
  fail "the VST scanner wrote no cache entry for Korvalex (log: $work/scan.log)"
echo "scanned korvalex.so into Ardour's cache ($(since "$t"))"

t=$(now)
signal=$("$compare" signal "$work/input-left.wav" "$work/input-right.wav") || fail "cannot write the test input"
frames=$(awk '$1 == "frames" { print $2 }' <<<"$signal")
[ -n "$frames" ] || fail "unexpected output from korvalex-host-compare signal: $signal"
echo "wrote the test input: $frames frames at 44100 Hz ($(since "$t"))"

t=$(now)
run_ardour "$work/create-session.log" "$here/ardour/create-session.lua" "$work/template/$session_name" "$session_name"
[ -f "$work/template/$session_name/$session_name.ardour" ] || fail "Ardour saved no session (log: $work/create-session.log)"
echo "created the session ($(since "$t"))"

failures=0
for p in "${programs[@]}"; do
  t=$(now)
  dir=$work/program-$p
  mkdir -p "$dir/out"
  cp -a "$work/template/$session_name" "$dir/"
  audio=$dir/$session_name/interchange/$session_name/audiofiles
  mkdir -p "$audio"
  cp "$work/input-left.wav" "$work/input-right.wav" "$audio/"
  run_ardour "$dir/render.log" "$here/ardour/render-program.lua" "$dir/$session_name" "$session_name" \
    input-left.wav input-right.wav "$frames" "$p" "$dir/out"
  [ -f "$dir/out/bounced.txt" ] || fail "Ardour bounced nothing for program $p (log: $dir/render.log)"
  mapfile -t bounced <"$dir/out/bounced.txt"
  [ ${#bounced[@]} -eq 2 ] || fail "Ardour bounced ${#bounced[@]} files for program $p, not 2"
  render_time=$(since "$t")

  t=$(now)
  status=0
  "$compare" compare --plugin "$plugin" --program "$p" --block "$bounce_block" \
    --input "$work/input-left.wav" --input "$work/input-right.wav" \
    --rendered "${bounced[0]}" --rendered "${bounced[1]}" \
    --host-values "$dir/out/host-values.txt" --write-reference "$dir/out/reference" || status=$?
  echo "  (Ardour render $render_time, comparison $(since "$t"))"
  case $status in
    0) ;;
    1) failures=$((failures + 1)) ;;
    *) fail "korvalex-host-compare could not compare program $p (status $status)" ;;
  esac
done

echo "run-ardour: ${#programs[@]} programs, $failures failed, $(since "$start") in all"
[ $failures -eq 0 ] || fail "the Ardour render differs from the reference for $failures program(s)"
echo "run-ardour: PASS"
