#!/bin/bash
# Runs a command with the system's LADSPA plug-in folders hidden under empty mounts, so that
# Ardour, which opens every LADSPA library it finds when it starts, loads none of them.
# Call it through `unshare -m` (as root): the mounts then exist only for this command.
set -euo pipefail
mount --make-rprivate /
for folder in /usr/lib/ladspa /usr/local/lib/ladspa /usr/lib/x86_64-linux-gnu/ladspa /usr/lib64/ladspa; do
  if [ -d "$folder" ]; then
    mount -t tmpfs -o size=64k,mode=0755 korvalex-no-ladspa "$folder"
  fi
done
exec "$@"
