#!/bin/bash
# Builds the plug-in and shows what a host sees: identity, parameters, programs, and a
# test tone processed through it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh build
build/korvalex-host --process 2 build/korvalex.so
