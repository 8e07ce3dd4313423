#!/usr/bin/env bash
# Configures and builds one build type into its own folder: build.sh DIR TYPE
set -euo pipefail
dir=$1; type=$2
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" >/dev/null
cmake --build "$dir" -j "$(nproc)"
