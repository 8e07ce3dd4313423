#!/usr/bin/env bash
# Configures and builds one build type into its own folder: build.sh DIR TYPE [CMAKE OPTIONS]
set -euo pipefail
dir=$1; type=$2; shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Paths are taken relative to the checkout, so another clone of the same
  # sources finds the objects this one compiled.
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  # The tests' precompiled headers are hashed whole; without this ccache passes
  # every test file by.
  export CCACHE_SLOPPINESS=pch_defines,time_macros
fi
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
