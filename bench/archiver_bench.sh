#!/usr/bin/env bash
# Times PKZIP25.EXE against Info-ZIP zip/unzip on a deterministic corpus.
#
#   bench/archiver_bench.sh [CORPUS_DIR] [PROGRAM_DIR]
#
# CORPUS_DIR (default /tmp/stowaway-bench-corpus) is made by make_corpus.py
# when it does not hold a corpus yet; archives and restores go to
# CORPUS_DIR/work. PROGRAM_DIR is the build's program folder (default
# build/program). Prints wall and CPU seconds, archive sizes, and each ratio
# to Info-ZIP (ours / theirs: below 1 is better).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
corpus="${1:-/tmp/stowaway-bench-corpus}"
program="${2:-$here/../build/program}"
archiver="$program/PKZIP25.EXE"
[[ -x "$archiver" ]] || { echo "no archiver at $archiver (build target PKZIP25)" >&2; exit 1; }
command -v zip >/dev/null && command -v unzip >/dev/null || { echo "needs zip and unzip" >&2; exit 1; }

if [[ ! -f "$corpus/.complete" ]]; then
    echo "Generating corpus in $corpus ..."
    rm -rf "$corpus"
    python3 "$here/make_corpus.py" "$corpus"
    touch "$corpus/.complete"
fi
work="$corpus/work"
rm -rf "$work"
mkdir -p "$work"

# Runs a command, appends "wall cpu" to the named variable.
measure() {
    local out="$work/time.txt"
    /usr/bin/time -f "%e %U %S" -o "$out" "$@" >/dev/null 2>"$work/stderr.txt" || {
        echo "failed: $*" >&2
        cat "$work/stderr.txt" >&2
        exit 1
    }
    awk '{printf "%.2f %.2f\n", $1, $2 + $3}' "$out"
}

size_of() { stat -c %s "$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "-"; else printf "%.3f", a / b }'; }

echo "Machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
for set in source large; do
    list="$corpus/$set.lst"
    files=$(wc -l <"$list")
    bytes=$(xargs -d "\n" stat -c %s <"$list" | awk "{s += \$1} END {print s}")
    echo
    echo "== $set: $files files, $((bytes / 1048576)) MiB"
    printf "%-5s %-10s %8s %8s %12s %10s %10s\n" level tool wall_s cpu_s size time_ratio size_ratio
    for level in 1 6 9; do
        z="$work/$set-zip-$level.zip"
        p="$work/$set-pkzip-$level.zip"
        read -r zw zc < <(measure zip -q -"$level" -@ "$z" <"$list")
        read -r pw pc < <(measure "$archiver" -add=all -lev="$level" -path=full "$p" "@$list")
        zs=$(size_of "$z")
        ps=$(size_of "$p")
        printf "%-5s %-10s %8s %8s %12s %10s %10s\n" "$level" "zip" "$zw" "$zc" "$zs" "" ""
        printf "%-5s %-10s %8s %8s %12s %10s %10s\n" "$level" "PKZIP25" "$pw" "$pc" "$ps" \
            "$(ratio "$pw" "$zw")" "$(ratio "$ps" "$zs")"
    done
    # Restore of the level-6 archives into empty folders.
    rm -rf "$work/r-unzip" "$work/r-pkzip"
    read -r uw uc < <(measure unzip -q -o "$work/$set-zip-6.zip" -d "$work/r-unzip")
    read -r rw rc < <(measure "$archiver" -extract=all -dir=relative "$work/$set-pkzip-6.zip" "$work/r-pkzip")
    printf "%-5s %-10s %8s %8s\n" "rest" "unzip" "$uw" "$uc"
    printf "%-5s %-10s %8s %8s %12s %10s\n" "rest" "PKZIP25" "$rw" "$rc" "" "$(ratio "$rw" "$uw")"
    rm -rf "$work/r-unzip" "$work/r-pkzip" "$work"/*.zip
done
echo
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
