#!/usr/bin/env bash
# Times PKZIP25.EXE's backups and updates against Info-ZIP zip, 7-Zip and pigz
# on a deterministic corpus.
#
#   bench/archiver_bench.sh [CORPUS_DIR] [PROGRAM_DIR] [SETS] [REPS] [PARTS]
#
# CORPUS_DIR (default /tmp/stowaway-bench-corpus) is made by make_corpus.py
# when it does not hold a corpus yet (source ~20,000 files/300 MB, large
# ~2,000 files/1 GB half incompressible, small 100,000 files of 20-500 bytes);
# archives go to CORPUS_DIR/work. PROGRAM_DIR is the build's program folder
# (default build/program). SETS (default "source large small") picks the
# sets; REPS (default 3) the runs per measurement, alternated between tools,
# of which the median is shown; PARTS (default "backup update shapes") which
# measurements ("shapes": two files whose start, or each megabyte's start,
# does not compress while the rest does; sizes at levels 1, 6 and 9 beside zip). Columns: wall and CPU seconds, archive size,
# peak resident size, and wall time and size as a ratio to Info-ZIP at the
# same level (below 1 is better). The load average is printed with each set:
# on a shared machine compare ratios, not seconds.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
source "$here/bench_lib.sh"
corpus="${1:-/tmp/stowaway-bench-corpus}"
program="${2:-$here/../build/program}"
sets="${3:-source large small}"
reps="${4:-3}"
what="${5:-backup update shapes}"  # which parts to run
bench_archiver "$program"
command -v zip >/dev/null || { echo "needs zip" >&2; exit 1; }

bench_corpus "$corpus"
work="$corpus/work"
rm -rf "$work"
mkdir -p "$work"

# Runs a command (output discarded); prints "wall cpu maxrss_kb".
once() {
    local out="$work/time.txt"
    local status=0
    /usr/bin/time -f "%e %U %S %M" -o "$out" "$@" >/dev/null 2>"$work/stderr.txt" || status=$?
    # zip -u says 12 when there was nothing to do.
    if [[ $status != 0 && ! ($status == 12 && $1 == zip) ]]; then
        echo "failed ($status): $*" >&2
        tail -5 "$work/stderr.txt" >&2
        return 1
    fi
    sed -i '/^Command exited/d' "$out"
    awk '{printf "%.2f %.2f %d\n", $1, $2 + $3, $4}' "$out"
}

size_of() { stat -c %s "$1"; }

declare -A WALL CPU RSS SIZE
# record KEY PREP_FN ARCHIVE CMD...: one run, appended to KEY's samples.
record() {
    local key=$1 prep=$2 archive=$3
    shift 3
    $prep
    read -r w c m < <(once "$@")
    WALL[$key]+="$w "
    CPU[$key]+="$c "
    RSS[$key]+="$m "
    [[ -n "$archive" && -f "$archive" ]] && SIZE[$key]=$(size_of "$archive") || SIZE[$key]=0
}
med() { tr ' ' '\n' <<<"$1" | median; }

row() {  # row LABEL KEY BASEKEY
    local label=$1 key=$2 base=$3
    local w c m s
    w=$(med "${WALL[$key]}")
    c=$(med "${CPU[$key]}")
    m=$(med "${RSS[$key]}")
    s=${SIZE[$key]}
    local tr="" sr=""
    if [[ -n "$base" ]]; then
        tr=$(ratio "$w" "$(med "${WALL[$base]}")")
        [[ "$s" != 0 ]] && sr=$(ratio "$s" "${SIZE[$base]}")
    fi
    printf "%-34s %8s %8s %12s %8s %8s %8s   [%s]\n" "$label" "$w" "$c" "$s" "$((m / 1024))" \
        "$tr" "$sr" "$(med_spread "${WALL[$key]}")"
}
med_spread() { tr ' ' '\n' <<<"$1" | grep . | sort -n | paste -sd' '; }

