#!/bin/bash
# Proves the Linux plug-in in a third-party host: Ardour 7 (Debian's `ardour`, headless,
# Dummy audio backend) loads BUILD_DIR/korvalex.so as a Linux VST, selects a factory
# program and bounces a generated guitar recording through it; korvalex-host-compare then
# renders the same input through our own host library and checks that the two agree.
# With --lv2 Ardour loads the LV2 bundle instead (from BUILD_DIR/lv2-bundles) and selects
# the program's preset; the reference is still the VST plug-in's render.
#
# usage: tests/hosts/run-ardour.sh [--lv2] BUILD_DIR [PROGRAM...]
#   BUILD_DIR holds korvalex.so, korvalex-host-compare and the LV2 bundle (built by CMake).
#   PROGRAM   factory program numbers (default: 1 53 58).
# Run as root (for the private mount namespace), after scripts/install-host-deps.sh.
# Everything the run writes goes to BUILD_DIR/ardour-host-test (ardour-host-test-lv2 with
# --lv2; kept for inspection).
# Exit status 0 when every program agrees, 1 otherwise.
#
# Environment: KORVALEX_ARDOUR_TIMEOUT seconds allowed for each Ardour call (default 120).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "run-ardour: FAIL: $*" >&2
  exit 1
}

format=vst
if [ "${1:-}" = --lv2 ]; then
  format=lv2
  shift
fi
[ $# -ge 1 ] || { echo "usage: $0 [--lv2] BUILD_DIR [PROGRAM...]" >&2; exit 2; }
build=$(cd "$1" 2>/dev/null && pwd) || fail "no build folder $1"
shift
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=(1 53 58)
for p in "${programs[@]}"; do
  [[ "$p" =~ ^[0-9]+$ ]] || fail "not a program number: $p"
done

source "$here/common.sh"
source "$here/ardour/environment.sh"
plugin=$build/korvalex.so
compare=$build/korvalex-host-compare
session_name=korvalex-check
# Ardour bounces in chunks of 8192 frames whatever the engine's buffer size (1024 by
# default), telling the plug-in that block size first; the reference render uses the same.
bounce_block=8192

# --- prerequisites ----------------------------------------------------------------------
ardour_prerequisites
[ -f "$plugin" ] || fail "$plugin is missing: build the project in $build first"
[ -x "$compare" ] || fail "$compare is missing: build the project in $build first"
[ $format = vst ] || [ -f "$build/lv2-bundles/korvalex.lv2/manifest.ttl" ] ||
  fail "the LV2 bundle is missing: build the project in $build first"
ardour_isolation

# --- a private Ardour configuration, scan cache and plug-in folder -----------------------
work=$build/ardour-host-test
[ $format = vst ] || work=$build/ardour-host-test-lv2
rm -rf "$work"
ardour_private_home "$work"

start=$(now)

t=$(now)
if [ $format = vst ]; then
  ardour_scan_plugin "$plugin" "$work"
  echo "scanned korvalex.so into Ardour's cache ($(since "$t"))"
else
  export LV2_PATH=$build/lv2-bundles
  echo "the LV2 bundle is on LV2_PATH"
fi

t=$(now)
signal=$("$compare" signal "$work/input-left.wav" "$work/input-right.wav") || fail "cannot write the test input"
frames=$(awk '$1 == "frames" { print $2 }' <<<"$signal")
[ -n "$frames" ] || fail "unexpected output from korvalex-host-compare signal: $signal"
echo "wrote the test input: $frames frames at 44100 Hz ($(since "$t"))"

t=$(now)
run_ardour_lua "$work/create-session.log" "$here/ardour/create-session.lua" "$work/template/$session_name" "$session_name"
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
  run_ardour_lua "$dir/render.log" "$here/ardour/render-program.lua" "$dir/$session_name" "$session_name" \
    input-left.wav input-right.wav "$frames" "$p" "$dir/out" "$format"
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

echo "run-ardour: ${#programs[@]} programs ($format), $failures failed, $(since "$start") in all"
[ $failures -eq 0 ] || fail "the Ardour render differs from the reference for $failures program(s)"
echo "run-ardour: PASS"
