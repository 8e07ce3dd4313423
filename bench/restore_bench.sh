#!/usr/bin/env bash
# Restore only: PKZIP25.EXE against unzip, on the same archives (made once by
# Info-ZIP zip at level 6), runs alternated, medians of RUNS runs.
#
#   bench/restore_bench.sh [CORPUS_DIR] [PROGRAM_DIR] [RUNS]
#
# CORPUS_DIR (default /tmp/stowaway-restore-corpus) gets the source and large
# sets of make_corpus.py, a mixed set of 500 files of 0.2-1.8 MB (every other
# one incompressible), and a set of 100,000 small files in 1,000 folders.
# SETS="source large" limits the run to some of the sets. OUT_DIR puts the
# restored files elsewhere: on a tmpfs (/dev/shm) the run shows the tools' own
# work. On ext4 without a journal, file creation after many deletions is
# dominated by the kernel skipping recently deleted inodes for hours, so
# small-file times there spread widely for both tools.
# Prints the wall-time medians, their spread, and ours / unzip's.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
source "$here/bench_lib.sh"
corpus="${1:-/tmp/stowaway-restore-corpus}"
program="${2:-$here/../build/program}"
runs="${3:-3}"
bench_archiver "$program"

# 100,000 small files in 1,000 folders, and their list.
make_small_set() {
    python3 - "$corpus/small" <<'EOF'
import os, random, sys
rng = random.Random(20240608)
words = "alpha beta gamma delta note item line value key list".split()
for d in range(1000):
    folder = os.path.join(sys.argv[1], "d%03d" % (d // 100), "f%04d" % d)
    os.makedirs(folder, exist_ok=True)
    for f in range(100):
        n = rng.randint(20, 500)
        text = " ".join(rng.choice(words) for _ in range(n // 5 + 1))[:n]
        with open(os.path.join(folder, "n%03d.txt" % f), "w") as out:
            out.write(text)
EOF
    (cd "$corpus/small" && find . -type f | sort) >"$corpus/small.lst"
}
bench_corpus "$corpus" make_small_set
if [[ ! -d "$corpus/mixed" ]]; then
    python3 - "$corpus/mixed" <<'EOF'
import os, random, sys
rng = random.Random(7)
words = "alpha beta gamma delta record value index table log entry".split()
for i in range(500):
    d = os.path.join(sys.argv[1], "g%02d" % (i // 50))
    os.makedirs(d, exist_ok=True)
    n = rng.randint(200_000, 1_800_000)
    with open(os.path.join(d, "f%04d.bin" % i), "wb") as f:
        if i % 2:
            f.write(rng.randbytes(n))
        else:
            text = " ".join(rng.choice(words) + str(rng.randint(0, 999)) for _ in range(n // 9))
            f.write(text.encode()[:n])
EOF
fi
work="$corpus/work"
mkdir -p "$work"
out="${OUT_DIR:-$work}/out"

wall() {  # prints the wall seconds of a command
    /usr/bin/time -f "%e" -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" || {
        echo "failed: $*" >&2; cat "$work/stderr.txt" >&2; exit 1; }
    cat "$work/time.txt"
}
spread() { sort -n | awk 'NR == 1 {lo = $1} {hi = $1} END {printf "%s-%s", lo, hi}'; }

echo "Machine: $(nproc) cores, load average $(load_average)"
printf "%-7s %9s %13s %9s %13s %7s\n" set unzip_s spread ours_s spread ratio
for set in ${SETS:-source large mixed small}; do
    z="$work/$set.zip"
    if [[ ! -f "$z" ]]; then
        if [[ $set == small ]]; then
            (cd "$corpus/small" && zip -q -6 -@ "$z" <"$corpus/small.lst")
        elif [[ $set == mixed ]]; then
            (cd "$corpus/mixed" && zip -q -r -6 "$z" .)
        else
            zip -q -6 -@ "$z" <"$corpus/$set.lst"
        fi
    fi
    : >"$work/u.txt"; : >"$work/p.txt"
    for ((i = 0; i < runs; i++)); do
        rm -rf "$out"; sync
        wall unzip -q -o "$z" -d "$out" >>"$work/u.txt"
        rm -rf "$out"; sync
        wall "$archiver" -extract=all -dir=relative "$z" "$out" >>"$work/p.txt"
    done
    rm -rf "$out"
    um=$(median <"$work/u.txt"); pm=$(median <"$work/p.txt")
    printf "%-7s %9s %13s %9s %13s %7s\n" "$set" "$um" "$(spread <"$work/u.txt")" "$pm" \
        "$(spread <"$work/p.txt")" "$(awk -v a="$pm" -v b="$um" 'BEGIN {printf "%.3f", a / b}')"
done
echo "Load average at the end: $(load_average)"
