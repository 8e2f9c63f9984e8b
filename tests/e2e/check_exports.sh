#!/bin/bash
# A plug-in file must export its entry points and nothing else, and depend only on the C
# library (with libm and libdl) and the X11 client libraries its editor draws through
# (libX11, and libXext for shared-memory images), so that it loads on any Linux host's
# machine with a desktop; with --no-x11 (an LV2 plug-in's DSP) not even on those, so that
# it loads where there is no desktop.
#
# usage: check_exports.sh [--no-x11] FILE [ENTRY_POINT...]   (default: VSTPluginMain main)
set -u
allow_x11=yes
if [ "${1:-}" = --no-x11 ]; then
  allow_x11=no
  shift
fi
plugin=$1
shift
entry_points=("$@")
[ ${#entry_points[@]} -gt 0 ] || entry_points=(VSTPluginMain main)
fail=0

exported=$(nm -D --defined-only "$plugin" | awk '$2 ~ /^[A-Z]$/ {print $3}' | sort)
expected=$(printf '%s\n' "${entry_points[@]}" | sort)
if [ "$exported" != "$expected" ]; then
  echo "exports: $(echo $exported), expected: $(echo $expected)"
  fail=1
fi

needed=$(readelf -d "$plugin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
x11_libraries=()
for lib in $needed; do
  case "$lib" in
    libc.so.*|libm.so.*|libdl.so.*|ld-linux*) ;;
    libX11.so.6|libXext.so.6)
      [ $allow_x11 = yes ] || { echo "depends on $lib"; fail=1; }
      path=$(ldconfig -p | awk -v name="$lib" '$1 == name && /x86-64/ {print $NF; exit}')
      [ -n "$path" ] || path=$(ldconfig -p | awk -v name="$lib" '$1 == name {print $NF; exit}')
      if [ -z "$path" ]; then echo "cannot find $lib to check the symbols taken from it"; fail=1; fi
      x11_libraries+=("$path") ;;
    *) echo "depends on $lib"; fail=1 ;;
  esac
done

# Strong undefined symbols must come from the C library (versioned GLIBC_*) or be
# defined by the X11 libraries the file depends on (which version no symbols).
x11_symbols=""
if [ ${#x11_libraries[@]} -gt 0 ]; then
  x11_symbols=$(nm -D --defined-only "${x11_libraries[@]}" | awk '{print $3}' | sort -u)
fi
strange=$(nm -D --undefined-only "$plugin" | awk '$1 == "U" && $2 !~ /@GLIBC_[0-9.]+$/ {print $2}' |
  while read -r symbol; do
    grep -qxF "$symbol" <<<"$x11_symbols" || echo "$symbol"
  done)
if [ -n "$strange" ]; then
  echo "undefined symbols outside the C library and the X11 libraries:"; echo "$strange"
  fail=1
fi

[ $fail -eq 0 ] && echo "exports and dependencies are clean: $(echo $needed)"
exit $fail
