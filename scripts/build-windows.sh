#!/bin/bash
# Cross-builds the Windows plug-ins with mingw-w64: build-win32/korvalex.dll (32-bit) and
# build-win64/korvalex.dll (64-bit), each with the Windows korvalex-host, korvalex-compare,
# the other tools that build for Windows and the test executables beside it. FFTW is
# cross-compiled first from Debian's source package (scripts/build-fftw.sh, once per build
# folder).
#
#   scripts/build-windows.sh [--jobs N] [32] [64]     (both when neither is named)
#
# Needs the packages of scripts/install-deps.sh. When wine is installed, the build folders
# are configured to run their tests through it (ctest in the folder then runs under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

jobs=$(nproc 2>/dev/null || echo 2)
arches=()
while [ $# -gt 0 ]; do
    case "$1" in
        --jobs) jobs="${2:?--jobs needs a number}"; shift 2 ;;
        32|64) arches+=("$1"); shift ;;
        -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "build-windows: unexpected argument $1" >&2; exit 2 ;;
    esac
done
[ ${#arches[@]} -gt 0 ] || arches=(32 64)

# Wine's loader for the word size: Debian installs them as /usr/lib/wine/wine (32-bit) and
# /usr/lib/wine/wine64; elsewhere `wine` on the path chooses.
wine_for() {
    local loader=/usr/lib/wine/wine
    [ "$1" = 64 ] && loader=/usr/lib/wine/wine64
    if [ -x "$loader" ]; then echo "$loader"; else command -v wine || true; fi
}

elapsed() { echo "$(( $(date +%s) - $1 )) s"; }

for bits in "${arches[@]}"; do
    case "$bits" in
        32) triple=i686-w64-mingw32 ;;
        64) triple=x86_64-w64-mingw32 ;;
    esac
    dir="$root/build-win$bits"
    mkdir -p "$dir"
    emulator=()
    loader=$(wine_for "$bits")
    [ -z "$loader" ] || emulator=(-DCMAKE_CROSSCOMPILING_EMULATOR="$loader")

    start=$(date +%s)
    if [ ! -f "$dir/third_party/lib/libfftw3f.a" ]; then
        echo "-- FFTW for $triple (log: $dir/fftw-build.log)"
        if ! scripts/build-fftw.sh --host "$triple" --jobs "$jobs" "$dir/third_party" >"$dir/fftw-build.log" 2>&1; then
            tail -n 30 "$dir/fftw-build.log" >&2
            echo "build-windows: FFTW for $triple failed" >&2
            exit 1
        fi
        echo "-- FFTW for $triple: $(elapsed "$start")"
    fi

    start=$(date +%s)
    cmake -S "$root" -B "$dir" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/$triple.cmake" \
        -DCMAKE_BUILD_TYPE=Release \
        -DKORVALEX_WERROR=ON \
        -DKORVALEX_BUILD_BENCH=OFF \
        -DKORVALEX_FFTW_ROOT="$dir/third_party" \
        "${emulator[@]}" >"$dir/configure.log" 2>&1 || { cat "$dir/configure.log" >&2; exit 1; }
    # Everything the project builds for Windows; native-only tools leave themselves out.
    cmake --build "$dir" -j"$jobs"
    echo "-- $triple build: $(elapsed "$start") -> $dir/korvalex.dll"
done
