#!/bin/bash
# The Windows zip (scripts/package-windows.sh) as a user unpacks it: exactly the expected
# files under one folder; both DLLs byte for byte the ones in the build folders, which
# scripts/test-windows.sh has tested, each of its word size; the text on where to put them
# and the licences, with Windows line ends.
#
# usage: tests/install/windows-zip.sh [WIN32_BUILD_DIR WIN64_BUILD_DIR]
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
fail() {
  echo "windows-zip: FAIL: $*" >&2
  exit 1
}
win32=$(cd "${1:-$repo/build-win32}" && pwd)
win64=$(cd "${2:-$repo/build-win64}" && pwd)

zip=$(bash "$repo/scripts/package-windows.sh" "$win32" "$win64" | tail -n 1)
[ -f "$zip" ] || fail "scripts/package-windows.sh made no zip"
unzip -tq "$zip" >/dev/null || fail "$zip is damaged"
echo "$(basename "$zip"):"
unzip -Z1 "$zip" | sed 's/^/  /'

version=$(sed -n 's/^project(korvalex VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
top=korvalex-$version-windows
expected=(32-bit/korvalex.dll 64-bit/korvalex.dll README.txt COPYING.txt NOTICE.txt
          LICENSE-LiberationSans.txt LICENSE-DejaVuSans.txt)
diff <(printf "$top/%s\n" "${expected[@]}" | sort) <(unzip -Z1 "$zip" | grep -v '/$' | sort) >&2 ||
  fail "the zip does not hold exactly the expected files (< expected, > in the zip)"

for bits in 32 64; do
  build=$win32
  format=pei-i386
  if [ $bits = 64 ]; then build=$win64; format=pei-x86-64; fi
  packed=$(unzip -p "$zip" "$top/$bits-bit/korvalex.dll" | sha256sum | cut -d' ' -f1)
  built=$(sha256sum <"$build/korvalex.dll" | cut -d' ' -f1)
  [ "$packed" = "$built" ] || fail "$bits-bit/korvalex.dll is not $build/korvalex.dll"
  unzip -p "$zip" "$top/$bits-bit/korvalex.dll" >"$build/korvalex-from-zip.dll"
  objdump -f "$build/korvalex-from-zip.dll" | grep -q "file format $format" ||
    fail "$bits-bit/korvalex.dll is not a $bits-bit DLL"
  rm -f "$build/korvalex-from-zip.dll"
  echo "$bits-bit/korvalex.dll is $build/korvalex.dll (sha256 $built)"
done

readme=$(unzip -p "$zip" "$top/README.txt")
[[ "$readme" == *$'\r\n'* ]] || fail "README.txt has no Windows line ends"
[[ "$readme" == *"Korvalex $version for Windows"* ]] || fail "README.txt does not name version $version"
[[ "$readme" == *'32-bit\korvalex.dll'* && "$readme" == *'64-bit\korvalex.dll'* ]] ||
  fail "README.txt does not say which DLL is which"
for pair in COPYING.txt:COPYING NOTICE.txt:NOTICE LICENSE-LiberationSans.txt:gui/fonts/LICENSE-LiberationSans.txt \
            LICENSE-DejaVuSans.txt:gui/fonts/LICENSE-DejaVuSans.txt; do
  cmp -s <(unzip -p "$zip" "$top/${pair%%:*}" | tr -d '\r') "$repo/${pair#*:}" ||
    fail "${pair%%:*} is not $repo/${pair#*:}"
done
echo "windows-zip: PASS"
