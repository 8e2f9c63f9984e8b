#!/bin/bash
# Builds the Debian package from a release build folder (default: build; configured and
# built first if needed): BUILD_DIR/package/korvalex_VERSION_ARCH.deb, its path printed on
# the last line. The package holds exactly what `cmake --install` puts into /usr, with
# the binaries stripped as Debian strips them; the control file comes from
# packaging/control and packaging/changelog (whose first entry is the project's version),
# Depends from dpkg-shlibdeps alone: what the binaries link.
#
# usage: scripts/package-deb.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source=$(pwd)
build=${1:-build}
fail() {
  echo "package-deb: $*" >&2
  exit 1
}
umask 022

if [ ! -f "$build/CMakeCache.txt" ]; then
  scripts/build.sh "$build" >&2
else
  cmake --build "$build" -j"$(nproc)" >&2
fi
build=$(cd "$build" && pwd)
grep -q '^KORVALEX_SANITIZE:STRING=$' "$build/CMakeCache.txt" ||
  fail "$build is a sanitizer build: package a release build"

work=$build/package
rm -rf "$work"
root=$work/root
mkdir -p "$root/DEBIAN" "$work/debian"
DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" ||
  fail "cmake --install failed (log: $work/install.log)"

# As dh_strip does: no symbols, no comment or note sections in what is shipped.
while IFS= read -r -d '' file; do
  if file -b "$file" | grep -q '^ELF'; then
    strip --remove-section=.comment --remove-section=.note --strip-unneeded "$file"
  fi
done < <(find "$root/usr" -type f -print0)

# dpkg-shlibdeps and dpkg-gencontrol read the package's description from debian/control.
cp packaging/control "$work/debian/control"
binaries=()
while IFS= read -r -d '' file; do
  file -b "$file" | grep -q '^ELF' && binaries+=("$file")
done < <(find "$root/usr" -type f -print0)
(cd "$work" && dpkg-shlibdeps -Tdebian/substvars "${binaries[@]}") ||
  fail "dpkg-shlibdeps failed"
(cd "$work" && dpkg-gencontrol -pkorvalex -cdebian/control -l"$source/packaging/changelog" \
   -Tdebian/substvars -fdebian/files -P"$root") || fail "dpkg-gencontrol failed"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

version=$(dpkg-parsechangelog -l packaging/changelog -S Version)
package=$work/korvalex_${version}_$(dpkg --print-architecture).deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$package" >&2 || fail "dpkg-deb failed"
echo "$package"
