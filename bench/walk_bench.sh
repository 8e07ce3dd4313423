#!/usr/bin/env bash
# The folder walk against find on the scale tree of make_scale_tree.py, warm cache.
#
#   bench/walk_bench.sh [FILES] [TREE_DIR] [BUILD_DIR] [ROUNDS]
#
# FILES (default 100000) files are generated in TREE_DIR (default
# /tmp/stowaway-walk-FILES) when it does not hold such a tree yet. The tree's
# visible top folders are walked (a walk leaves hidden folders out; find would
# not). Compare the ratios, not the seconds.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
files="${1:-100000}"
dest="${2:-/tmp/stowaway-walk-$files}"
build="${3:-$here/../build}"
rounds="${4:-7}"
[[ -x "$build/bench/walk_bench" ]] || { echo "build the walk_bench target first" >&2; exit 1; }

if [[ ! -f "$dest/.complete" ]]; then
    echo "Generating $files files in $dest ..."
    rm -rf "$dest"
    python3 "$here/make_scale_tree.py" "$dest" --files "$files"
fi

echo "Machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Tree: $dest/tree, $(find "$dest/tree" -type d | wc -l) folders in all"
"$build/bench/walk_bench" --rounds "$rounds" "$dest"/tree/*
echo "Load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
