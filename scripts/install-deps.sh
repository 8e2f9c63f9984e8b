#!/bin/bash
# Installs everything the build and the tests need from Debian's archive. Run as root.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  build-essential cmake pkg-config binutils
  libfftw3-dev libsndfile1-dev libsoxr-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # The Windows plug-ins: mingw-w64 cross compilers, dpkg-dev to fetch FFTW's source
  # package, and Wine (its 32-bit half is an i386 package) to run them.
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 dpkg-dev
  wine wine64 wine32:i386
)
# wine32 is an i386 package: the architecture must be known to dpkg (and apt's lists).
refresh=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  refresh=1
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ $refresh = 1 ]; then
  apt-get update -qq
  [ ${#missing[@]} -eq 0 ] || apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
echo "build dependencies are installed"
