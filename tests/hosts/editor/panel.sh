# shellcheck shell=bash
# Sourced by the editor scripts of the host tests (after desktop.sh): finds the front panel
# in a host's windows, checks that it shows what korvalex-host shows, uses it as a person
# would, and checks what the host saved and how it quit. The caller defines fail MESSAGE.
# (The small functions defined inside others are conditions for wait_until.)
# shellcheck disable=SC2317
#
# Rectangles are left top right bottom in editor coordinates, from editor/EditorLayout.cpp.
readonly PANEL_WIDTH=899 PANEL_HEIGHT=421
readonly WHOLE_PANEL=(0 0 899 421)
readonly LOGO=(286 110 613 182)              # the splash hot spot: the logo on the amp page
readonly POWER_SWITCH=(87 278 113 317)       # parameter 0, amp page
readonly AMP_PAGE_SWITCH=(128 278 154 317)   # parameter 52, amp page
readonly COMP_SWITCH=(98 238 130 269)        # parameter 25 "Comp Bypass", effects page
readonly EFFECTS_PAGE_SWITCH=(767 88 793 127) # parameter 52, effects page
readonly DRIVE_KNOB=(656 264 723 331)        # parameter 9, amp page
# Knobs drag linearly, 200 pixels for the whole range: 40 pixels up add 0.2.
readonly DRIVE_DRAG=40

# Fails unless the commands (host and desktop tools) and BUILD's plug-in and korvalex-host
# are there.
editor_prerequisites() {
  local build=$1 tool
  shift
  for tool in "$@" Xvfb xdotool xwininfo import compare; do
    command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-host-deps.sh"
  done
  [ -f "$build/korvalex.so" ] || fail "$build/korvalex.so is missing: build the project in $build first"
  [ -x "$build/korvalex-host" ] || fail "$build/korvalex-host is missing: build the project in $build first"
}

# Waits for exactly one viewable 899 x 421 window inside a top-level window whose
# `xwininfo -tree` line matches PATTERN; sets EDITOR and its screen origin EDITOR_X, EDITOR_Y.
# With a third argument "nested", the host may wrap the panel in windows of its size (LV2
# hosts embed it through a toolkit's socket): the windows found must then form one chain,
# each inside the one before, and the innermost is the panel.
find_panel() {
  local pattern=$1 seconds=$2 nesting=${3:-} found
  panel_found() {
    if [ "$nesting" = nested ]; then
      found=$(windows_inside "$pattern" "$PANEL_WIDTH" "$PANEL_HEIGHT" depth |
        awk 'NR > 1 && $1 <= depth { exit 1 } { depth = $1; last = $2 } END { if (last) print last }') || return 1
    else
      found=$(windows_inside "$pattern" "$PANEL_WIDTH" "$PANEL_HEIGHT")
    fi
    [ -n "$found" ] && [ "$(wc -l <<<"$found")" -eq 1 ]
  }
  wait_until "$seconds" "one ${PANEL_WIDTH} x ${PANEL_HEIGHT} window in the host's window \"$pattern\"" panel_found ||
    fail "the panel did not appear in the host's window (windows: $(window_info -root -tree | grep -c 0x))"
  EDITOR=$found
  read -r EDITOR_X EDITOR_Y < <(window_origin "$EDITOR")
}

# korvalex-host's picture of the panel of the same plug-in file, on the same display
# (further arguments are korvalex-host's options, such as --program N).
reference_picture() {
  local build=$1 picture=$2
  shift 2
  timeout 60 "$build/korvalex-host" --editor --time 0 "$@" --screenshot "$picture" "$build/korvalex.so" >/dev/null ||
    fail "korvalex-host could not take the reference picture of the panel"
}

# Waits until the logo is painted, then until the whole panel is as in the reference
# (both show factory program 0 on the amp page; an exposure may come in pieces).
check_panel_shown() {
  local reference=$1 picture=$2
  shows() { capture_window "$EDITOR" "$picture" && same_region "$reference" "$picture" "$@"; }
  wait_until 30 "the panel's logo to be painted" shows "${LOGO[@]}" ||
    fail "the panel in the host's window does not show the logo (picture: $picture)"
  wait_until 10 "the whole panel to be painted" shows "${WHOLE_PANEL[@]}" ||
    fail "the panel in the host's window differs from korvalex-host's (pictures: $picture, $reference)"
}

# True when the editor's picture now differs from $PANEL_WORK/before.png in the region.
panel_changed() {
  capture_window "$EDITOR" "$PANEL_WORK/now.png" && ! same_region "$PANEL_WORK/before.png" "$PANEL_WORK/now.png" "$@"
}

centre_of() { echo "$((EDITOR_X + ($1 + $3) / 2)) $((EDITOR_Y + ($2 + $4) / 2))"; }

