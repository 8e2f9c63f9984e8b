#!/bin/bash
# Builds the 32-bit and 64-bit Windows plug-ins (scripts/build-windows.sh) and proves them:
#   1. each DLL imports system DLLs only and exports VSTPluginMain and main only;
#   2. under Wine, headless, in a private prefix (build-wine/prefix): the test suites
#      (dsp, plugin, and the end-to-end suite that loads the DLL through both entry
#      points), and korvalex-host.exe, whose report (identity, parameter names and
#      display texts, program names, a processed tone) must equal the Linux one;
#   3. every factory program renders the same test signal through the 32-bit DLL, the
#      64-bit DLL and the Linux plug-in within 1e-5 (relative RMS of the difference);
#   4. on a private Xvfb, the window tests and the front panel, whose screenshots must
#      equal the Linux plug-in's (scripts/test-windows-editor.sh).
# Before the Wine checks, tests/windows/i386_emulator_test.sh checks the emulator setup
# described below in a sandbox.
#
#   scripts/test-windows.sh [--native DIR] [--jobs N]
#
# --native DIR: the Linux build to compare with (default build/; korvalex.so,
# korvalex-host and korvalex-compare are built there if missing).
#
# 32-bit Windows programs need the machine to run 32-bit Linux programs (Wine's 32-bit
# half): natively, or through qemu's user-mode emulator, which scripts/install-deps.sh
# registers where the kernel cannot (scripts/setup-i386-emulator.sh). Where neither works,
# the 32-bit DLL gets the file checks only and the Wine checks are reported as skipped,
# with the reason; KORVALEX_REQUIRE_WIN32=1 (the default when CI=true) makes that a failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

native="$root/build"
jobs=$(nproc 2>/dev/null || echo 2)
while [ $# -gt 0 ]; do
    case "$1" in
        --native) native=$(realpath -m "${2:?--native needs a folder}"); shift 2 ;;
        --jobs) jobs="${2:?--jobs needs a number}"; shift 2 ;;
        -h|--help) sed -n '2,22p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "test-windows: unexpected argument $1" >&2; exit 2 ;;
    esac
done

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
stage_start=""
stage() {
    local now; now=$(date +%s)
    [ -z "$stage_start" ] || echo "   ($(( now - stage_start )) s)"
    stage_start=$now
    echo "== $* =="
}

stage "cross build"
scripts/build-windows.sh --jobs "$jobs"

stage "native build for comparison ($native)"
if [ ! -f "$native/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$native" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$native" -j"$jobs" --target korvalex korvalex-host korvalex-compare >/dev/null

# -- 1. Import and export tables -------------------------------------------------------
stage "import and export tables"
# DLLs every Windows installation has. The C runtime here is msvcrt.dll, which mingw-w64
# links against; the C++ runtime, libgcc, winpthreads and FFTW are linked in.
system_dlls=" kernel32.dll user32.dll gdi32.dll ole32.dll oleaut32.dll advapi32.dll shell32.dll
 comctl32.dll comdlg32.dll msimg32.dll msvcrt.dll ntdll.dll winmm.dll shlwapi.dll version.dll
 imm32.dll uxtheme.dll "
system_dlls=" $(echo $system_dlls) "  # one space between names, also where the lines break
check_dll_tables() {
    local dll=$1 format=$2 dump name exports
    dump=$(x86_64-w64-mingw32-objdump -p "$dll")
    if ! grep -q "file format $format" <<<"$dump"; then
        fail "$dll is not $format"
    fi
    while read -r name; do
        [ -n "$name" ] || continue
        case "$system_dlls" in
            *" ${name,,} "*) ;;
            *) fail "$dll imports $name, which is not a system DLL" ;;
        esac
    done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")
    # The export names follow the [Ordinal/Name Pointer] Table heading up to a blank line.
    exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
                   on && /^[[:space:]]*$/ { exit }
                   on { print $NF }' <<<"$dump" | sort | tr '\n' ' ')
    if [ "$exports" != "VSTPluginMain main " ]; then
        fail "$dll exports [$exports], expected [VSTPluginMain main ]"
    fi
    echo "$dll: $format; imports $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr '\n' ' '); exports $exports"
}
check_dll_tables build-win32/korvalex.dll pei-i386
check_dll_tables build-win64/korvalex.dll pei-x86-64
# A DLL with an editor (the window tests' plug-in): still system DLLs only.
check_dll_tables build-win32/korvalex_test_scene.dll pei-i386
check_dll_tables build-win64/korvalex_test_scene.dll pei-x86-64

