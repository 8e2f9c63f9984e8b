#!/usr/bin/env bash
# Builds FFTW 3 as a static, position-independent, single-precision library (libfftw3f.a)
# from Debian's own source package, for the native machine or for a cross host.
#
#   scripts/build-fftw.sh [--host TRIPLE] [--jobs N] PREFIX
#
#   PREFIX        install folder; receives lib/libfftw3f.a and include/fftw3.h
#                 (the sources are unpacked and built in PREFIX/src)
#   --host TRIPLE cross-build with the TRIPLE-gcc toolchain, e.g. i686-w64-mingw32 or
#                 x86_64-w64-mingw32 (packages g++-mingw-w64-i686 / g++-mingw-w64-x86-64)
#   --jobs N      parallel make jobs (default: number of processors)
#
# Fetching the source needs root: a deb-src entry is added next to the machine's own
# Debian archive entries if there is none, and dpkg-dev is installed if missing.
# Nothing is done when PREFIX already holds the library.
set -euo pipefail

usage() {
    sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'
    exit "${1:-2}"
}

host=""
jobs="$(nproc 2>/dev/null || echo 2)"
prefix=""
while [ $# -gt 0 ]; do
    case "$1" in
        --host) host="${2:?--host needs a triple}"; shift 2 ;;
        --host=*) host="${1#--host=}"; shift ;;
        --jobs) jobs="${2:?--jobs needs a number}"; shift 2 ;;
        --jobs=*) jobs="${1#--jobs=}"; shift ;;
        -h|--help) usage 0 ;;
        -*) echo "build-fftw: unknown option $1" >&2; usage ;;
        *) [ -z "$prefix" ] || usage; prefix="$1"; shift ;;
    esac
done
[ -n "$prefix" ] || usage
prefix="$(realpath -m "$prefix")"

if [ -f "$prefix/lib/libfftw3f.a" ] && [ -f "$prefix/include/fftw3.h" ]; then
    echo "build-fftw: $prefix/lib/libfftw3f.a is already there"
    exit 0
fi

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# dpkg-source (from dpkg-dev) unpacks the source package and applies Debian's patches.
if ! command -v dpkg-source >/dev/null 2>&1; then
    as_root apt-get update
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends dpkg-dev
fi
if [ -n "$host" ] && ! command -v "$host-gcc" >/dev/null 2>&1; then
    echo "build-fftw: no $host-gcc; install the cross compiler first" >&2
    exit 1
fi

# A deb-src entry for every Debian archive entry of the machine, written to a file of
# our own. deb822 files (*.sources) are copied stanza by stanza with Types: deb-src;
# one-line entries (sources.list) are copied with deb-src in front.
has_deb_src() {
    grep -qsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list ||
        grep -qsiE '^Types:.*deb-src' /etc/apt/sources.list.d/*.sources
}
add_deb_src() {
    local out=/etc/apt/sources.list.d/korvalex-deb-src.sources tmp
    tmp="$(mktemp)"
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        grep -qs 'debian-archive-keyring' "$f" || continue
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /(^|\n)Types:[^\n]*deb/ && /debian-archive-keyring/ {
                 sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$f" >>"$tmp"
    done
    if [ -f /etc/apt/sources.list ]; then
        awk '$1 == "deb" { $1 = "deb-src"; print }' /etc/apt/sources.list >"$tmp.list"
        if [ -s "$tmp.list" ]; then
            as_root cp "$tmp.list" /etc/apt/sources.list.d/korvalex-deb-src.list
        fi
        rm -f "$tmp.list"
    fi
    if [ -s "$tmp" ]; then
        as_root cp "$tmp" "$out"
    fi
    rm -f "$tmp"
}
if ! has_deb_src; then
    add_deb_src
    as_root apt-get update
fi

src="$prefix/src"
mkdir -p "$src"
cd "$src"
dir="$(find . -maxdepth 1 -type d -name 'fftw3-*' | head -n 1)"
if [ -z "$dir" ]; then
    apt-get source fftw3 || { as_root apt-get update; apt-get source fftw3; }
    dir="$(find . -maxdepth 1 -type d -name 'fftw3-*' | head -n 1)"
fi
[ -n "$dir" ] || { echo "build-fftw: no unpacked fftw3 source in $src" >&2; exit 1; }

# SIMD codelets: SSE2 and AVX on x86 (chosen at run time from the processor's flags);
# the wider sets are left out to keep the build short.
arch="${host:-$(uname -m)}"
simd=()
extra=()
case "$arch" in
    x86_64*|amd64*|i?86*) simd=(--enable-sse2 --enable-avx) ;;
esac
case "$host" in
    *-mingw32*)
        # Windows: no aligned malloc that configure knows of, so FFTW brings its own. No
        # SIMD codelets: gcc cannot keep spilled AVX registers 32-byte aligned on the
        # Windows stack, and leaving out SSE2 as well saves a third of the build (the
        # plug-in's transforms are short; the scalar codelets serve them well).
        extra=(--with-our-malloc)
        simd=()
        ;;
esac
case "$arch" in
    i?86*)
        # 32-bit x86: SSE2 arithmetic rather than the x87 unit, so that results round as
        # on x86_64. Passed with the compiler so that configure still picks its own CFLAGS.
        if [ -z "${CC:-}" ]; then
            export CC="${host:+$host-}gcc -msse2 -mfpmath=sse"
        fi
        ;;
esac

build="$src/build-${host:-native}"
rm -rf "$build"
mkdir -p "$build"
cd "$build"
"$src/$dir/configure" \
    ${host:+--host="$host"} \
    --prefix="$prefix" \
    --enable-float --enable-static --disable-shared --with-pic \
    --disable-fortran --disable-doc --disable-threads --disable-openmp --disable-mpi \
    --disable-dependency-tracking \
    "${simd[@]}" "${extra[@]}"
make -j"$jobs"
make install
echo "build-fftw: installed $prefix/lib/libfftw3f.a"
