#!/bin/bash
# Installs the third-party hosts that the host tests drive (tests/hosts/), from Debian's
# archive: Ardour 7 with its headless Lua session tool and VST scanner. Run as root. Only
# what is missing is installed, so a second run does nothing.
set -euo pipefail
source "$(dirname "$0")/apt-install-missing.sh"

packages=(
  ardour      # ardour7-lua, /usr/lib/ardour7/ardour-vst-scanner
  util-linux  # unshare
  coreutils   # timeout
)
apt_install_missing "${packages[@]}"
echo "host test dependencies are installed"
