#!/bin/bash
# Installs the third-party hosts that the host tests drive (tests/hosts/), from Debian's
# archive: Ardour 7 with its headless Lua session tool and VST scanner, MusE 4 with the
# JACK server it runs on, and what drives their windows on a private X server. Run as
# root. Only what is missing is installed, so a second run does nothing.
set -euo pipefail
source "$(dirname "$0")/apt-install-missing.sh"

packages=(
  ardour      # ardour7-lua, /usr/lib/ardour7/ardour-vst-scanner, and the GUI /usr/bin/ardour
  muse        # MusE 4
  jalv        # jalv.gtk3: the LV2 bundle's panel and presets in a small LV2 host
  jackd2      # jackd (its dummy driver) and jack_wait, for MusE
  xvfb        # the private X server of the editor tests
  xdotool     # pointer and keys through XTest, keyboard focus
  x11-utils   # xwininfo: the windows on the display
  imagemagick # import and compare: pictures of windows
  util-linux  # unshare
  coreutils   # timeout
)
apt_install_missing "${packages[@]}"
echo "host test dependencies are installed"
