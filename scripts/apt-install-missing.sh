# Sourced by the install scripts: installs, from Debian's archive, those of the given
# packages that are not installed yet, so that a second run does nothing. Run as root.
# Set KORVALEX_APT_REFRESH=1 to update the package lists even if nothing is missing.
apt_install_missing() {
  export DEBIAN_FRONTEND=noninteractive
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ] || [ "${KORVALEX_APT_REFRESH:-0}" = 1 ]; then
    apt-get update -qq
    [ ${#missing[@]} -eq 0 ] || apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}
