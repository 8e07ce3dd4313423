# Shared by the archiver's benchmarks; sourced, never run on its own.

bench_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# bench_archiver PROGRAM_DIR: sets $archiver, or ends the run when it is not built.
bench_archiver() {
    archiver="$1/PKZIP25.EXE"
    [[ -x "$archiver" ]] || { echo "no archiver at $archiver (build target PKZIP25)" >&2; exit 1; }
}

# bench_corpus DIR [COMMAND...]: make_corpus.py's corpus in DIR, made anew unless
# a run finished it; COMMAND adds to a new one before it counts as finished.
bench_corpus() {
    local corpus=$1
    shift
    [[ -f "$corpus/.complete" ]] && return 0
    echo "Generating corpus in $corpus ..."
    rm -rf "$corpus"
    python3 "$bench_dir/make_corpus.py" "$corpus"
    if (($#)); then "$@"; fi
    touch "$corpus/.complete"
}

# The median of the numbers on standard input, one a line.
median() { grep . | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
# A / B to three places; "-" when B is 0.
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b == 0) print "-"; else printf "%.3f", a / b }'; }
load_average() { cut -d' ' -f1-3 /proc/loadavg; }
