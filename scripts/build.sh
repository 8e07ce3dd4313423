#!/usr/bin/env bash
# Configures and builds one build type into its own folder: build.sh DIR TYPE
set -euo pipefail
dir=$1; type=$2
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${launcher[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
