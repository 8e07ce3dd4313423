#!/usr/bin/env bash
# An automated backup of the benchmark corpus, timed against the archiver alone
# on the same list, and the folder walk against find.
#
#   bench/engine_bench.sh [CORPUS_DIR] [BUILD_DIR] [ROUNDS]
#
# CORPUS_DIR (default /tmp/stowaway-engine-corpus) is made by make_corpus.py
# (20,000 source files) when it does not hold a corpus yet. BUILD_DIR is the
# build folder (default build). The backup's own cost is the walk, the work
# files, the log and the wait; "overhead" is its wall time over the archiver's.
# The walk_bench and wait_bench targets add the walk and the wait on their own.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
corpus="${1:-/tmp/stowaway-engine-corpus}"
build="${2:-$here/../build}"
rounds="${3:-3}"
for tool in stowaway PKZIP25.EXE stowaway-cmd; do
    [[ -x "$build/program/$tool" ]] || { echo "no $tool in $build/program" >&2; exit 1; }
done

if [[ ! -f "$corpus/.complete" ]]; then
    echo "Generating corpus in $corpus ..."
    rm -rf "$corpus"
    python3 "$here/make_corpus.py" "$corpus" --files 20000 --source-mb 100 --large-mb 1
    touch "$corpus/.complete"
fi

program="$corpus/program"
rm -rf "$program"
mkdir -p "$program"
cp "$build/program/stowaway" "$build/program/PKZIP25.EXE" "$build/program/stowaway-cmd" "$program/"
archive="$corpus/work/Bench.zip"
mkdir -p "$corpus/work"
printf '"MAX=0"\r\n"LOGPATH=%s/Log.txt"\r\n"LOGVIEW=true"\r\n"SNAME=Bench"\r\n"SBLOC=%s"\r\n"SRLOC=%s"\r\n"SCOMP=5"\r\n"SUPDATE=0"\r\n"SMULTI=0"\r\n"SFOLDMAX=1"\r\n"SFILEMAX=0"\r\n"SFOLD=R+ %s/source/*.*"\r\n' \
    "$program" "$archive" "$corpus/work" "$corpus" >"$program/Stowaway.dat"

seconds() { /usr/bin/time -f "%e %U %S" -o "$corpus/work/time.txt" "$@" >/dev/null 2>&1 || true; cat "$corpus/work/time.txt"; }

echo "Machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
abu_wall=(); zip_wall=(); abu_cpu=(); zip_cpu=()
for ((i = 0; i < rounds; i++)); do
    rm -f "$archive"
    read -r w u s < <(seconds env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        "$program/stowaway" -abu bench)
    abu_wall+=("$w"); abu_cpu+=("$(awk -v u="$u" -v s="$s" 'BEGIN{print u+s}')")
    # The same archiver line on the list the backup wrote, without the program around it.
    rm -f "$archive"
    read -r w u s < <(seconds "$program/PKZIP25.EXE" -default -add=all \
        "-header=@$program/SWHeader.dat" "-temp=$program" -lev=5 -path=full -nofix \
        "$archive" "@$program/SWTemp.lst")
    zip_wall+=("$w"); zip_cpu+=("$(awk -v u="$u" -v s="$s" 'BEGIN{print u+s}')")
done
files=$(wc -l <"$program/SWTemp.lst")
done_lines=$(grep -c "done\." "$program/SWTemp.dat" || true)
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
aw=$(median "${abu_wall[@]}"); zw=$(median "${zip_wall[@]}")
ac=$(median "${abu_cpu[@]}"); zc=$(median "${zip_cpu[@]}")
echo
echo "== automated backup of $files files ($done_lines stored in the last run), $rounds rounds, medians"
echo "stowaway -abu (walk, work files, interpreter, archiver, wait, log): wall ${aw}s, cpu ${ac}s"
echo "PKZIP25.EXE alone on the same list:                               wall ${zw}s, cpu ${zc}s"
awk -v a="$aw" -v z="$zw" 'BEGIN { printf "overhead: %.1f %% of the archiver'"'"'s wall time\n", (a / z - 1) * 100 }'
tail -3 "$program/Log.txt" | sed 's/^/log: /'

echo
echo "== folder walk"
if [[ -x "$build/bench/walk_bench" ]]; then
    "$build/bench/walk_bench" --rounds 7 "$corpus/source"
else
    echo "build the walk_bench target for the walk comparison"
fi
echo
echo "== waiting for a long archiver run"
if [[ -x "$build/bench/wait_bench" ]]; then
    "$build/bench/wait_bench" 5
else
    echo "build the wait_bench target for the cost of waiting"
fi
