#!/bin/bash
# The product's main job on a new machine: builds the plug-in and korvalex-render, then
# re-amps the built-in demo riff (a dry guitar) through the factory program "Fuzz".
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh build
mkdir -p out
build/korvalex-render --demo --program Fuzz --force out/fuzz.wav
echo "Listen to out/fuzz.wav. Other sounds: build/korvalex-render --list-programs;"
echo "your own recording: build/korvalex-render --program NAME input.wav output.wav"
