#!/usr/bin/env bash
# An automated backup with kept versions on against the same backup with them
# off, interleaved in one run: keeping the previous archive is a hard link and a
# look at the folder, so the two should take the same time.
#
#   bench/versions_bench.sh [CORPUS_DIR] [BUILD_DIR] [ROUNDS]
#
# CORPUS_DIR (default /tmp/stowaway-versions-corpus) is made by make_corpus.py
# when it does not hold a corpus yet. Compare the ratio, not the seconds.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
corpus="${1:-/tmp/stowaway-versions-corpus}"
build="${2:-$here/../build}"
rounds="${3:-5}"
for tool in stowaway PKZIP25.EXE stowaway-cmd; do
    [[ -x "$build/program/$tool" ]] || { echo "no $tool in $build/program" >&2; exit 1; }
done

if [[ ! -f "$corpus/.complete" ]]; then
    echo "Generating corpus in $corpus ..."
    rm -rf "$corpus"
    python3 "$here/make_corpus.py" "$corpus" --files 5000 --source-mb 40 --large-mb 1 \
        --large-files 10 --small-files 1000
    touch "$corpus/.complete"
fi

program="$corpus/program"
rm -rf "$program" "$corpus/work"
mkdir -p "$program" "$corpus/work"
cp "$build/program/stowaway" "$build/program/PKZIP25.EXE" "$build/program/stowaway-cmd" "$program/"
archive="$corpus/work/Bench.zip"
printf '"MAX=0"\r\n"LOGPATH=%s/Log.txt"\r\n"LOGVIEW=true"\r\n"SNAME=Bench"\r\n"SBLOC=%s"\r\n"SRLOC=%s"\r\n"SCOMP=5"\r\n"SUPDATE=0"\r\n"SMULTI=0"\r\n"SFOLDMAX=1"\r\n"SFILEMAX=0"\r\n"SFOLD=R+ %s/source/*.*"\r\n' \
    "$program" "$archive" "$corpus/work" "$corpus" >"$program/Stowaway.dat"

wall() { /usr/bin/time -f "%e" -o "$corpus/time.txt" "$@" >/dev/null 2>&1 || true; cat "$corpus/time.txt"; }
backup=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program/stowaway" -abu bench)

echo "Machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
"${backup[@]}" 2>/dev/null  # the first archive, so that every timed run replaces one
stamp=1700000000
off=(); on=()
for ((i = 0; i < rounds; i++)); do
    # Each previous archive carries its own time, so no two dated names clash.
    stamp=$((stamp + 86400)); touch -d "@$stamp" "$archive"
    printf '[crate "Bench"]\nkeep = off\n' >"$program/Stowaway.ini"
    off+=("$(wall "${backup[@]}")")
    stamp=$((stamp + 86400)); touch -d "@$stamp" "$archive"
    inode=$(stat -c %i "$archive")
    printf '[crate "Bench"]\nkeep = 10\n' >"$program/Stowaway.ini"
    on+=("$(wall "${backup[@]}")")
    kept=$(ls "$corpus/work" | grep -c '^Bench-....-..-.._......\.zip$' || true)
    [[ "$(stat -c %i "$corpus/work/$(ls "$corpus/work" | grep '^Bench-' | sort | tail -1)")" == "$inode" ]] ||
        { echo "the kept archive is not the previous one's inode" >&2; exit 1; }
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
mo=$(median "${off[@]}"); mn=$(median "${on[@]}")
size=$(stat -c %s "$archive")
echo
echo "== automated backup, $rounds rounds each, interleaved, medians (archive $size bytes)"
echo "versions off: wall ${mo}s   (${off[*]})"
echo "versions on:  wall ${mn}s   (${on[*]})"
awk -v a="$mn" -v b="$mo" 'BEGIN { printf "ratio on/off: %.3f\n", a / b }'
echo "kept archives now: $kept (each the previous archive's inode, no copy)"
grep "Versions:" "$program/Log.txt" | tail -2 | sed 's/^/log: /'