fresh() { rm -f "$work"/*.zip "$work"/*.tgz; }
nothing() { :; }

echo "Machine: $(nproc) cores; $(zip -v | sed -n 2p | cut -c1-40); 7z $(7z | sed -n 2p | cut -d' ' -f3)"
for set in $sets; do
    list="$corpus/$set.lst"
    [[ -f "$list" ]] || { echo "no $list" >&2; continue; }
    files=$(wc -l <"$list")
    bytes=$(tr '\n' '\0' <"$list" | xargs -0 stat -c %s | awk '{s += $1} END {print s}')
    echo
    echo "== $set: $files files, $((bytes / 1048576)) MiB; load average $(load_average)"
    printf "%-34s %8s %8s %12s %8s %8s %8s   %s\n" work wall_s cpu_s size rss_MB t/zip size/zip "walls"
    unset WALL CPU RSS SIZE
    declare -A WALL CPU RSS SIZE
    levels="1 6 9"
    [[ "$set" == small ]] && levels="6"
    nul="$work/$set.nul"
    tr '\n' '\0' <"$list" >"$nul"
    for ((r = 0; r < reps; ++r)); do
        [[ "$what" == *backup* ]] || break
        for level in $levels; do
            z="$work/zip-$level.zip"
            p="$work/pk-$level.zip"
            record "zip$level" fresh "$z" zip -q -"$level" -@ "$z" <"$list"
            record "pk$level" fresh "$p" "$archiver" -add=all -lev="$level" -path=full "$p" "@$list"
        done
        if [[ "$set" != small ]] && command -v 7z >/dev/null; then
            record "7z1" fresh "$work/7z1.zip" 7z a -tzip -mx1 -mmt2 "$work/7z1.zip" "@$list"
            record "7z5" fresh "$work/7z5.zip" 7z a -tzip -mx5 -mmt2 "$work/7z5.zip" "@$list"
        fi
        if [[ "$set" != small ]] && command -v pigz >/dev/null; then
            record "pigz" fresh "$work/p.tgz" sh -c 'tar --null -T "$1" -cf - 2>/dev/null | pigz -p2 -6 > "$2"' \
                _ "$nul" "$work/p.tgz"
        fi
    done
    for level in $levels; do
        [[ "$what" == *backup* ]] || break
        row "backup zip -$level" "zip$level" ""
        row "backup PKZIP25 -lev=$level" "pk$level" "zip$level"
    done
    [[ -n "${WALL[7z1]:-}" ]] && row "backup 7z -tzip -mx1 -mmt2" 7z1 zip6
    [[ -n "${WALL[7z5]:-}" ]] && row "backup 7z -tzip -mx5 -mmt2" 7z5 zip6
    [[ -n "${WALL[pigz]:-}" ]] && row "backup tar | pigz -p2 -6" pigz zip6

    # Updates at level 6: nothing changed, then 1 % of the files newer.
    [[ "$what" == *update* ]] || continue
    z="$work/u-zip.zip"
    p="$work/u-pk.zip"
    zip -q -6 -@ "$z" <"$list"
    "$archiver" -add=all -lev=6 -path=full "$p" "@$list" >/dev/null
    for ((r = 0; r < reps; ++r)); do
        record "zipu0" nothing "$z" zip -q -u -6 -@ "$z" <"$list"
        record "pku0" nothing "$p" "$archiver" -add=update -lev=6 -path=full "$p" "@$list"
    done
    touch_some() { awk 'NR % 100 == 0' "$list" | tr '\n' '\0' | xargs -0 touch; }
    for ((r = 0; r < reps; ++r)); do
        record "zipu1" touch_some "$z" zip -q -u -6 -@ "$z" <"$list"
        record "pku1" touch_some "$p" "$archiver" -add=update -lev=6 -path=full "$p" "@$list"
    done
    row "update, nothing changed: zip -u" zipu0 ""
    row "update, nothing changed: PKZIP25" pku0 zipu0
    row "update, 1 % changed: zip -u" zipu1 ""
    row "update, 1 % changed: PKZIP25" pku1 zipu1
    rm -f "$work"/*.zip "$work"/*.tgz
    echo "load average at the end: $(load_average)"
done

# Files whose compressibility changes within them: the archive must be no
# larger than zip's at the same level.
if [[ "$what" == *shapes* ]]; then
    shapes="$corpus/shapes"
    if [[ ! -f "$shapes/.complete" ]]; then
        mkdir -p "$shapes"
        python3 - "$shapes" <<'PY'
import os, random, sys
rng = random.Random(19)
mib = 1 << 20
def noise(n): return rng.randbytes(n)
def text(n):
    words = "backup archive volume entry header record stream piece level".split()
    out = []
    size = 0
    while size < n:
        line = " ".join(rng.choice(words) for _ in range(10)) + "\n"
        out.append(line)
        size += len(line)
    return "".join(out).encode()[:n]
open(os.path.join(sys.argv[1], "noise9-zeros7.bin"), "wb").write(noise(9 * mib) + bytes(7 * mib))
open(os.path.join(sys.argv[1], "striped.bin"), "wb").write(
    b"".join(noise(16 << 10) + text(mib - (16 << 10)) for _ in range(16)))
PY
        touch "$shapes/.complete"
    fi
    echo
    echo "== shapes: archive sizes beside zip at the same level"
    printf "%-20s %6s %12s %12s %8s\n" file level zip PKZIP25 size/zip
    for f in "$shapes"/*.bin; do
        for level in 1 6 9; do
            rm -f "$work/s-zip.zip" "$work/s-pk.zip"
            zip -q -"$level" "$work/s-zip.zip" "$f"
            "$archiver" -add=all -lev="$level" -path=full "$work/s-pk.zip" "$f" >/dev/null
            zs=$(size_of "$work/s-zip.zip")
            ps=$(size_of "$work/s-pk.zip")
            printf "%-20s %6s %12s %12s %8s\n" "$(basename "$f")" "$level" "$zs" "$ps" "$(ratio "$ps" "$zs")"
        done
    done
    rm -f "$work"/s-*.zip
fi