# Clicks the centre of a switch (WHAT, then its rectangle) and waits until the panel shows
# the change in the rectangle WATCHED (four more numbers; the switch itself if none).
click_switch() {
  local what=$1 left=$2 top=$3 right=$4 bottom=$5
  shift 5
  local watched=("$@")
  [ ${#watched[@]} -eq 4 ] || watched=("$left" "$top" "$right" "$bottom")
  capture_window "$EDITOR" "$PANEL_WORK/before.png" || fail "cannot take a picture of the panel"
  # shellcheck disable=SC2046
  xdo mousemove $(centre_of "$left" "$top" "$right" "$bottom") click 1 || fail "cannot click the $what"
  wait_until 20 "the panel to show the click on the $what" panel_changed "${watched[@]}" ||
    fail "the click on the $what changed nothing on the panel"
}

# Presses on the centre of a knob, moves the pointer PIXELS up, waits until the knob is
# redrawn by the drag, and releases.
drag_knob_up() {
  local what=$1 left=$2 top=$3 right=$4 bottom=$5 pixels=$6 x y
  read -r x y < <(centre_of "$left" "$top" "$right" "$bottom")
  capture_window "$EDITOR" "$PANEL_WORK/before.png" || fail "cannot take a picture of the panel"
  xdo mousemove "$x" "$y" mousedown 1 || fail "cannot press on the $what"
  xdo mousemove "$x" "$((y - pixels))" || fail "cannot drag the $what"
  wait_until 20 "the panel to show the $what turned" panel_changed "$left" "$top" "$right" "$bottom" ||
    { xdo mouseup 1; fail "dragging the $what changed nothing on the panel"; }
  xdo mouseup 1 || fail "cannot release the $what"
}

# The panel used as a person would: Power off, the effects page, the compressor on, back
# to the amp page, Drive up. The drag comes last, so no later press can reach the knob's
# tracking loop. The changes are those that check_saved_changes expects.
use_panel() {
  click_switch "Power switch" "${POWER_SWITCH[@]}"
  click_switch "amp page's page switch" "${AMP_PAGE_SWITCH[@]}" "${WHOLE_PANEL[@]}"
  click_switch "compressor switch" "${COMP_SWITCH[@]}"
  capture_window "$EDITOR" "$PANEL_WORK/effects-page.png"
  click_switch "effects page's page switch" "${EFFECTS_PAGE_SWITCH[@]}" "${WHOLE_PANEL[@]}"
  drag_knob_up "Drive knob" "${DRIVE_KNOB[@]}" "$DRIVE_DRAG"
  capture_window "$EDITOR" "$PANEL_WORK/after.png"
}

# Compares the parameter values that the host saved before and after use_panel (files of
# "index value" lines): Power 1 -> 0, Comp Bypass 0 -> 1, Drive up by 0.2 (one pixel is
# 0.005), every other value, the page selector included, as it was.
check_saved_changes() {
  local before=$1 after=$2
  awk '
    NR == FNR { old[$1] = $2; oldCount++; next }
    { new[$1] = $2; newCount++ }
    END {
      want[0] = 0; want[25] = 1; want[9] = old[9] + 0.2; tolerance[9] = 0.006
      bad = 0
      if (oldCount != 53 || newCount != 53) { printf "expected 53 values before and after, got %d and %d\n", oldCount, newCount; exit 1 }
      for (i = 0; i < 53; i++) {
        if (!(i in old) || !(i in new)) { printf "parameter %d missing\n", i; bad = 1; continue }
        expected = (i in want) ? want[i] : old[i]
        limit = (i in tolerance) ? tolerance[i] : 1e-6
        difference = new[i] - expected
        if (difference < 0) difference = -difference
        if (i in want) printf "  parameter %2d: %s -> %s (expected %s)\n", i, old[i], new[i], expected
        if (difference > limit) { printf "parameter %d is %s, expected %s\n", i, new[i], expected; bad = 1 }
      }
      exit bad
    }' "$before" "$after"
}

# Fails when the host's log reports a crash, an X error or an error about the plug-in.
check_host_log() {
  local log=$1 lines
  lines=$(grep -n -i -E 'segmentation|aborted|core dumped|terminate called|X Error|X Window System error|Bad(Window|Drawable|Match|Access|Alloc)|\[ERROR\]|(korvalex|vst).*(error|fail|crash|cannot|unable)|(error|fail|crash|cannot|unable).*korvalex' "$log" || true)
  [ -z "$lines" ] || fail "the host logged errors (log: $log):
$lines"
}

# After the host has quit: no window is left on the private display.
check_no_window_left() {
  local left
  left=$(top_level_windows)
  [ -z "$left" ] || fail "windows are left on the display after the host quit: $(window_info -root -tree)"
}

# Sends the host's save keys to WINDOW and waits until FILE has been rewritten completely
# (changed, and ending in the line CLOSING, the document's closing tag).
save_with_keys() {
  local window=$1 keys=$2 file=$3 closing=$4 old
  old=$(md5sum <"$file")
  saved() { [ "$(md5sum <"$file")" != "$old" ] && [ "$(tail -n 1 "$file" | tr -d '[:space:]')" = "$closing" ]; }
  keys_to "$window" "$keys" || fail "cannot send $keys to the host's window"
  wait_until 60 "the host to save $file" saved || fail "the host did not save $file after $keys"
}

# Waits until HOST (its name; the background job PID), told to quit, has ended, and checks
# that it ended cleanly: status 0, no crash or error about the plug-in in its LOG, and no
# window left on the display.
check_clean_quit() {
  local host=$1 pid=$2 log=$3 status=0
  host_ended() { ! kill -0 "$pid" 2>/dev/null; }
  unset WATCHED_PID  # the host is told to quit: its end is what is waited for now
  wait_until 60 "$host to quit" host_ended || fail "$host did not quit within 60 s"
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "$host exited with status $status (log: $log)"
  check_host_log "$log"
  check_no_window_left
}
