#!/bin/bash
# Proves the LV2 bundle in jalv (Debian's `jalv`, an LV2 host on JACK) on a private JACK
# server (`jackd` on its dummy driver) and a private Xvfb:
#   - jalv lists the bundle's 82 presets under the factory programs' names;
#   - jalv.gtk3 shows the panel in its window as korvalex-host shows the VST plug-in's, and,
#     started with a preset, as korvalex-host shows that program;
#   - a click on the panel reaches the plug-in: on the effects page, the gate switch turned
#     on makes the DSP's gate meter (an output port jalv prints) leave 1, as the gate closes
#     on the silence JACK's dummy driver plays;
#   - jalv.gtk3 quits (ctrl+q) with the panel open: status 0, no X error, no window left.
#
# usage: tests/hosts/run-jalv.sh BUILD_DIR
#   BUILD_DIR holds the bundle (lv2-bundles/korvalex.lv2), korvalex.so, korvalex-host and
#   korvalex-render (all built by CMake).
# Run after scripts/install-host-deps.sh. Everything the run writes goes to
# BUILD_DIR/jalv-test (kept for inspection), except what jackd keeps in /dev/shm.
# Exit status 0 when every check passes, 1 otherwise.
#
# Environment: KORVALEX_JALV_TIMEOUT seconds allowed for each jalv run (default 120).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "run-jalv: FAIL: $*" >&2
  exit 1
}

