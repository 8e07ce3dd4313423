#!/usr/bin/env bash
# Sets up, builds and runs every test: once optimised, once under ASan and UBSan,
# and the core's tests for Windows under Wine.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
scripts/build.sh build RelWithDebInfo
ctest --test-dir build --output-on-failure -j "$(nproc)"
scripts/build.sh build-asan Asan -DSTOWAWAY_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)"
# The core and its tests built for Windows and run under Wine; the libraries for
# Windows are built once into ~/.cache/stowaway-windows.
scripts/windows.sh test
