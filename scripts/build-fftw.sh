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
# The source package comes from Debian's archive through a private apt source list
# (scripts/apt-private.sh), so the machine's apt sources stay as they are; dpkg-dev
# (dpkg-source) unpacks it. Nothing is done when PREFIX already holds the library.
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

# dpkg-source (from dpkg-dev) unpacks the source package and applies Debian's patches.
if ! command -v dpkg-source >/dev/null 2>&1; then
    echo "build-fftw: dpkg-source is missing: install dpkg-dev (scripts/install-deps.sh)" >&2
    exit 1
fi
if [ -n "$host" ] && ! command -v "$host-gcc" >/dev/null 2>&1; then
    echo "build-fftw: no $host-gcc; install the cross compiler first" >&2
    exit 1
fi
source "$(dirname "$0")/apt-private.sh"

src="$prefix/src"
mkdir -p "$src"
cd "$src"
dir="$(find . -maxdepth 1 -type d -name 'fftw3-*' | head -n 1)"
if [ -z "$dir" ]; then
    private_apt_init "$src/apt" "deb-src $KORVALEX_DEBIAN_MIRROR $(debian_codename) main"
    (cd "$src/apt/downloads" && private_apt "$src/apt" apt-get -qq source fftw3)
    mv "$src"/apt/downloads/fftw3-*/ "$src/"
    rm -rf "$src/apt"
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
