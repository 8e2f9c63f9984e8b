#!/bin/bash
# The Windows window layer under Wine on a private Xvfb: the window tests of a Windows
# build folder (the test plug-in's editor opened by korvalex-host's library, screenshots,
# presses and a TrackPopupMenu choice through synthesized input). Called by
# scripts/test-windows.sh, whose Wine prefix (WINEPREFIX...) it uses; ctest runs the tests
# through the folder's Wine loader.
#
# With a Linux build folder as well, the Korvalex front panel itself: korvalex-host.exe shows
# the DLL's editor at program 58 on both pages, reached by a scripted click on the page
# switch, at 100 % and at 200 % (the host's content scale), and the screenshots must equal
# those of the Linux plug-in byte for byte.
#
#   scripts/test-windows-editor.sh BUILD_DIR [NATIVE_BUILD_DIR]
set -euo pipefail
dir=${1:?build folder}
native=${2:-}
wineserver_bin=/usr/lib/wine/wineserver
[ -x "$wineserver_bin" ] || wineserver_bin=$(command -v wineserver)

# A display number chosen by the server itself, so that no other display is touched.
# Room for the panel at 200 % (1798 x 842) with the window's frame.
# shellcheck source=tests/hosts/editor/desktop.sh
source "$(dirname "$0")/../tests/hosts/editor/desktop.sh"
trap stop_private_x_server EXIT
if ! start_private_x_server /dev/null 2048x1280x24; then
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
# The front panel: the same settings and input on Linux and in the DLL under Wine, at
# 100 % and 200 % (where the page switch's centre, 141,297, is 282,594). The panels' own
# settings (a zoom chosen on them) stay out: a folder of nothing on Linux, the private
# prefix's own profile under Wine.
if [ -n "$native" ]; then
    for zoom in 100 200; do
        click=141,297
        [ "$zoom" = 200 ] && click=282,594
        panel_script=(--editor --zoom "$zoom" --program 58 --time 0 --screenshot "panel-amp-$zoom.png"
                      --click "$click" --screenshot "panel-effects-$zoom.png")
        rm -f "$dir"/panel-*-"$zoom".png "$native"/panel-*-"$zoom".png
        (cd "$native" && XDG_CONFIG_HOME="$native/test-settings" ./korvalex-host "${panel_script[@]}" korvalex.so \
            >"panel-linux-$zoom.txt") || { echo "FAIL: the Linux plug-in's panel did not open at $zoom %"; status=1; }
        (cd "$dir" && "$loader" korvalex-host.exe "${panel_script[@]}" korvalex.dll | tr -d '\r' \
            >"panel-windows-$zoom.txt") || { echo "FAIL: the DLL's panel did not open under Wine at $zoom %"; status=1; }
        for page in amp effects; do
            shot="panel-$page-$zoom.png"
            if [ -s "$native/$shot" ] && cmp -s "$native/$shot" "$dir/$shot"; then
                echo "front panel, $page page at $zoom %: the DLL draws the Linux plug-in's pixels"
            else
                echo "FAIL: front panel, $page page at $zoom %: $dir/$shot differs from $native/$shot"
                status=1
            fi
        done
        if ! grep -q '^parameter 52 ' "$dir/panel-windows-$zoom.txt"; then
            echo "FAIL: the click on the page switch did not reach the DLL's panel at $zoom %"
            status=1
        fi
        if [ "$zoom" = 200 ] && ! grep -q '^editor: 1798 x 842' "$dir/panel-windows-$zoom.txt"; then
            echo "FAIL: the DLL's panel did not take the host's content scale of 200 %"
            status=1
        fi
    done
fi

"$wineserver_bin" -k 2>/dev/null || true
exit $status
