#!/bin/bash
# A plug-in file must export its two entry points and nothing else, and depend only on
# the C library (with libm and libdl) so that it loads on any host's machine.
set -u
plugin=$1
fail=0

exported=$(nm -D --defined-only "$plugin" | awk '$2 ~ /^[A-Z]$/ {print $3}' | sort)
expected=$(printf 'VSTPluginMain\nmain\n')
if [ "$exported" != "$expected" ]; then
  echo "unexpected exports:"; echo "$exported" | grep -v -x -e VSTPluginMain -e main
  fail=1
fi

# Strong undefined symbols must come from the C library (versioned GLIBC_*).
strange=$(nm -D --undefined-only "$plugin" | awk '$1 == "U" && $2 !~ /@GLIBC_[0-9.]+$/ {print $2}')
if [ -n "$strange" ]; then
  echo "undefined symbols outside the C library:"; echo "$strange"
  fail=1
fi

needed=$(readelf -d "$plugin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
for lib in $needed; do
  case "$lib" in
    libc.so.*|libm.so.*|libdl.so.*|ld-linux*) ;;
    *) echo "depends on $lib"; fail=1 ;;
  esac
done

[ $fail -eq 0 ] && echo "exports and dependencies are clean: $(echo $needed)"
exit $fail
