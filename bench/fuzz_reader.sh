#!/usr/bin/env bash
# Fuzzes the archiver's read side with libFuzzer under ASan and UBSan.
#
#   bench/fuzz_reader.sh [SECONDS] [WORK_DIR] [read|decrypt]
#
# Seeds: archives made by zip (plain, split member, streamed), Python and
# PKZIP25.EXE itself. Findings (crash-*, leak-*, timeout-*) land in WORK_DIR.
# "decrypt" fuzzes the AES read side instead (ArchiverDecryptFuzz, password
# "fuzz"), seeded with AES archives of PKZIP25.EXE (build/program) and 7-Zip;
# its work folder defaults to /tmp/pkzip-decrypt-fuzz-work.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
src="$here/../tools"
seconds="${1:-180}"
target="${3:-read}"
if [[ $target == decrypt ]]; then
    work="${2:-/tmp/pkzip-decrypt-fuzz-work}"
    fuzzer="$here/fuzz/ArchiverDecryptFuzz.cpp"
else
    work="${2:-/tmp/pkzip-fuzz-work}"
    fuzzer="$here/fuzz/ArchiverReadFuzz.cpp"
fi
mkdir -p "$work/corpus" "$work/seeds"

# Every unit of the archiver but its main, so the fuzzer links whatever the
# reader comes to call.
units=()
while IFS= read -r unit; do units+=("$unit"); done < <(find "$src/archiver" -name '*.cpp' ! -name main.cpp | sort)
# and the OS layer it stands on, this system's side of it
while IFS= read -r unit; do units+=("$unit"); done < <(find "$src/../src/platform/os" -name '*.cpp' ! -name 'Win32*' | sort)
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$src/archiver" -I"$src/interpreter" -I"$src/../src" \
    "$fuzzer" "${units[@]}" "$src/interpreter/PathCase.cpp" \
    "$src/../src/platform/CaseFold.cpp" "$src/../src/platform/CaseTables.cpp" \
    "$src/../src/platform/NativeText.cpp" \
    $(pkg-config --cflags --libs libzip libdeflate libcrypto) -lz -pthread -o "$work/fuzz"

if [[ $target == decrypt && -z "$(ls -A "$work/seeds")" ]]; then
    s="$work/seeds"
    tmp=$(mktemp -d)
    archiver="$here/../build/program/PKZIP25.EXE"
    (cd "$tmp" && printf 'hello hello hello\n' >a.txt && mkdir d && seq 1 300 >d/n.txt &&
        : >empty && head -c 700 /dev/urandom >d/noise &&
        printf '%s\n' "$tmp/a.txt" "$tmp/d" "$tmp/d/n.txt" "$tmp/empty" "$tmp/d/noise" >list &&
        "$archiver" -add=all -path=full -password-fd=3 "$s/ours.zip" @list 3<<<fuzz >/dev/null &&
        "$archiver" -add=all -path=full -lev=0 -password-fd=3 "$s/ours-stored.zip" @list \
            3<<<fuzz >/dev/null &&
        7z a -tzip -mem=AES256 -pfuzz "$s/7z.zip" a.txt d empty >/dev/null &&
        7z a -tzip -mem=AES128 -pfuzz "$s/7z-128.zip" a.txt >/dev/null)
    rm -rf "$tmp"
fi

if [[ -z "$(ls -A "$work/seeds")" ]]; then
    s="$work/seeds"
    tmp=$(mktemp -d)
    (cd "$tmp" && printf 'hello hello hello\n' >a.txt && mkdir d && seq 1 300 >d/n.txt &&
        zip -q "$s/plain.zip" a.txt d d/n.txt && zip -q -0 "$s/stored.zip" a.txt &&
        zip -q -z "$s/comment.zip" a.txt <<<"a comment" &&
        printf 'data\n' | zip -q - - >"$s/stream.zip" &&
        { printf 'MZ stub'; cat "$s/plain.zip"; } >"$s/prefixed.zip")
    python3 - "$s" <<'PY'
import sys, zipfile, struct
s = sys.argv[1]
with zipfile.ZipFile(s + "/py.zip", "w", zipfile.ZIP_DEFLATED) as z:
    i = zipfile.ZipInfo("t/ntfs.txt", (2000, 1, 1, 0, 0, 0))
    i.extra = struct.pack("<HHIHHQQQ", 10, 32, 0, 1, 24, 1, 2, 3)
    z.writestr(i, "x" * 100)
    i = zipfile.ZipInfo("dos\\name.txt"); i.create_system = 0
    z.writestr(i, "y")
    z.writestr("STOWAWAY-HEADER.TXT", "header")
with zipfile.ZipFile(s + "/z64.zip", "w", allowZip64=True) as z:
    with z.open("big", "w", force_zip64=True) as f:
        f.write(b"z" * 1000)
class Stream:  # unseekable: data descriptors, Zip64 ones where forced
    def __init__(self, f): self.f = f
    def write(self, b): return self.f.write(b)
    def flush(self): self.f.flush()
with open(s + "/z64-stream.zip", "wb") as raw:
    z = zipfile.ZipFile(Stream(raw), "w", zipfile.ZIP_DEFLATED)
    for k in range(2):
        with z.open("s%d.txt" % k, "w", force_zip64=k == 0) as f:
            f.write(b"stream %d\n" % k * 50)
    z.close()
PY
    rm -rf "$tmp"
fi
"$work/fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
    -artifact_prefix="$work/" -print_final_stats=1 "$work/corpus" "$work/seeds" </dev/null 2>&1 |
    tail -25
