#!/bin/bash
# Proves the front panel in Ardour 7's GUI (Debian's `ardour`, Dummy audio backend) on a
# private Xvfb: a session whose saved GUI state shows the plug-in's window makes Ardour
# open the editor at load; the panel must appear in Ardour's window as korvalex-host shows
# it; clicks on switches and a drag on a knob must change the values that Ardour saves in
# the session; and quitting with the panel open must end Ardour cleanly, with no error
# about the plug-in logged and no window left on the display. With --lv2 the plug-in is
# the LV2 bundle (from BUILD_DIR/lv2-bundles), its panel the LV2 UI, which Ardour embeds
# in its window and feeds through port events; the panel must look and act the same.
#
# usage: tests/hosts/run-ardour-editor.sh [--lv2] BUILD_DIR
#   BUILD_DIR holds korvalex.so, korvalex-host and the LV2 bundle (built by CMake).
# Run as root (for the private mount namespace), after scripts/install-host-deps.sh.
# Everything the run writes goes to BUILD_DIR/ardour-editor-test (ardour-editor-test-lv2
# with --lv2; kept for inspection).
# Exit status 0 when every check passes, 1 otherwise.
#
# Environment: KORVALEX_ARDOUR_TIMEOUT seconds allowed for each Ardour call (default 120).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "run-ardour-editor: FAIL: $*" >&2
  exit 1
}

format=vst
if [ "${1:-}" = --lv2 ]; then
  format=lv2
  shift
fi
[ $# -eq 1 ] || { echo "usage: $0 [--lv2] BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" 2>/dev/null && pwd) || fail "no build folder $1"

source "$here/common.sh"
source "$here/ardour/environment.sh"
source "$here/editor/desktop.sh"
source "$here/editor/panel.sh"
session_name=korvalex-editor

# --- prerequisites ----------------------------------------------------------------------
ardour_prerequisites
editor_prerequisites "$build" /usr/bin/ardour
[ $format = vst ] || [ -f "$build/lv2-bundles/korvalex.lv2/manifest.ttl" ] ||
  fail "the LV2 bundle is missing: build the project in $build first"
ardour_isolation

work=$build/ardour-editor-test
[ $format = vst ] || work=$build/ardour-editor-test-lv2
rm -rf "$work"
ardour_private_home "$work"
PANEL_WORK=$work/pictures
mkdir -p "$PANEL_WORK"
session=$work/$session_name/$session_name.ardour

host_pid=
cleanup() {
  if [ -n "$host_pid" ] && kill -0 "$host_pid" 2>/dev/null; then
    kill "$host_pid" 2>/dev/null || true
    wait "$host_pid" 2>/dev/null || true
  fi
  stop_private_x_server
}
trap cleanup EXIT

start=$(now)

# --- the session, Ardour's configuration and the display ---------------------------------
t=$(now)
if [ $format = vst ]; then
  ardour_scan_plugin "$build/korvalex.so" "$work"
else
  export LV2_PATH=$build/lv2-bundles
fi
run_ardour_lua "$work/create-session.log" "$here/ardour/create-session.lua" "$work/$session_name" "$session_name" \
  editor-shown "$format"
grep -q '<Window name="P-[0-9]*-[0-9]*" visible="1"' "$session" || fail "the session does not show the plug-in's window"
# The user configuration selects the Dummy backend and starts it without the Audio/MIDI
# dialog; the marker file tells Ardour that its first-run wizard has been seen.
mkdir -p "$XDG_CONFIG_HOME/ardour7"
cp "$here/ardour/config.xml" "$XDG_CONFIG_HOME/ardour7/config"
touch "$XDG_CONFIG_HOME/ardour7/.a7"
start_private_x_server "$work/xvfb.log" || fail "Xvfb did not start (log: $work/xvfb.log)"
reference_picture "$build" "$PANEL_WORK/reference.png"
echo "scanned the plug-in, created the session, started Xvfb on $DISPLAY ($(since "$t"))"

# --- Ardour opens the session and the panel ---------------------------------------------
t=$(now)
log=$work/ardour.log
timeout -k 10 "$ARDOUR_TIMEOUT" "${ISOLATE[@]}" /usr/bin/ardour --no-splash --no-announcements "$session" >"$log" 2>&1 &
host_pid=$!
WATCHED_PID=$host_pid
# The LV2 panel is embedded through a toolkit socket: windows of its size around it.
find_panel '"guitar: Korvalex' 90 "$([ $format = lv2 ] && echo nested)"
check_panel_shown "$PANEL_WORK/reference.png" "$PANEL_WORK/shown.png"
main_window=$(top_level_named "\"\\*?$session_name - Ardour\"") || fail "Ardour's main window is not shown"
echo "Ardour shows the panel ($EDITOR at $EDITOR_X,$EDITOR_Y) as korvalex-host does ($(since "$t"))"

# --- the panel used, the session saved before and after -------------------------------
# The VST plug-in's values are <lxvst><parameters param-N="..."/>; the LV2 plug-in's are
# <lv2><Port symbol=... value=.../> in the order of the ports, parameters first.
ardour_values() {
  if [ $format = vst ]; then
    grep -o 'param-[0-9]*="[^"]*"' "$1" | sed -E 's/param-([0-9]+)="([^"]*)"/\1 \2/'
  else
    grep -o '<Port symbol="[^"]*" value="[^"]*"' "$1" | sed -E 's/.* value="([^"]*)"/\1/' | awk '{ print NR - 1, $1 }'
  fi
}
t=$(now)
save_with_keys "$main_window" ctrl+s "$session" '</Session>'
ardour_values "$session" >"$work/values-before.txt"
use_panel
save_with_keys "$main_window" ctrl+s "$session" '</Session>'
ardour_values "$session" >"$work/values-after.txt"
check_saved_changes "$work/values-before.txt" "$work/values-after.txt" ||
  fail "the session does not hold the changes made on the panel (values: $work/values-*.txt)"
echo "the panel's changes are in the saved session ($(since "$t"))"

# --- quitting with the panel open ------------------------------------------------------
t=$(now)
keys_to "$main_window" ctrl+q || fail "cannot send ctrl+q to Ardour"
check_clean_quit Ardour "$host_pid" "$log"
host_pid=
echo "Ardour quit with the panel open: status 0, no error logged, no window left ($(since "$t"))"

echo "run-ardour-editor: PASS ($format, $(since "$start") in all; pictures in $PANEL_WORK)"
