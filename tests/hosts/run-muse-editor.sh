#!/bin/bash
# Proves the front panel in MusE 4 (Debian's `muse`) on a private JACK server (`jackd` on
# its dummy driver) and a private Xvfb: a song whose plug-in has its own editor marked
# shown makes MusE open the editor at load; the panel must appear in MusE's window as
# korvalex-host shows it; clicks on switches and a drag on a knob must change the values
# that MusE saves in the song; and quitting with the panel open must end MusE cleanly, with
# no error about the plug-in logged and no window left on the display.
#
# usage: tests/hosts/run-muse-editor.sh BUILD_DIR
#   BUILD_DIR holds korvalex.so and korvalex-host (both built by CMake).
# Run after scripts/install-host-deps.sh. Everything the run writes goes to
# BUILD_DIR/muse-editor-test (kept for inspection), except what jackd keeps in /dev/shm
# (and Xvfb's socket and lock file while it runs).
# Exit status 0 when every check passes, 1 otherwise.
#
# Environment: KORVALEX_MUSE_TIMEOUT seconds allowed for MusE (default 120; the JACK
# server gets a minute more).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "run-muse-editor: FAIL: $*" >&2
  exit 1
}

[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" 2>/dev/null && pwd) || fail "no build folder $1"

source "$here/common.sh"
source "$here/editor/desktop.sh"
source "$here/editor/panel.sh"
timeout_seconds=${KORVALEX_MUSE_TIMEOUT:-120}
song_name=korvalex-editor

# --- prerequisites ----------------------------------------------------------------------
editor_prerequisites "$build" muse jackd jack_wait

# --- a private MusE configuration, plug-in folders and JACK server name -----------------
work=$build/muse-editor-test
rm -rf "$work"
private_home "$work"
mkdir -p "$XDG_CONFIG_HOME/MusE/MusE" "$work/vst" "$work/empty" "$work/song"
export LXVST_PATH=$work/vst
export LADSPA_PATH=$work/empty DSSI_PATH=$work/empty LV2_PATH=$work/empty VST_PATH=$work/empty
PANEL_WORK=$work/pictures
mkdir -p "$PANEL_WORK"
song=$work/song/$song_name.med

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

# --- the song, MusE's configuration, the JACK server and the display -------------------
t=$(now)
cp "$build/korvalex.so" "$work/vst/korvalex.so"
cp "$here/muse/korvalex-editor.med" "$song"
cp "$here/muse/MusE-seq.cfg" "$XDG_CONFIG_HOME/MusE/MusE/MusE-seq.cfg"
start_private_jack_server "$work" "$((timeout_seconds + 60))" ||
  fail "the JACK server did not start (log: $work/jackd.log)"
start_private_x_server "$work/xvfb.log" || fail "Xvfb did not start (log: $work/xvfb.log)"
reference_picture "$build" "$PANEL_WORK/reference.png"
echo "started JACK ($JACK_DEFAULT_SERVER, dummy driver) and Xvfb on $DISPLAY ($(since "$t"))"

# --- MusE opens the song and the panel ---------------------------------------------------
# -J: never start a JACK server; -F: no MIDI ports of the machine; -p -S -I -2: no LADSPA,
# MESS, DSSI or LV2 plug-ins, so the Linux VST is the only plug-in loaded.
t=$(now)
log=$work/muse.log
timeout -k 10 "$timeout_seconds" muse -j -J -F -p -S -I -2 "$song" >"$log" 2>&1 &
host_pid=$!
WATCHED_PID=$host_pid
find_panel '"Out 1:Korvalex' 90
check_panel_shown "$PANEL_WORK/reference.png" "$PANEL_WORK/shown.png"
main_window=$(top_level_named "\"MusE Project: $song_name") || fail "MusE's main window is not shown"
echo "MusE shows the panel ($EDITOR at $EDITOR_X,$EDITOR_Y) as korvalex-host does ($(since "$t"))"

# --- the panel used, the song saved before and after ------------------------------------
# MusE saves the plug-in's values as <control> elements in the order of their indices.
muse_values() { grep -o '<control name="[^"]*" val="[^"]*"' "$1" | sed -E 's/.* val="([^"]*)"/\1/' | awk '{ print NR - 1, $1 }'; }
t=$(now)
save_with_keys "$main_window" ctrl+s "$song" '</muse>'
muse_values "$song" >"$work/values-before.txt"
use_panel
save_with_keys "$main_window" ctrl+s "$song" '</muse>'
muse_values "$song" >"$work/values-after.txt"
check_saved_changes "$work/values-before.txt" "$work/values-after.txt" ||
  fail "the song does not hold the changes made on the panel (values: $work/values-*.txt)"
grep -q '<nativegui>1</nativegui>' "$song" || fail "the saved song no longer shows the plug-in's editor"
echo "the panel's changes are in the saved song ($(since "$t"))"

# --- quitting with the panel open: File > Quit (it has no key binding) ------------------
t=$(now)
keys_to "$main_window" alt+f || fail "cannot open MusE's File menu"
wait_until 20 "MusE's File menu" popup_menu_shown || fail "MusE's File menu did not open"
xdo key q || fail "cannot choose Quit"
check_clean_quit MusE "$host_pid" "$log"
host_pid=
echo "MusE quit with the panel open: status 0, no error logged, no window left ($(since "$t"))"

stop_private_jack_server
echo "run-muse-editor: PASS ($(since "$start") in all; pictures in $PANEL_WORK)"