# -- Wine -------------------------------------------------------------------------------
stage "the i386 emulator's setup, in a sandbox"
bash tests/windows/i386_emulator_test.sh || fail "the i386 emulator's setup misbehaves"

source scripts/wine-env.sh
wine_env_init "$root"
unset DISPLAY  # headless: console programs need no display

stage "Wine session ($WINEPREFIX)"
wine_session_start

# Can 32-bit Windows programs run here?
require_win32=${KORVALEX_REQUIRE_WIN32:-$([ "${CI:-}" = true ] && echo 1 || echo 0)}
arches=(64)
if why=$(wine_win32_check); then
    arches=(32 64)
elif [ "$require_win32" = 1 ]; then
    fail "32-bit Windows programs cannot run here, and KORVALEX_REQUIRE_WIN32=1:"
    echo "$why"
else
    echo "SKIPPED: 32-bit Windows programs cannot run here; the 32-bit DLL gets the import"
    echo "         and export checks only:"
    echo "$why"
fi

# -- 2. Test suites and korvalex-host under Wine ---------------------------------------
for bits in "${arches[@]}"; do
    stage "test suites under Wine, $bits-bit"
    (cd "build-win$bits" && ctest --output-on-failure -j"$jobs") || fail "a $bits-bit test suite failed under Wine"
done

# The host report without carriage returns and without the tone's levels, which the
# render comparison checks to a tolerance instead.
host_report() { tr -d '\r' | grep -v '^processed '; }
"$native/korvalex-host" --process 1 "$native/korvalex.so" | host_report >build-wine/host-linux.txt
for bits in "${arches[@]}"; do
    stage "korvalex-host.exe under Wine, $bits-bit"
    for entry in VSTPluginMain main; do
        out="build-wine/host-win$bits-$entry.txt"
        if ! (cd "build-win$bits" && "$(wine_loader "$bits")" korvalex-host.exe --entry "$entry" --process 1 korvalex.dll) \
            >"$out.raw" 2>&1; then
            fail "korvalex-host.exe ($bits-bit, $entry) failed:"; cat "$out.raw"
            continue
        fi
        if ! grep -q '^processed 1.00 s' "$out.raw"; then
            fail "korvalex-host.exe ($bits-bit, $entry) processed no audio"
        fi
        host_report <"$out.raw" >"$out"
        if diff -u build-wine/host-linux.txt "$out" >"$out.diff"; then
            echo "$bits-bit via $entry: identity, $(grep -c '^ *[0-9]' "$out") parameter and program lines equal the Linux plug-in's"
        else
            fail "korvalex-host.exe ($bits-bit, $entry) reports differently from Linux:"; head -40 "$out.diff"
        fi
    done
done

# -- 3. Every factory program, the same output everywhere --------------------------------
stage "factory programs rendered natively"
renders="$root/build-wine/renders"
rm -rf "$renders"
mkdir -p "$renders/linux"
"$native/korvalex-compare" render "$native/korvalex.so" "$renders/linux"
for bits in "${arches[@]}"; do
    stage "factory programs rendered under Wine, $bits-bit"
    mkdir -p "$renders/win$bits"
    # Paths relative to the build folder: Wine maps the Unix working folder for the program.
    (cd "build-win$bits" && "$(wine_loader "$bits")" korvalex-compare.exe render korvalex.dll "../build-wine/renders/win$bits") ||
        fail "rendering through the $bits-bit DLL failed"
    echo "-- $bits-bit DLL against the Linux plug-in:"
    "$native/korvalex-compare" diff --tolerance 1e-5 "$renders/linux" "$renders/win$bits" >"$renders/win$bits.txt" ||
        fail "the $bits-bit DLL and the Linux plug-in differ: see $renders/win$bits.txt"
    grep -v '^ok' "$renders/win$bits.txt" | head -90
done

# -- 4. The editors' windows, on a display of their own --------------------------------
# Wine's desktop keeps the display its server started with: the headless session ends
# first, and each word size gets a server on its own private Xvfb.
wine_session_stop
for bits in "${arches[@]}"; do
    stage "editor windows under Wine with Xvfb, $bits-bit"
    scripts/test-windows-editor.sh "build-win$bits" "$native" || fail "the $bits-bit window tests failed under Wine"
done

stage "done"
if [ "$failures" -ne 0 ]; then
    echo "Windows checks: $failures failed"
    [ -z "${why:-}" ] || echo "$why"
    exit 1
fi
echo "Windows checks: all passed (32-bit under Wine: $([ ${#arches[@]} = 2 ] && echo run || echo skipped))"
