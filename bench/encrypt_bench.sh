#!/usr/bin/env bash
# Encrypted against plain: PKZIP25.EXE backs up the source corpus (about
# 20,000 files, 300 MB; make_corpus.py) and restores it, each with and
# without -password-fd (AES-256, WinZip AE-2), runs alternated, medians of
# RUNS runs. Every encrypted entry costs a key derivation (PBKDF2, 1,000
# rounds) when written, again in the check after writing, and once when
# restored: the extra CPU time per file is shown too. For reference, 7-Zip's
# own cost for the same format on the same files: 7z a -tzip -mx=5 with and
# without -mem=AES256, alternated in the same run.
#
#   bench/encrypt_bench.sh [CORPUS_DIR] [PROGRAM_DIR] [RUNS] [LEVEL]
#
# CORPUS_DIR defaults to /tmp/stowaway-bench-corpus (archiver_bench.sh's);
# archives and restored files go to CORPUS_DIR/encrypt-work (OUT_DIR elsewhere,
# such as /dev/shm). Prints wall and CPU seconds, archive sizes and the ratios
# encrypted / plain; on a shared machine compare the ratios, not seconds.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
source "$here/bench_lib.sh"
corpus="${1:-/tmp/stowaway-bench-corpus}"
program="${2:-$here/../build/program}"
runs="${3:-3}"
level="${4:-6}"
bench_archiver "$program"

bench_corpus "$corpus"
work="${OUT_DIR:-$corpus/encrypt-work}"
rm -rf "$work"
mkdir -p "$work"
list="$work/source.lst"
sed "s|^\\./|$corpus/source/|; s|^source/|$corpus/source/|" "$corpus/source.lst" >"$list"
head -1 "$list" | grep -q "^/" || { echo "cannot make absolute paths of $corpus/source.lst" >&2; exit 1; }
password="bench password, not a secret"
with7z=0
command -v 7z >/dev/null && with7z=1

# once KIND ACTION: one timed run; prints "wall cpu".
once() {
    local kind=$1 action=$2 zip="$work/$1.zip" pw=() status=0
    [[ $kind == aes ]] && pw=(-password-fd=3)
    [[ $kind == 7z-aes ]] && pw=(-mem=AES256 "-p$password")
    if [[ $kind == 7z-* ]]; then
        rm -f "$zip"
        /usr/bin/time -f "%e %U %S" -o "$work/time" 7z a -tzip -mx=5 -bd "${pw[@]}" "$zip" \
            "@$list" >"$work/out" 2>&1 || status=$?
    elif [[ $action == backup ]]; then
        rm -f "$zip"
        /usr/bin/time -f "%e %U %S" -o "$work/time" "$archiver" -add=all -lev="$level" -path=full \
            "${pw[@]}" "$zip" "@$list" >"$work/out" 2>&1 3<<<"$password" || status=$?
    else
        rm -rf "$work/restored-$kind"
        /usr/bin/time -f "%e %U %S" -o "$work/time" "$archiver" -extract=all -dir=relative \
            "${pw[@]}" "$zip" "$work/restored-$kind" >"$work/out" 2>&1 3<<<"$password" || status=$?
    fi
    if [[ $status != 0 ]]; then
        echo "failed ($status): $kind $action" >&2
        tail -5 "$work/out" >&2
        exit 1
    fi
    awk '{printf "%.2f %.2f\n", $1, $2 + $3}' "$work/time"
}

declare -A WALL CPU
for action in backup restore; do
    for ((r = 0; r < runs; ++r)); do
        kinds=(plain aes)
        [[ $action == backup && $with7z == 1 ]] && kinds+=(7z-plain 7z-aes)
        for kind in "${kinds[@]}"; do
            read -r w c < <(once "$kind" "$action")
            WALL[$kind-$action]+="$w"$'\n'
            CPU[$kind-$action]+="$c"$'\n'
        done
    done
done
cmp -s <(cd "$work/restored-plain" && find . -type f -exec md5sum {} + | sort) \
    <(cd "$work/restored-aes" && find . -type f -exec md5sum {} + | sort) ||
    { echo "the encrypted restore differs from the plain one" >&2; exit 1; }

files=$(wc -l <"$list")
echo "Source corpus: $files files, level $level, $runs runs each (medians), load: $(load_average)"
printf "%-8s %10s %10s %10s %10s %12s %12s %9s %9s\n" action "plain s" "aes s" "plain cpu" "aes cpu" \
    "plain bytes" "aes bytes" "wall x" "cpu x"
for action in backup restore; do
    pw=$(median <<<"${WALL[plain-$action]}")
    aw=$(median <<<"${WALL[aes-$action]}")
    pc=$(median <<<"${CPU[plain-$action]}")
    ac=$(median <<<"${CPU[aes-$action]}")
    printf "%-8s %10s %10s %10s %10s %12s %12s %9s %9s\n" "$action" "$pw" "$aw" "$pc" "$ac" \
        "$(stat -c %s "$work/plain.zip")" "$(stat -c %s "$work/aes.zip")" \
        "$(ratio "$aw" "$pw")" "$(ratio "$ac" "$pc")"
    awk -v a="$ac" -v p="$pc" -v n="$files" -v what="$action" \
        'BEGIN { printf "  %s: %.3f ms more CPU per file\n", what, (a - p) * 1000 / n }'
done
if [[ $with7z == 1 ]]; then
    pc=$(median <<<"${CPU[7z-plain-backup]}")
    ac=$(median <<<"${CPU[7z-aes-backup]}")
    printf "%-8s %10s %10s %10s %10s %12s %12s %9s %9s\n" "7z -mx=5" \
        "$(median <<<"${WALL[7z-plain-backup]}")" "$(median <<<"${WALL[7z-aes-backup]}")" \
        "$pc" "$ac" "$(stat -c %s "$work/7z-plain.zip")" "$(stat -c %s "$work/7z-aes.zip")" \
        "$(ratio "$(median <<<"${WALL[7z-aes-backup]}")" "$(median <<<"${WALL[7z-plain-backup]}")")" \
        "$(ratio "$ac" "$pc")"
fi
rm -rf "$work"
