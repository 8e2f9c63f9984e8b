#!/bin/bash
# A staged installation, as a packager makes one: `cmake --install BUILD_DIR --prefix P`
# with DESTDIR. Every installed file is listed; the tree must hold exactly the files that
# belong in it, where hosts, shells and desktops look for them; nothing may be written
# outside DESTDIR; and the staged programs must work from there: korvalex-render finds
# the staged plug-in by itself and renders the demo, each manual page says all that its
# program's --help says, the desktop entry is valid.
#
# usage: tests/install/staging.sh BUILD_DIR     (a native build, after `cmake --build`)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
fail() {
  echo "staging: FAIL: $*" >&2
  exit 1
}
source "$here/common.sh"

[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
# A prefix that exists nowhere on the machine: if DESTDIR were ignored, the files would
# appear there, and nowhere that matters.
prefix=/opt/korvalex-staging-test-$$
stage=$build/install-staging
rm -rf "$stage"
mkdir -p "$stage"
trap 'rm -rf "$prefix"' EXIT

DESTDIR=$stage cmake --install "$build" --prefix "$prefix" >"$build/install-staging.log" 2>&1 ||
  { cat "$build/install-staging.log" >&2; fail "cmake --install failed"; }
[ ! -e "$prefix" ] || fail "files were written to $prefix, outside DESTDIR"

root=$stage$prefix
echo "installed under DESTDIR=$stage, prefix $prefix:"
(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort) | tee "$build/install-staging.files" | sed 's/^/  /'
outside=$(cd "$stage" && find . -mindepth 1 \( -type f -o -type l \) | sed 's|^\.||' | grep -v "^$prefix/" || true)
[ -z "$outside" ] || fail "installed outside the prefix: $outside"

# What the build's manifest says was installed is what is there.
diff <(sort "$build/install_manifest.txt") <(sed "s|^|$prefix/|" "$build/install-staging.files") >&2 ||
  fail "install_manifest.txt and the staged tree differ"

expected=(
  bin/korvalex-render
  lib/vst/korvalex.so
  share/man/man1/korvalex-render.1.gz
  share/doc/korvalex/README.md
  share/doc/korvalex/COPYING
  share/doc/korvalex/NOTICE
  share/doc/korvalex/LICENSE-LiberationSans.txt
  share/doc/korvalex/LICENSE-DejaVuSans.txt
  share/doc/korvalex/copyright
  share/doc/korvalex/changelog.gz
)
if [ -x "$build/korvalex-live" ]; then
  expected+=(bin/korvalex-live share/man/man1/korvalex-live.1.gz
             share/applications/korvalex-live.desktop)
  for size in 48 128 256; do
    expected+=("share/icons/hicolor/${size}x$size/apps/korvalex-live.png")
  done
fi
if [ -d "$build/lv2-bundles/korvalex.lv2" ]; then
  while IFS= read -r file; do
    expected+=("lib/lv2/korvalex.lv2/$file")
  done < <(cd "$build/lv2-bundles/korvalex.lv2" && find . -type f | sed 's|^\./||')
fi
diff <(printf '%s\n' "${expected[@]}" | sort) "$build/install-staging.files" >&2 ||
  fail "the installed files are not the expected ones (< expected, > installed)"

# The installed files are the built ones, with usable permissions.
cmp "$build/korvalex.so" "$root/lib/vst/korvalex.so" || fail "the installed plug-in is not the built one"
for program in "$root"/bin/*; do
  [ "$(stat -c %a "$program")" = 755 ] || fail "$program is not mode 755"
done
bad_modes=$(cd "$root/share" && find . -type f ! -perm 644)
[ -z "$bad_modes" ] || fail "data files not of mode 644: $bad_modes"

# korvalex-render, installed, finds the plug-in installed beside it (../lib/vst) by itself.
"$root/bin/korvalex-render" -q --demo --program Fuzz "$build/install-staging-demo.wav" ||
  fail "the staged korvalex-render could not render the demo with the staged plug-in"
[ -s "$build/install-staging-demo.wav" ] || fail "the staged korvalex-render wrote nothing"
rm -f "$build/install-staging-demo.wav"

for program in "$root"/bin/*; do
  name=$(basename "$program")
  check_manual_page "$program" "$root/share/man/man1/$name.1.gz"
  echo "the manual page of $name holds its --help"
done
if [ -f "$root/share/applications/korvalex-live.desktop" ]; then
  desktop-file-validate "$root/share/applications/korvalex-live.desktop" || fail "invalid desktop entry"
  for size in 48 128 256; do
    file "$root/share/icons/hicolor/${size}x$size/apps/korvalex-live.png" | grep -q "PNG image data, $size x $size, 8-bit/color RGBA" ||
      fail "the ${size}x$size icon is not a $size x $size RGBA PNG"
  done
fi
echo "staging: PASS"