[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" 2>/dev/null && pwd) || fail "no build folder $1"

source "$here/common.sh"
source "$here/editor/desktop.sh"
source "$here/editor/panel.sh"
timeout_seconds=${KORVALEX_JALV_TIMEOUT:-120}
uri=urn:zarelworks:korvalex
preset_program=47  # "Fuzz": bank B, other knobs and amplifier than program 0
readonly GATE_SWITCH=(457 238 489 269)  # parameter 32 "Gate Bypass", effects page

# --- prerequisites ----------------------------------------------------------------------
editor_prerequisites "$build" jalv jalv.gtk3 jackd jack_wait
[ -f "$build/lv2-bundles/korvalex.lv2/manifest.ttl" ] || fail "the bundle is missing: build the project in $build first"
[ -x "$build/korvalex-render" ] || fail "$build/korvalex-render is missing: build the project in $build first"

work=$build/jalv-test
rm -rf "$work"
private_home "$work"
export LV2_PATH=$build/lv2-bundles
PANEL_WORK=$work/pictures
mkdir -p "$PANEL_WORK"

# ctrl+q to jalv's window, with the pointer on its menu bar: X gives the keys to the
# window under the pointer inside the focused one, and the panel takes keys too.
quit_jalv() {
  local x y
  read -r x y < <(window_origin "$main_window")
  xdo mousemove "$((x + 5))" "$((y + 5))" || fail "cannot move the pointer to jalv's menu bar"
  keys_to "$main_window" ctrl+q || fail "cannot send ctrl+q to jalv"
}

host_pid=
cleanup() {
  if [ -n "$host_pid" ] && kill -0 "$host_pid" 2>/dev/null; then
    kill "$host_pid" 2>/dev/null || true
    wait "$host_pid" 2>/dev/null || true
  fi
  stop_private_jack_server
  stop_private_x_server
}
trap cleanup EXIT

start=$(now)

# --- the JACK server and the display ---------------------------------------------------
t=$(now)
start_private_jack_server "$work" "$((3 * timeout_seconds + 60))" ||
  fail "the JACK server did not start (log: $work/jackd.log)"
start_private_x_server "$work/xvfb.log" || fail "Xvfb did not start (log: $work/xvfb.log)"
reference_picture "$build" "$PANEL_WORK/reference.png"
reference_picture "$build" "$PANEL_WORK/reference-program-$preset_program.png" --program "$preset_program"
echo "started JACK ($JACK_DEFAULT_SERVER, dummy driver) and Xvfb on $DISPLAY ($(since "$t"))"

# --- the preset list --------------------------------------------------------------------
# jalv's console host answers `presets` with "URI (label)" lines; each label starts with the
# program's name as VST hosts see it (cut to 23 characters there).
t=$(now)
printf 'presets\n' | timeout "$timeout_seconds" jalv "$uri" >"$work/presets.log" 2>"$work/presets.err" ||
  fail "jalv could not list the presets (log: $work/presets.log)"
"$build/korvalex-render" --list-programs >"$work/programs.txt" || fail "korvalex-render cannot list the programs"
listed=$(grep -c "^\(> \)\?$uri:preset:[0-9]* (" "$work/presets.log" || true)
[ "$listed" -eq 82 ] || fail "jalv lists $listed presets, not 82 (log: $work/presets.log)"
while read -r number name; do
  grep -qF "$uri:preset:$number ($name" "$work/presets.log" ||
    fail "jalv lists no preset $number named \"$name\" (log: $work/presets.log)"
done < <(sed -E 's/^ *([0-9]+)[* ]+/\1 /' "$work/programs.txt")
echo "jalv lists the 82 presets with the programs' names ($(since "$t"))"

# --- the panel in jalv.gtk3 -------------------------------------------------------------
t=$(now)
log=$work/jalv-gtk3.log
timeout -k 10 "$timeout_seconds" jalv.gtk3 --print-controls "$uri" >"$log" 2>&1 &
host_pid=$!
WATCHED_PID=$host_pid
find_panel '"Korvalex": [(]"jalv' 60 nested
check_panel_shown "$PANEL_WORK/reference.png" "$PANEL_WORK/shown.png"
main_window=$(top_level_named '"Korvalex": [(]"jalv') || fail "jalv's window is not shown"
echo "jalv.gtk3 shows the panel ($EDITOR at $EDITOR_X,$EDITOR_Y) as korvalex-host does ($(since "$t"))"

# --- a click reaches the plug-in --------------------------------------------------------
t=$(now)
gate_meter_moved() { grep -q '^gate_meter = 0\.' "$log"; }
gate_meter_moved && fail "the gate meter is below 1 before the gate is on (log: $log)"
click_switch "amp page's page switch" "${AMP_PAGE_SWITCH[@]}" "${WHOLE_PANEL[@]}"
click_switch "gate switch" "${GATE_SWITCH[@]}"
wait_until 20 "the plug-in's gate meter to leave 1" gate_meter_moved ||
  fail "the click on the gate switch did not reach the plug-in (log: $log)"
capture_window "$EDITOR" "$PANEL_WORK/after.png"
echo "the click on the gate switch reached the plug-in: $(grep -m1 '^gate_meter = 0\.' "$log") ($(since "$t"))"

t=$(now)
quit_jalv
check_clean_quit jalv.gtk3 "$host_pid" "$log"
host_pid=
echo "jalv.gtk3 quit with the panel open: status 0, no error logged, no window left ($(since "$t"))"

# --- a preset chosen: the panel shows the program ---------------------------------------
t=$(now)
log=$work/jalv-gtk3-preset.log
timeout -k 10 "$timeout_seconds" jalv.gtk3 --preset "$uri:preset:$preset_program" "$uri" >"$log" 2>&1 &
host_pid=$!
WATCHED_PID=$host_pid
# jalv names the preset chosen in its window's title.
find_panel '"Korvalex - Fuzz": [(]"jalv' 60 nested
check_panel_shown "$PANEL_WORK/reference-program-$preset_program.png" "$PANEL_WORK/shown-program-$preset_program.png"
main_window=$(top_level_named '"Korvalex - Fuzz": [(]"jalv') || fail "jalv's window is not shown"
quit_jalv
check_clean_quit jalv.gtk3 "$host_pid" "$log"
host_pid=
echo "with preset $preset_program chosen, jalv.gtk3 shows the panel as korvalex-host shows program $preset_program ($(since "$t"))"

stop_private_jack_server
echo "run-jalv: PASS ($(since "$start") in all; pictures in $PANEL_WORK)"
