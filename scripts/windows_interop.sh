#!/usr/bin/env bash
# The Windows archiver and the Linux tools on each other's archives, under Wine:
# a tree with non-ASCII names, nested folders, an empty file, an empty folder
# and a 5 MB random file is backed up by the Windows PKZIP25.EXE; unzip, 7-Zip,
# bsdtar, Python's zipfile and the Linux PKZIP25.EXE read it back byte for byte.
# Archives made by zip and 7-Zip restore with the Windows archiver; an update
# and a split set go through too.
#   scripts/windows_interop.sh [WINDOWS_PKZIP25.EXE [LINUX_PKZIP25.EXE]]
# Prints one line per check and exits non-zero when one fails.
set -euo pipefail
cd "$(dirname "$0")/.."
windows_exe=${1:-${STOWAWAY_WINDOWS_BUILD:-$PWD/build-windows}/program/PKZIP25.EXE}
linux_exe=${2:-$PWD/build/program/PKZIP25.EXE}
cache=${STOWAWAY_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/stowaway-windows}
[ -f "$windows_exe" ] || { echo "no Windows archiver at $windows_exe (scripts/windows.sh build)" >&2; exit 2; }
for tool in wine unzip 7z bsdtar zip python3; do
  command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 2; }
done

export WINEPREFIX=$cache/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1
  wineserver -w
fi

work=$(mktemp -d)
cleanup() { rm -rf "$work"; wineserver -k >/dev/null 2>&1 || true; }
trap cleanup EXIT
failures=0
pass() { echo "ok    $*"; }
fail() { echo "FAIL  $*"; failures=$((failures + 1)); }
check() {  # check TEXT COMMAND...: runs COMMAND quietly, its output kept for a failure
  local text=$1 out=$work/check.out
  shift
  if "$@" >"$out" 2>&1; then pass "$text"; else fail "$text"; sed 's/^/      /' "$out" | tail -n 20; fi
}
# A Linux path as the Windows programs see it (Wine's Z: drive), with backslashes.
win() { echo "Z:${1//\//\\}"; }
winzip() { wine "$windows_exe" "$@"; }

