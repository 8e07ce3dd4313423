#!/usr/bin/env bash
# The restore browser on a large archive: time and peak resident memory of
# opening it to a shown root folder, a deep folder and a search.
#
#   bench/browse_bench.sh [--million] [BUILD_DIR]
#
# 100,000 entries by default, 1,000,000 with --million; the archive is written
# by make_browse_zip.py into /tmp/stowaway-browse-bench. Targets on a 2-core
# machine: a 1,000,000-entry archive open in 2 s and 300 MB.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
entries=100000
if [[ "${1:-}" == "--million" ]]; then entries=1000000; shift; fi
build="${1:-$here/../build}"
cmake --build "$build" --target browse_bench >/dev/null
work=/tmp/stowaway-browse-bench
mkdir -p "$work"
archive="$work/Docs-$entries.zip"
if [[ ! -f "$archive" ]]; then
    echo "Writing $archive ($entries entries) ..."
    python3 "$here/make_browse_zip.py" "$archive" --entries "$entries"
fi
ls -l "$archive"
# Cold and warm page cache are not told apart: the archive was just written.
"$build/bench/browse_bench" "$archive" "*report*"
