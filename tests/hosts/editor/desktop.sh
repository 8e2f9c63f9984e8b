# shellcheck shell=bash
# Sourced by the editor scripts of the host tests: a private X server, the windows on it,
# pointer and key input through XTest (xdotool), and pictures of windows (ImageMagick).
# Every wait polls its condition with an upper bound; nothing waits a fixed time instead.
# Every tool call has a time limit too.

# Runs COMMAND... until it succeeds, polling every tenth of a second; after SECONDS it
# gives up, says what it waited for and fails. It fails at once when the process
# WATCHED_PID (if set: the host under test) has ended meanwhile.
wait_until() {
  local seconds=$1 what=$2
  shift 2
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    if ((SECONDS >= deadline)); then
      echo "timed out after $seconds s waiting for $what" >&2
      return 1
    fi
    if [ -n "${WATCHED_PID:-}" ] && ! kill -0 "$WATCHED_PID" 2>/dev/null; then
      echo "the host ended while waiting for $what" >&2
      return 1
    fi
    sleep 0.1
  done
}

# Starts Xvfb on a display number of the server's own choosing (so no other display is
# touched) and exports DISPLAY; sets XVFB_PID. Its messages go to LOG; SCREEN is the
# screen's size and depth (1600x1000x24). The server writes the number, once it accepts
# connections, into a pipe of its own: nothing else writes there, so a busy machine cannot
# put another line before it (a line of the shell's in a shared pipe became the display
# name now and then, and every X client failed).
start_private_x_server() {
  local log=$1 screen=${2:-1600x1000x24} pipe number=
  pipe=$(mktemp -u "${TMPDIR:-/tmp}/korvalex-display.XXXXXX")
  mkfifo -m 600 "$pipe" || return 1
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$pipe" 2>"$log" &
  XVFB_PID=$!
  read -r -t 30 number <"$pipe" || true
  rm -f "$pipe"
  if [[ ! $number =~ ^[0-9]+$ ]]; then
    stop_private_x_server
    return 1
  fi
  export DISPLAY=":$number"
}

stop_private_x_server() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}

# The top-level windows on the display, one id a line.
# xwininfo, limited in time.
window_info() { timeout 10 xwininfo "$@"; }

top_level_windows() {
  window_info -root -children 2>/dev/null | awk '$1 ~ /^0x/ { print $1 }'
}

is_viewable() {
  window_info -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'
}

# The viewable windows of WIDTH x HEIGHT anywhere inside a top-level window whose line in
# `xwininfo -tree` (its name and class) matches the extended regular expression PATTERN,
# in the tree's order. With a fourth argument "depth", each line is "DEPTH ID".
windows_inside() {
  local pattern=$1 width=$2 height=$3 with_depth=${4:-} depth id
  while read -r depth id; do
    if is_viewable "$id"; then
      if [ "$with_depth" = depth ]; then echo "$depth $id"; else echo "$id"; fi
    fi
  done < <(window_info -root -tree 2>/dev/null | awk -v pattern="$pattern" -v size="${width}x${height}+" '
      $1 ~ /^0x/ {
        indent = index($0, "0x")
        if (top == 0) top = indent
        if (indent == top) { inside = ($0 ~ pattern); next }
        if (inside && index($(NF - 1), size) == 1) print indent, $1
      }')
}

# The first viewable top-level window whose name matches the extended regular expression.
top_level_named() {
  local pattern=$1 id
  for id in $(window_info -root -tree 2>/dev/null | awk -v pattern="$pattern" '
      $1 ~ /^0x/ { indent = index($0, "0x"); if (top == 0) top = indent; if (indent == top && $0 ~ pattern) print $1 }'); do
    if is_viewable "$id"; then
      echo "$id"
      return 0
    fi
  done
  return 1
}

# True while a pop-up menu (a viewable override-redirect top-level window) is shown.
popup_menu_shown() {
  local id
  for id in $(top_level_windows); do
    window_info -id "$id" 2>/dev/null | grep -q 'Override Redirect State: yes' && is_viewable "$id" && return 0
  done
  return 1
}

# "X Y": the screen position of a window's top-left corner.
window_origin() {
  window_info -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x, y }'
}

# A picture of a window as it is on the screen. `import` given a window that is gone falls
# back to letting the user pick one and waits for a click: hence the check first.
capture_window() {
  is_viewable "$1" && timeout 20 import -window "$1" "png:$2" 2>/dev/null
}

# True when the region LEFT TOP RIGHT BOTTOM (right and bottom exclusive) is the same in
# two pictures, pixel for pixel.
same_region() {
  local a=$1 b=$2 left=$3 top=$4 right=$5 bottom=$6
  local crop="$((right - left))x$((bottom - top))+$left+$top"
  [ "$(timeout 20 compare -metric AE "${a}[$crop]" "${b}[$crop]" null: 2>&1)" = 0 ]
}

# XTest input through xdotool, each call limited in time.
xdo() { timeout 20 xdotool "$@"; }

# Keys (xdotool's names, e.g. ctrl+s) to a window, given the keyboard focus first.
keys_to() {
  local window=$1
  shift
  xdo windowfocus --sync "$window" && xdo key "$@"
}
