#!/bin/bash
# Zips the Windows plug-ins for users: build-zip/korvalex-VERSION-windows.zip holds
# korvalex-VERSION-windows/32-bit/korvalex.dll and 64-bit/korvalex.dll, the very files of
# build-win32/ and build-win64/ (build and test them first: scripts/test-windows.sh), a
# README.txt on where to put them, and the licences. Text files get Windows line ends.
# Prints the zip's path on its last line.
#
# usage: scripts/package-windows.sh [WIN32_BUILD_DIR WIN64_BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
win32=${1:-build-win32}
win64=${2:-build-win64}
fail() {
  echo "package-windows: $*" >&2
  exit 1
}
for dll in "$win32/korvalex.dll" "$win64/korvalex.dll"; do
  [ -f "$dll" ] || fail "$dll is missing: run scripts/build-windows.sh (and scripts/test-windows.sh)"
done
objdump -f "$win32/korvalex.dll" | grep -q 'file format pei-i386' || fail "$win32/korvalex.dll is not a 32-bit DLL"
objdump -f "$win64/korvalex.dll" | grep -q 'file format pei-x86-64' || fail "$win64/korvalex.dll is not a 64-bit DLL"

version=$(sed -n 's/^project(korvalex VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no project version in CMakeLists.txt"
name=korvalex-$version-windows
out=$(pwd)/build-zip
stage=$out/stage
rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage/$name/32-bit" "$stage/$name/64-bit"
cp "$win32/korvalex.dll" "$stage/$name/32-bit/"
cp "$win64/korvalex.dll" "$stage/$name/64-bit/"
sed "s/@VERSION@/$version/" packaging/windows/README.txt >"$stage/$name/README.txt"
cp COPYING "$stage/$name/COPYING.txt"
cp NOTICE "$stage/$name/NOTICE.txt"
cp gui/fonts/LICENSE-LiberationSans.txt gui/fonts/LICENSE-DejaVuSans.txt "$stage/$name/"

# The same sources give the same zip: fixed times, no extra attributes, a fixed order.
stamp=$(git log -1 --format=%ct 2>/dev/null || echo 0)
find "$stage" -exec touch -h -d "@$stamp" {} +
cd "$stage"
zip -q -X -D "$out/$name.zip" "$name/32-bit/korvalex.dll" "$name/64-bit/korvalex.dll"
zip -q -X -D -l "$out/$name.zip" "$name/README.txt" "$name/COPYING.txt" "$name/NOTICE.txt" \
  "$name/LICENSE-LiberationSans.txt" "$name/LICENSE-DejaVuSans.txt"
echo "$out/$name.zip"
