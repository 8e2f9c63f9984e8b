#!/bin/bash
# The Debian package as a user gets it. Builds it from a release build folder
# (scripts/package-deb.sh), checks its control fields and contents, runs lintian (no
# error allowed; every tag is listed), then installs it with `apt install ./PACKAGE` and
# checks what the user finds: korvalex-render from the PATH renders the demo, `man`
# shows each program's page with all of its --help, and Ardour 7, with its default
# plug-in folders (no LXVST_PATH or LV2_PATH), finds the VST in /usr/lib/vst (and the LV2
# bundle in /usr/lib/lv2 when the package has one) and loads it. Last, `apt remove` must
# leave no file of the package behind.
#
# This changes the machine: run it as root. A korvalex package installed before is removed
# first; the one under test is removed on the way out, also after a failure.
#
# usage: tests/install/debian-package.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
fail() {
  echo "debian-package: FAIL: $*" >&2
  exit 1
}
source "$here/common.sh"
source "$here/../hosts/common.sh"
source "$here/../hosts/ardour/environment.sh"

[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
[ "$(id -u)" = 0 ] || fail "run as root: the test installs the package"
ardour_prerequisites
command -v lintian >/dev/null || fail "lintian is missing: run scripts/install-deps.sh"
work=$build/package-test
rm -rf "$work"
mkdir -p "$work"
start=$(now)

# --- the package --------------------------------------------------------------------------
t=$(now)
deb=$(bash "$repo/scripts/package-deb.sh" "$build" 2>"$work/package-deb.log" | tail -n 1) ||
  { tail -n 20 "$work/package-deb.log" >&2; fail "scripts/package-deb.sh failed"; }
[ -f "$deb" ] || fail "scripts/package-deb.sh made no package"
echo "built $(basename "$deb") ($(since "$t"))"

field() { dpkg-deb -f "$deb" "$1"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
for expected in Package=korvalex "Version=$version" Architecture=amd64 Section=sound \
                "Maintainer=Zarelworks <korvalex@zarelworks.example>"; do
  name=${expected%%=*}
  [ "$(field "$name")" = "${expected#*=}" ] || fail "$name is '$(field "$name")', not '${expected#*=}'"
done
[ -n "$(field Description)" ] || fail "no Description"

dpkg-deb -c "$deb" | awk '{ print $6 }' >"$work/contents.txt"
echo "contents:"
sed 's/^/  /' "$work/contents.txt"
outside=$(grep -v -e '^\./$' -e '^\./usr/' "$work/contents.txt" || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"

# Depends is exactly what dpkg-shlibdeps computes for the ELF files in the package.
dpkg-deb -x "$deb" "$work/extracted"
mkdir -p "$work/shlibdeps/debian"
printf 'Source: korvalex\n\nPackage: korvalex\nArchitecture: any\n' >"$work/shlibdeps/debian/control"
elves=()
while IFS= read -r -d '' file; do
  if file -b "$file" | grep -q '^ELF'; then
    elves+=("$file")
    file -b "$file" | grep -q ', stripped' || fail "${file#"$work"/extracted} is not stripped"
  fi
done < <(find "$work/extracted" -type f -print0)
[ ${#elves[@]} -ge 2 ] || fail "the package holds ${#elves[@]} ELF files"
computed=$(cd "$work/shlibdeps" && dpkg-shlibdeps -O "${elves[@]}" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ "$(field Depends)" = "$computed" ] ||
  fail "Depends is '$(field Depends)', dpkg-shlibdeps computes '$computed'"
echo "Depends: $computed"
for page in "$work"/extracted/usr/share/man/man*/*; do
  [[ "$page" == *.gz ]] && gzip -t "$page" || fail "${page#"$work"/extracted} is not gzipped"
done

# --- lintian ------------------------------------------------------------------------------
t=$(now)
status=0
lintian --fail-on error --display-level '>=pedantic' "$deb" >"$work/lintian.txt" 2>"$work/lintian.err" || status=$?
echo "lintian ($(since "$t")):"
if [ -s "$work/lintian.txt" ]; then sed 's/^/  /' "$work/lintian.txt"; else echo "  no tags"; fi
[ $status -ne 1 ] || fail "lintian could not check the package: $(cat "$work/lintian.err")"
[ $status -eq 0 ] && ! grep -q '^E: ' "$work/lintian.txt" || fail "lintian reports errors"

# --- installed with apt -------------------------------------------------------------------
remove_package() {
  if dpkg-query -W -f='${db:Status-Abbrev}' korvalex 2>/dev/null | grep -q '^i'; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y korvalex >>"$work/apt.log" 2>&1 ||
      echo "debian-package: could not remove korvalex (log: $work/apt.log)" >&2
  fi
}
trap remove_package EXIT
# A package left by a run that was killed would hide what this one installs.
if dpkg-query -W -f='${db:Status-Abbrev}' korvalex 2>/dev/null | grep -q '^i'; then
  echo "korvalex was installed already: removing it first"
  remove_package
fi

t=$(now)
(cd "$(dirname "$deb")" && DEBIAN_FRONTEND=noninteractive apt install -y "./$(basename "$deb")") \
  >"$work/apt.log" 2>&1 || { tail -n 20 "$work/apt.log" >&2; fail "apt install failed"; }
dpkg -L korvalex | sort >"$work/installed.txt"
echo "installed with apt install ./$(basename "$deb") ($(since "$t"))"

# From the PATH, in an environment with nothing of the build in it.
clean=(env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$work" LC_ALL=C.UTF-8)
[ "$("${clean[@]}" sh -c 'command -v korvalex-render')" = /usr/bin/korvalex-render ] ||
  fail "korvalex-render is not found on the PATH as /usr/bin/korvalex-render"
"${clean[@]}" korvalex-render -q --demo --program Fuzz "$work/demo.wav" ||
  fail "korvalex-render --demo failed from the PATH"
[ "$(stat -c %s "$work/demo.wav")" -gt 1000000 ] || fail "korvalex-render --demo wrote $(stat -c %s "$work/demo.wav") bytes"
programs=$("${clean[@]}" korvalex-render --list-programs | wc -l)
[ "$programs" -ge 82 ] || fail "korvalex-render --list-programs lists $programs lines"
# The packaged (stripped) files sound exactly like the build's.
"$build/korvalex-render" -q --demo --program Fuzz "$work/demo-build.wav" || fail "the build's korvalex-render failed"
cmp -s "$work/demo.wav" "$work/demo-build.wav" || fail "the installed korvalex-render renders the demo unlike the build's"
echo "korvalex-render --demo from the PATH: $(stat -c %s "$work/demo.wav") bytes, the same as the build's"

for program in $(grep '^/usr/bin/' "$work/installed.txt"); do
  name=$(basename "$program")
  [ "$(man -w "$name")" = "/usr/share/man/man1/$name.1.gz" ] || fail "man finds no page for $name"
  check_manual_page "$program" "$name"
  echo "man $name shows its page, with all of $name --help"
done

# --- Ardour finds the plug-ins in its default folders ------------------------------------
t=$(now)
private_home "$work/ardour"
unset LXVST_PATH VST_PATH LV2_PATH LADSPA_PATH
ardour_isolation
# Started, Ardour looks through its folders and lists a new VST as waiting for its
# scanner; the scanner (what Ardour's "Scan for new plug-ins" runs) puts it in the cache.
run_ardour_lua "$work/ardour-discover.log" "$here/ardour-finds-plugins.lua" "$work/ardour/discover" discover
scan_log=$XDG_CONFIG_HOME/ardour7/plugin_metadata/scan_log
grep -q '<PluginScanLogEntry type="LXVST" path="/usr/lib/vst/korvalex.so"' "$scan_log" ||
  fail "Ardour did not find /usr/lib/vst/korvalex.so in its plug-in folders (scan log: $scan_log)"
LD_LIBRARY_PATH=$ARDOUR_LIB timeout -k 5 60 "$ARDOUR_SCANNER" -f /usr/lib/vst/korvalex.so >"$work/ardour-scan.log" 2>&1 ||
  fail "Ardour's VST scanner rejected /usr/lib/vst/korvalex.so (log: $work/ardour-scan.log)"
lv2=()
if [ -d /usr/lib/lv2/korvalex.lv2 ]; then
  command -v lv2ls >/dev/null || fail "lv2ls is missing (lilv-utils)"
  uri=$(lv2ls | grep -i korvalex | head -n 1)
  [ -n "$uri" ] || fail "lilv finds no Korvalex plug-in in /usr/lib/lv2/korvalex.lv2"
  lv2=("$uri")
fi
run_ardour_lua "$work/ardour-load.log" "$here/ardour-finds-plugins.lua" "$work/ardour/load" load \
  /usr/lib/vst/korvalex.so "${lv2[@]}"
sed -n 's/^found /Ardour found and loaded: /p' "$work/ardour-load.log"
grep -q '^found Linux VST /usr/lib/vst/korvalex.so$' "$work/ardour-load.log" || fail "Ardour did not report the VST"
[ ${#lv2[@]} -eq 0 ] || grep -qx "found LV2 ${lv2[0]}" "$work/ardour-load.log" || fail "Ardour did not report the LV2 plug-in"
echo "Ardour: $(since "$t")"

# --- removed with apt ---------------------------------------------------------------------
t=$(now)
DEBIAN_FRONTEND=noninteractive apt remove -y korvalex >>"$work/apt.log" 2>&1 ||
  { tail -n 20 "$work/apt.log" >&2; fail "apt remove failed"; }
status=$(dpkg-query -W -f='${db:Status-Abbrev}' korvalex 2>/dev/null || true)
[[ "$status" != i* && "$status" != r* ]] || fail "dpkg still has korvalex as '$status' after apt remove"
left=()
while IFS= read -r path; do
  [ "$path" = /. ] && continue
  if [ -d "$path" ] && [ ! -L "$path" ]; then
    # A folder stays only while another package owns it.
    dpkg -S "$path" >/dev/null 2>&1 || left+=("$path")
  elif [ -e "$path" ] || [ -L "$path" ]; then
    left+=("$path")
  fi
done <"$work/installed.txt"
[ ${#left[@]} -eq 0 ] || fail "apt remove left behind: ${left[*]}"
echo "apt remove left nothing behind ($(since "$t"))"
echo "debian-package: PASS ($(since "$start") in all)"
