#!/bin/bash
# The Windows window layer under Wine on a private Xvfb: the window tests of a Windows
# build folder (the test plug-in's editor opened by korvalex-host's library, screenshots,
# presses and a TrackPopupMenu choice through synthesized input). Called by
# scripts/test-windows.sh, whose Wine prefix (WINEPREFIX...) it uses; ctest runs the tests
# through the folder's Wine loader.
#
# With a Linux build folder as well, the Korvalex front panel itself: korvalex-host.exe shows
# the DLL's editor at program 58 on both pages, reached by a scripted click on the page
# switch, and the screenshots must equal those of the Linux plug-in byte for byte.
#
#   scripts/test-windows-editor.sh BUILD_DIR [NATIVE_BUILD_DIR]
set -euo pipefail
dir=${1:?build folder}
native=${2:-}
wineserver_bin=/usr/lib/wine/wineserver
[ -x "$wineserver_bin" ] || wineserver_bin=$(command -v wineserver)

# A display number chosen by the server itself, so that no other display is touched.
# shellcheck source=tests/hosts/editor/desktop.sh
source "$(dirname "$0")/../tests/hosts/editor/desktop.sh"
trap stop_private_x_server EXIT
if ! start_private_x_server /dev/null 1280x1024x24; then
    echo "Xvfb did not start"
    exit 1
fi

# Wine's desktop process keeps the display it started with: let any earlier one end.
"$wineserver_bin" -w
export KORVALEX_DISPLAY_TESTS=1
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
# The front panel: the same settings and input on Linux and in the DLL under Wine.
if [ -n "$native" ]; then
    panel_script=(--editor --program 58 --time 0 --screenshot panel-amp.png --click 141,297
                  --screenshot panel-effects.png)
    rm -f "$dir"/panel-*.png "$native"/panel-*.png
    (cd "$native" && ./korvalex-host "${panel_script[@]}" korvalex.so >panel-linux.txt) ||
        { echo "FAIL: the Linux plug-in's panel did not open"; status=1; }
    (cd "$dir" && "$loader" korvalex-host.exe "${panel_script[@]}" korvalex.dll | tr -d '\r' >panel-windows.txt) ||
        { echo "FAIL: the DLL's panel did not open under Wine"; status=1; }
    for page in amp effects; do
        if cmp -s "$native/panel-$page.png" "$dir/panel-$page.png"; then
            echo "front panel, $page page: the DLL draws the Linux plug-in's pixels"
        else
            echo "FAIL: front panel, $page page: $dir/panel-$page.png differs from $native/panel-$page.png"
            status=1
        fi
    done
    if ! grep -q '^parameter 52 ' "$dir/panel-windows.txt"; then
        echo "FAIL: the click on the page switch did not reach the DLL's panel"
        status=1
    fi
fi

"$wineserver_bin" -k 2>/dev/null || true
exit $status
