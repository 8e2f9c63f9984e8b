#!/bin/bash
# Builds everything and runs every test suite: a release build with warnings as errors,
# then the suites again under AddressSanitizer with UndefinedBehaviorSanitizer, and under
# ThreadSanitizer; then the release plug-in in third-party hosts (Ardour renders through the
# VST and the LV2 plug-in; the front panel in Ardour's, MusE's and jalv's windows, used and
# saved); the Debian package, installed on this machine with apt and removed again; last,
# the Windows plug-ins, cross-built and run under Wine against the release build, and
# zipped for users.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

echo "== release build =="
scripts/build.sh build -DKORVALEX_WERROR=ON
(cd build && ctest --output-on-failure -j"$jobs")

echo "== address and undefined-behaviour sanitizers =="
scripts/build.sh build-asan -DKORVALEX_SANITIZE=address,undefined -DKORVALEX_BUILD_BENCH=OFF
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j"$jobs")

echo "== thread sanitizer =="
scripts/build.sh build-tsan -DKORVALEX_SANITIZE=thread -DKORVALEX_BUILD_BENCH=OFF
(cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j"$jobs")

echo "== third-party host: Ardour renders through the release build's plug-in (VST and LV2) =="
bash scripts/install-host-deps.sh
bash tests/hosts/run-ardour.sh build
bash tests/hosts/run-ardour.sh --lv2 build

echo "== third-party hosts: the front panel in Ardour's and MusE's windows, the LV2 panel in Ardour and jalv =="
bash tests/hosts/run-ardour-editor.sh build
bash tests/hosts/run-muse-editor.sh build
bash tests/hosts/run-ardour-editor.sh --lv2 build
bash tests/hosts/run-jalv.sh build

echo "== the Debian package: lintian, installed with apt, used, found by Ardour, removed =="
bash tests/install/debian-package.sh build

echo "== Windows plug-ins: cross build, checks under Wine, comparison with the release build =="
KORVALEX_REQUIRE_WIN32=${KORVALEX_REQUIRE_WIN32:-1} bash scripts/test-windows.sh --native build

echo "== the Windows zip: the tested DLLs, the text on where to put them, the licences =="
bash tests/install/windows-zip.sh
