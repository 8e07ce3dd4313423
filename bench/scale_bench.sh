#!/usr/bin/env bash
# Peak memory at scale: PKZIP25.EXE beside Info-ZIP zip/unzip on a
# home-folder-like tree made by make_scale_tree.py.
#
#   bench/scale_bench.sh [DIR] [PROGRAM_DIR] [FILES]
#
# DIR (default /tmp/stowaway-scale, or /tmp/stowaway-scale-FILES for another
# count) holds the tree; FILES defaults to 100000 (1000000 for the large run,
# which needs about 4 GB of disk and takes a while). Archives and restored
# files go to DIR/work (OUT_DIR puts the restored files elsewhere).
# Prints, per work, wall seconds, peak resident size and bytes per file for
# both tools, and our wall time and peak as a ratio to Info-ZIP's. One run
# each: peak memory hardly varies; compare times only as ratios.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
files="${3:-100000}"
default_dir=/tmp/stowaway-scale
[[ "$files" != 100000 ]] && default_dir="/tmp/stowaway-scale-$files"
dir="${1:-$default_dir}"
program="${2:-$here/../build/program}"
archiver="$program/PKZIP25.EXE"
[[ -x "$archiver" ]] || { echo "no archiver at $archiver (build target PKZIP25)" >&2; exit 1; }
command -v zip >/dev/null && command -v unzip >/dev/null || { echo "needs zip and unzip" >&2; exit 1; }

if [[ ! -f "$dir/.complete" ]]; then
    echo "Generating $files files in $dir ..."
    rm -rf "$dir"
    python3 "$here/make_scale_tree.py" "$dir" --files "$files"
fi
list="$dir/tree.lst"
count=$(wc -l <"$list")
work="$dir/work"
rm -rf "$work"
mkdir -p "$work"
out="${OUT_DIR:-$work}/out"

# Runs a command (output discarded); prints "wall maxrss_kb". zip -u says 12
# when there was nothing to do.
once() {
    local status=0
    /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" || status=$?
    if [[ $status != 0 && ! ($status == 12 && $1 == zip) ]]; then
        echo "failed ($status): $*" >&2
        tail -5 "$work/stderr.txt" >&2
        exit 1
    fi
    sed '/^Command exited/d' "$work/time.txt"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "-"; else printf "%.2f", a / b }'; }

row() {  # row LABEL "ours_wall ours_kb" "zip_wall zip_kb"
    local label=$1 pw pk zw zk
    read -r pw pk <<<"$2"
    read -r zw zk <<<"$3"
    printf "%-28s %8s %9d %9d %8s %9d %9d %7s %7s\n" "$label" "$pw" $((pk / 1024)) \
        $((pk * 1024 / count)) "$zw" $((zk / 1024)) $((zk * 1024 / count)) \
        "$(ratio "$pw" "$zw")" "$(ratio "$pk" "$zk")"
}
touch_some() { awk 'NR % 100 == 0' "$list" | tr '\n' '\0' | xargs -0 touch; }

p="$work/pk.zip"
z="$work/zip.zip"
echo "Machine: $(nproc) cores; $count files, $(du -s --apparent-size -m "$dir/tree" | cut -f1) MiB;" \
    "load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf "%-28s %8s %9s %9s %8s %9s %9s %7s %7s\n" work ours_s ours_MB B/file zip_s zip_MB B/file \
    t/zip rss/zip
pb=$(once "$archiver" -add=all -lev=6 -path=full "$p" "@$list")
zb=$(once zip -q -6 -@ "$z" <"$list")
row "backup, level 6" "$pb" "$zb"
pu=$(once "$archiver" -add=update -lev=6 -path=full "$p" "@$list")
zu=$(once zip -q -u -6 -@ "$z" <"$list")
row "update-only, nothing changed" "$pu" "$zu"
touch_some
pt=$(once "$archiver" -add=update -lev=6 -path=full "$p" "@$list")
touch_some
zt=$(once zip -q -u -6 -@ "$z" <"$list")
row "update-only, 1 % touched" "$pt" "$zt"
rm -rf "$out"
pr=$(once "$archiver" -extract=all -dir=relative "$p" "$out")
rm -rf "$out"
zr=$(once unzip -q -o "$z" -d "$out")
rm -rf "$out"
row "restore" "$pr" "$zr"
pl=$(once "$archiver" -view=brief "$p")
zl=$(once unzip -l "$z")
row "listing (-view=brief, -l)" "$pl" "$zl"
echo "archive sizes: ours $(stat -c %s "$p"), zip $(stat -c %s "$z")"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
rm -rf "$work"