tree=$work/tree
mkdir -p "$tree/Grüße" "$tree/日本語/データ" "$tree/a/b/c/d" "$tree/ÄRGER" "$tree/leer"
printf 'Ärger im Büro\n' >"$tree/Grüße/Ärger.txt"
printf 'こんにちは\n' >"$tree/日本語/データ/ファイル.txt"
printf 'deep\n' >"$tree/a/b/c/d/deep.txt"
printf 'Ελληνικά\n' >"$tree/ÄRGER/Ωμέγα.txt"
: >"$tree/empty.txt"
head -c 5242880 /dev/urandom >"$tree/random.bin"
list=$work/list.txt
# The list as the program writes it on Windows: full paths with backslashes,
# UTF-8, CRLF line ends; the empty folder listed as itself.
(cd "$tree" && find . -type f | sort) | while read -r f; do
  printf '%s\r\n' "$(win "$tree/${f#./}")"
done >"$list"
printf '%s\r\n' "$(win "$tree/leer")" >>"$list"
stored=${tree#/}  # the full path without its root, as -path=full stores it

# Compares every file of the tree with the entry of the same name in ARCHIVE.
compare_py() {
  python3 - "$1" "$tree" "$stored" <<'PY'
import os, sys, zipfile
archive, tree, stored = sys.argv[1:4]
with zipfile.ZipFile(archive) as z:
    bad = z.testzip()
    if bad:
        sys.exit(f"damaged entry {bad}")
    names = set(z.namelist())
    count = 0
    for root, dirs, files in os.walk(tree):
        for f in files:
            path = os.path.join(root, f)
            name = stored + "/" + os.path.relpath(path, tree)
            if name not in names:
                sys.exit(f"missing {name}")
            info = z.getinfo(name)
            if not name.isascii() and not info.flag_bits & 0x800:
                sys.exit(f"{name} lacks the UTF-8 flag")
            with open(path, "rb") as fh:
                if z.read(name) != fh.read():
                    sys.exit(f"{name} differs")
            count += 1
    if stored + "/leer/" not in names:
        sys.exit("the empty folder is missing")
    print(f"{count} files and the empty folder match")
PY
}

echo "== the Windows archiver writes, Linux reads"
archive=$work/win.zip
check "backup by the Windows PKZIP25.EXE under Wine" winzip -add=all -path=full "$(win "$archive")" "@$(win "$list")"
check "unzip -t" unzip -t "$archive"
check "7z t" 7z t "$archive"
check "bsdtar -tf" bsdtar -tf "$archive"
check "Python's zipfile: every file byte for byte, names flagged UTF-8" compare_py "$archive"
mkdir -p "$work/by-unzip" "$work/by-bsdtar" "$work/by-7z"
check "unzip extracts the same bytes" sh -c "unzip -q '$archive' -d '$work/by-unzip' && diff -r '$tree' '$work/by-unzip/$stored'"
check "bsdtar extracts the same bytes" sh -c "bsdtar -xf '$archive' -C '$work/by-bsdtar' && diff -r '$tree' '$work/by-bsdtar/$stored'"
check "7z extracts the same bytes" sh -c "7z x -y -o'$work/by-7z' '$archive' >/dev/null && diff -r '$tree' '$work/by-7z/$stored'"
if [ -x "$linux_exe" ]; then
  check "the Linux PKZIP25.EXE restores it" sh -c "'$linux_exe' -extract=all -dir=relative '$archive' '$work/by-linux' && diff -r '$tree' '$work/by-linux/$stored'"
fi
check "the Windows PKZIP25.EXE lists it" sh -c "wine '$windows_exe' -view=brief '$(win "$archive")' | tr -d '\r' | grep -q 'Ωμέγα.txt'"

echo "== Linux writes, the Windows archiver restores"
(cd "$work" && zip -qr "$work/by-zip.zip" tree)
(cd "$work" && 7z a -tzip "$work/by-7z.zip" tree >/dev/null)
for made in by-zip by-7z; do
  check "restore of $made.zip by the Windows PKZIP25.EXE" sh -c "wine '$windows_exe' -extract=all -dir=relative '$(win "$work/$made.zip")' '$(win "$work/restored-$made")' && diff -r '$tree' '$work/restored-$made/tree'"
done
if [ -x "$linux_exe" ]; then
  { find "$tree" -type f | sort; echo "$tree/leer"; } >"$work/list-linux.txt"
  check "backup by the Linux PKZIP25.EXE" "$linux_exe" -add=all -path=full "$work/by-linux-pkzip.zip" "@$work/list-linux.txt"
  check "restore of it by the Windows PKZIP25.EXE" sh -c "wine '$windows_exe' -extract=all -dir=relative '$(win "$work/by-linux-pkzip.zip")' '$(win "$work/restored-linux")' && diff -r '$tree' '$work/restored-linux/$stored'"
fi

echo "== an update and a split set"
printf 'changed\n' >"$tree/a/b/c/d/deep.txt"
touch -d '+1 hour' "$tree/a/b/c/d/deep.txt"
printf 'new\n' >"$tree/a/new.txt"
printf '%s\r\n' "$(win "$tree/a/new.txt")" >>"$list"
check "update by the Windows PKZIP25.EXE" winzip -add=update -path=full "$(win "$archive")" "@$(win "$list")"
check "unzip -t after the update" unzip -t "$archive"
check "Python's zipfile after the update: the changed and the new file" compare_py "$archive"
span=$work/span/set.zip
mkdir -p "$work/span"
check "split set of 1 MB volumes by the Windows PKZIP25.EXE" winzip -add=all -path=full -span=1m "$(win "$span")" "@$(win "$list")"
check "the set has its volumes" sh -c "ls '$work/span' | grep -q 'set.z05'"
check "7z t reads the set" 7z t "$span"
check "7z extracts the set's bytes" sh -c "7z x -y -o'$work/span-by-7z' '$span' >/dev/null && diff -r '$tree' '$work/span-by-7z/$stored'"
if [ -x "$linux_exe" ]; then
  check "the Linux PKZIP25.EXE restores the set" sh -c "'$linux_exe' -extract=all -dir=relative '$span' '$work/span-by-linux' && diff -r '$tree' '$work/span-by-linux/$stored'"
fi
check "the Windows PKZIP25.EXE restores the set" sh -c "wine '$windows_exe' -extract=all -dir=relative '$(win "$span")' '$(win "$work/restored-span")' && diff -r '$tree' '$work/restored-span/$stored'"

echo "== $failures failed"
[ "$failures" -eq 0 ]
