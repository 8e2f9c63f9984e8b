#!/bin/bash
# Every include points down: each folder may include only itself and the folders below it.
# A folder of sources missing from the table is an error, so a new subsystem states its
# place (tests, tools and benchmarks stand above everything).
set -euo pipefail
root=${1:-$(dirname "$0")/..}
declare -A allowed=(
  [dsp]="dsp"
  [gui]="gui"
  [vst]="vst"
  [resources]="resources gui"
  [editor]="editor gui vst"
  [plugin]="plugin editor gui vst dsp"
  [lv2]="lv2 plugin editor gui vst dsp"
  [host]="host vst"
  [irfile]="irfile dsp"
  [live]="live plugin host irfile gui vst"
)
status=0
for folder in $(cd "$root" && git ls-files '*.cpp' '*.h' | cut -d/ -f1 | sort -u); do
  case $folder in tests|tools|bench|*.cpp|*.h) continue ;; esac
  if [ -z "${allowed[$folder]+set}" ]; then
    echo "$folder/ is not in the layering table of $0"
    status=1
  fi
done
for folder in "${!allowed[@]}"; do
  [ -d "$root/$folder" ] || continue
  while IFS=: read -r file target; do
    top=${target%%/*}
    if [[ " ${allowed[$folder]} " != *" $top "* ]]; then
      echo "$file includes $target: $folder/ may include only ${allowed[$folder]}"
      status=1
    fi
  done < <(cd "$root" && grep -rHoE '#include "[a-z0-9_]+/[^"]+"' "$folder" \
             | sed -E 's/:#include "/:/; s/"$//')
done
exit $status
