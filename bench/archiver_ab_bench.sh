#!/usr/bin/env bash
# Times two builds of PKZIP25.EXE against each other on one tree, in turns so
# that the machine's load falls on both alike: a backup, an update that finds
# nothing new, an update of a few changed files and a restore.
#
#   bench/archiver_ab_bench.sh A_EXE B_EXE [TREE] [REPS]
#
# TREE (default /usr/include) is copied once into a work folder; REPS (default
# 5) runs of each step per build. Prints per step the median CPU seconds (user
# plus system) and wall seconds of each, and B's CPU as a ratio of A's (below
# 1: B is cheaper). On a shared machine compare the ratios, not the seconds.
set -euo pipefail
a_exe=$(realpath "$1")
b_exe=$(realpath "$2")
tree=${3:-/usr/include}
reps=${4:-5}
work=$(mktemp -d /tmp/archiver-ab.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp -r "$tree" "$work/tree"
find "$work/tree" -type f | sort >"$work/list.txt"
echo "tree: $tree ($(wc -l <"$work/list.txt") files, $(du -sh "$work/tree" | cut -f1)); load $(cut -d' ' -f1-3 /proc/loadavg)"

# Runs a command; appends "cpu wall" to FILE.
timed() {
  local file=$1
  shift
  /usr/bin/time -f "%U %S %e" -o "$work/t" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  awk '{ printf "%.3f %.3f\n", $1 + $2, $3 }' "$work/t" >>"$file"
}

steps=(backup unchanged changed restore)
for ((r = 0; r < reps; ++r)); do
  for who in a b; do
    exe=${who}_exe
    exe=${!exe}
    zip=$work/$who.zip
    rm -f "$zip"
    timed "$work/$who.backup" "$exe" -add=all -path=full "$zip" "@$work/list.txt"
    timed "$work/$who.unchanged" "$exe" -add=update -path=full "$zip" "@$work/list.txt"
    # A few files newer than the archive's copies.
    sed -n '1~500p' "$work/list.txt" | xargs touch -d '+1 minute'
    timed "$work/$who.changed" "$exe" -add=update -path=full "$zip" "@$work/list.txt"
    rm -rf "$work/out"
    timed "$work/$who.restore" "$exe" -extract=all -dir=relative "$zip" "$work/out"
    find "$work/tree" -type f -exec touch -d '-1 day' {} +
  done
done

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf '%-10s %10s %10s %10s %10s %8s\n' step "A cpu" "B cpu" "A wall" "B wall" "B/A cpu"
for step in "${steps[@]}"; do
  ac=$(cut -d' ' -f1 "$work/a.$step" | median)
  bc=$(cut -d' ' -f1 "$work/b.$step" | median)
  aw=$(cut -d' ' -f2 "$work/a.$step" | median)
  bw=$(cut -d' ' -f2 "$work/b.$step" | median)
  printf '%-10s %10s %10s %10s %10s %8s\n' "$step" "$ac" "$bc" "$aw" "$bw" \
    "$(awk -v a="$ac" -v b="$bc" 'BEGIN { printf "%.3f", (a > 0 ? b / a : 0) }')"
done
