#!/bin/bash
# Installs everything the build and the tests need from Debian's archive. Run as root.
set -euo pipefail
source "$(dirname "$0")/apt-install-missing.sh"

packages=(
  build-essential cmake pkg-config binutils
  libfftw3-dev libsndfile1-dev libsoxr-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # The view toolkit's tests: reference pictures (libpng) and the glyph atlas generator's
  # check (FreeType and the fonts it rasterises).
  libpng-dev libfreetype-dev fonts-liberation2 fonts-dejavu-core
  # The front panel's artwork generator (tools/artwork), which a test runs again.
  python3 python3-numpy python3-pil fonts-liberation
  # The X11 window layer (Xlib, the shared-memory extension of libXext) and its tests: a
  # private X server, XTest for input and XFixes for the pointer's look.
  xvfb libx11-dev libxext-dev libxtst-dev libxfixes-dev
  # Korvalex Live: the JACK library and its headers; its tests and benchmarks run a private
  # JACK server (jackd2) on its dummy driver. apt_install_missing answers jackd2's question
  # about real-time priority with its default (no).
  libjack-jackd2-dev jackd2
  # The Windows plug-ins: mingw-w64 cross compilers, dpkg-dev to fetch FFTW's source
  # package, and Wine (its 32-bit half is an i386 package) to run them.
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 dpkg-dev
  wine wine64 wine32:i386
  # Wine's own fonts: text in the Win32 pop-up menus of the window tests.
  fonts-wine
  # Installation and packages: manual pages from --help (help2man; man-db to read them),
  # the desktop entry's check, the Debian package's tools and checker, the Windows zip.
  help2man man-db desktop-file-utils dpkg-dev lintian file zip unzip
  # The LV2 bundle: the LV2 headers, lilv with its command-line hosts (lv2apply, lv2info)
  # for its tests, and sord_validate, which lv2-dev's lv2_validate runs on its descriptions.
  lv2-dev liblilv-dev lilv-utils sordi
)
# wine32 is an i386 package: the architecture must be known to dpkg (and apt's lists).
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  export KORVALEX_APT_REFRESH=1
fi
apt_install_missing "${packages[@]}"
# Where the kernel runs no 32-bit programs, Wine's 32-bit half runs through qemu's
# user-mode emulator; elsewhere this does nothing.
bash "$(dirname "$0")/setup-i386-emulator.sh"
echo "build dependencies are installed"
