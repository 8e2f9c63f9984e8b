#!/bin/bash
# Installs the third-party hosts that the host tests drive (tests/hosts/), from Debian's
# archive: Ardour 7 with its headless Lua session tool and VST scanner. Run as root. Only
# what is missing is installed, so a second run does nothing.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
packages=(
  ardour      # ardour7-lua, /usr/lib/ardour7/ardour-vst-scanner
  util-linux  # unshare
  coreutils   # timeout
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
echo "host test dependencies are installed"
