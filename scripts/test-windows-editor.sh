#!/bin/bash
# The Windows window layer under Wine on a private Xvfb: the window tests of a Windows
# build folder (the test plug-in's editor opened by korvalex-host's library, screenshots,
# presses and a TrackPopupMenu choice through synthesized input). Called by
# scripts/test-windows.sh, whose Wine prefix (WINEPREFIX...) it uses; ctest runs the tests
# through the folder's Wine loader.
#
#   scripts/test-windows-editor.sh BUILD_DIR
set -euo pipefail
dir=${1:?build folder}
wineserver_bin=/usr/lib/wine/wineserver
[ -x "$wineserver_bin" ] || wineserver_bin=$(command -v wineserver)

# A display number chosen by the server itself, so that no other display is touched.
exec {numberfd}< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null & echo "pid $!")
read -r _ xvfb <&"$numberfd"
read -r display <&"$numberfd" || true
cleanup() { kill "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT
if [ -z "$display" ]; then
    echo "Xvfb did not start"
    exit 1
fi

# Wine's desktop process keeps the display it started with: let any earlier one end.
"$wineserver_bin" -w
export DISPLAY=":$display" KORVALEX_DISPLAY_TESTS=1
status=0
log="$dir/test-window.log"
(cd "$dir" && ctest -R '^test_window$' -V) >"$log" 2>&1 || status=1
grep -E '^[0-9]+: \[ +(OK|FAILED|SKIPPED) +\]' "$log" | sed 's/^[0-9]*: //' || true
if grep -q '\[  SKIPPED \]' "$log"; then
    echo "FAIL: window tests were skipped although a display was given"
    status=1
fi
[ $status -eq 0 ] || tail -n 60 "$log"

# korvalex-host.exe --editor as a person uses it: a click and a screenshot.
loader=$(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:[A-Z]*=//p' "$dir/CMakeCache.txt")
[ -n "$loader" ] || loader=$(command -v wine)
shot="$dir/korvalex-host-editor.png"
rm -f "$shot"
if (cd "$dir" && "$loader" korvalex-host.exe --editor --time 0 --click 50,130 --screenshot korvalex-host-editor.png \
        korvalex_test_scene.dll) && [ "$(head -c 4 "$shot" | tail -c 3)" = PNG ]; then
    echo "korvalex-host.exe --editor: screenshot in $shot"
else
    echo "FAIL: korvalex-host.exe --editor did not show the editor or save its screenshot"
    status=1
fi
"$wineserver_bin" -k 2>/dev/null || true
exit $status
