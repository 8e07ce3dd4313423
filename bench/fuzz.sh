#!/usr/bin/env bash
# Builds the libFuzzer targets of bench/fuzz with clang under ASan and UBSan and
# runs each for a while on a corpus that starts from its own seeds:
#   bench/fuzz.sh [SECONDS-PER-TARGET] [BUILD-DIR]
set -euo pipefail
seconds=${1:-120}
dir=${2:-build-fuzz}
root=$(cd "$(dirname "$0")/.." && pwd)
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Asan -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link -DSTOWAWAY_FUZZ=ON -DBUILD_TESTING=OFF \
      "${launcher[@]}" >/dev/null
targets=(fuzz_datafile fuzz_listing fuzz_batch fuzz_versions fuzz_settings fuzz_central)
cmake --build "$dir" --target "${targets[@]}"
for target in "${targets[@]}"; do
  corpus="$dir/corpus/$target"
  mkdir -p "$corpus"
  echo "== $target"
  STOWAWAY_FUZZ_SEEDS="$corpus" "$dir/bench/$target" -max_total_time="$seconds" \
      -max_len=65536 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 "$corpus" 2>&1 |
    grep -E "^(#[0-9]+ +DONE|stat::|==[0-9]+==|SUMMARY|Done|INFO: Seed)|ERROR|crash-|timeout-" || true
done
