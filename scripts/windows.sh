#!/usr/bin/env bash
# Builds Stowaway's core and its tests for 64-bit Windows with mingw-w64 and runs
# the tests under Wine.
#   scripts/windows.sh setup   installs the cross compiler, Wine and the sources
#   scripts/windows.sh deps    builds libdeflate, GoogleTest, libcrypto and libzip
#                              for Windows, once
#   scripts/windows.sh build   the above, then the core and its tests into build-windows/
#   scripts/windows.sh test    the above, then runs the tests under Wine
#   scripts/windows.sh qt      builds Qt's base for Windows, once
#   scripts/windows.sh package the above, then the program and the zip of its folder
# The libraries are built into a cache outside the source tree, one folder per
# set of versions (STOWAWAY_WINDOWS_CACHE, default ~/.cache/stowaway-windows);
# Wine gets a prefix of its own there.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
cache=${STOWAWAY_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/stowaway-windows}
build_dir=${STOWAWAY_WINDOWS_BUILD:-$source_dir/build-windows}
triplet=x86_64-w64-mingw32
jobs=$(nproc)
[ "$jobs" -le 2 ] || jobs=2

sudo_cmd() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

setup() {
  # Wine 64-bit alone: the programs are 64-bit, so no i386 architecture is added.
  local packages=(g++-mingw-w64-x86-64-posix wine wine64 libz-mingw-w64-dev unicode-data
                  googletest cmake ninja-build dpkg-dev make perl pkg-config)
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

# Makes sure apt-get source finds Debian's source packages.
source_list() {
  apt-get source --print-uris libdeflate >/dev/null 2>&1 && return 0
  local list=/etc/apt/sources.list.d/stowaway-deb-src.sources
  sudo_cmd tee "$list" >/dev/null <<SOURCES
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  sudo_cmd apt-get update -qq
}

# Debian's source of a package, unpacked with Debian's patches as
# $cache/src/<package>-<version>; a third argument asks for that exact version.
debian_source() {
  local package=$1 version=$2 pinned=${3:-} dir=$cache/src
  if [ ! -d "$dir/$package-$version" ]; then
    source_list
    mkdir -p "$dir"
    (cd "$dir" && { [ -n "$pinned" ] && apt-get source -qq "$package=$pinned" >/dev/null 2>&1 ||
                    apt-get source -qq "$package" >/dev/null; })
    local found
    found=$(find "$dir" -maxdepth 1 -type d -name "$package-[0-9]*" | sort -V | tail -n 1)
    [ "$found" = "$dir/$package-$version" ] || mv "$found" "$dir/$package-$version"
  fi
  echo "$dir/$package-$version"
}

# The newest version of a source package that apt-get source fetches.
source_version() {
  source_list
  upstream "$(apt-cache showsrc "$1" | awk '/^Version:/ {print $2}' | sort -V | tail -n 1)"
}

upstream() { local v=${1#*:}; echo "${v%-*}"; }

deps() {
  setup
  local deflate_version gtest_version zlib_version openssl_version libzip_version
  deflate_version=$(upstream "$(apt-cache policy libdeflate-dev | awk '/Candidate:/ {print $2}')")
  gtest_version=$(upstream "$(dpkg-query -W -f='${Version}' googletest)")
  zlib_version=$(upstream "$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)")
  openssl_version=$(source_version openssl)
  libzip_version=$(source_version libzip)
  prefix=$cache/deps-libdeflate-$deflate_version-gtest-$gtest_version-zlib-$zlib_version
  prefix+=-openssl-$openssl_version-libzip-$libzip_version
  [ -f "$prefix/.done" ] && return 0
  local started=$SECONDS work=$cache/work
  rm -rf "$work" "$prefix"
  mkdir -p "$work"
  local toolchain=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64.cmake"
                   -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix")
  echo "Building libdeflate $deflate_version for Windows"
  # 1.14 builds with its own Makefile; the static library is all the archiver needs.
  local deflate_src
  deflate_src=$(debian_source libdeflate "$deflate_version" \
                "$(dpkg-query -W -f='${Version}' libdeflate-dev 2>/dev/null || true)")
  cp -r "$deflate_src" "$work/libdeflate"
  make -C "$work/libdeflate" -s -j "$jobs" CC="$triplet-gcc-posix" AR="$triplet-gcc-ar-posix" \
       CFLAGS="-O2" libdeflatestatic.lib >/dev/null
  install -D -m 644 "$work/libdeflate/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
  install -D -m 644 "$work/libdeflate/libdeflate.h" "$prefix/include/libdeflate.h"
  mkdir -p "$prefix/lib/pkgconfig"
  cat >"$prefix/lib/pkgconfig/libdeflate.pc" <<PC
prefix=$prefix
Name: libdeflate
Description: Fast implementation of DEFLATE, zlib and gzip
Version: $deflate_version
Libs: -L\${prefix}/lib -ldeflate
Cflags: -I\${prefix}/include
PC
  echo "Building GoogleTest $gtest_version for Windows"
  cmake -S /usr/src/googletest -B "$work/googletest" "${toolchain[@]}" -DBUILD_GMOCK=ON \
        -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$work/googletest" -j "$jobs" >/dev/null
  cmake --install "$work/googletest" >/dev/null
  # zlib is Debian's own build for mingw-w64 (libz-mingw-w64-dev), found in the
  # compiler's folder.
  echo "Building OpenSSL $openssl_version's libcrypto for Windows"
  # The archiver needs only AES, SHA-1 and PBKDF2: only libcrypto is built (3.0
  # knows no no-apps or no-docs; its programs and manuals are simply not made).
  cp -r "$(debian_source openssl "$openssl_version")" "$work/openssl"
  (cd "$work/openssl" &&
   ./Configure mingw64 no-shared no-tests --cross-compile-prefix="$triplet-" \
       CC=gcc-posix --prefix="$prefix" --libdir=lib >/dev/null &&
   make -s -j "$jobs" build_generated >/dev/null && make -s -j "$jobs" libcrypto.a >/dev/null)
  install -D -m 644 "$work/openssl/libcrypto.a" "$prefix/lib/libcrypto.a"
  mkdir -p "$prefix/include/openssl"
  install -m 644 "$work/openssl"/include/openssl/*.h "$prefix/include/openssl/"
  echo "Building libzip $libzip_version for Windows"
  # Static, with zlib alone: the archiver compresses with libdeflate and
  # encrypts with libcrypto itself.
  cmake -S "$(debian_source libzip "$libzip_version")" -B "$work/libzip" "${toolchain[@]}" \
        -DBUILD_SHARED_LIBS=OFF -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_ZSTD=OFF \
        -DENABLE_OPENSSL=OFF -DENABLE_GNUTLS=OFF -DENABLE_MBEDTLS=OFF \
        -DENABLE_COMMONCRYPTO=OFF -DENABLE_WINDOWS_CRYPTO=OFF -DBUILD_TOOLS=OFF \
        -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF -Wno-dev --no-warn-unused-cli \
        >/dev/null
  cmake --build "$work/libzip" -j "$jobs" >/dev/null
  cmake --install "$work/libzip" >/dev/null
  # The library is static: its header must not ask for its functions from a DLL,
  # and what it links with goes on every link line.
  sed -i -e 's/^Cflags:.*/& -DZIP_STATIC/' -e 's/^Libs.private:\(.*\)/Libs.private:/' \
         -e "s/^Libs:.*/&$(sed -n 's/^Libs.private://p' "$prefix/lib/pkgconfig/libzip.pc")/" \
         "$prefix/lib/pkgconfig/libzip.pc"
  rm -rf "$work"
  touch "$prefix/.done"
  echo "Dependencies built in $((SECONDS - started)) s into $prefix"
}

# Qt for Windows: only what the window needs (Core, Gui, Widgets, Network for
# the single-instance socket, the qwindows plugin), shared, without OpenGL. The
# host tools (moc, rcc, uic) are Debian's, of the same version. No Qt SVG: the
# icons go in as PNGs drawn at build time.
qt() {
  setup
  local packages=(qt6-base-dev qt6-base-dev-tools librsvg2-bin zip) missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
  local qt_version
  qt_version=$(upstream "$(dpkg-query -W -f='${Version}' qt6-base-dev)")
  qt_version=${qt_version%+dfsg}
  qt_prefix=$cache/qt-$qt_version
  [ -f "$qt_prefix/.done" ] && return 0
  local started=$SECONDS work=$cache/work-qt base_src
  base_src=$(debian_source qt6-base "$qt_version")
  # Without Direct2D, Gui has no DirectWrite font database, which the platform
  # plugin still asks for: the plugin goes without it and uses GDI's fonts.
  sed -i 's|^#if QT_CONFIG(directwrite3)$|#if 0 // QT_CONFIG(directwrite3), built with Direct2D only|' \
      "$base_src/src/plugins/platforms/windows/qwindowsintegration.cpp"
  # An interrupted build goes on where it stopped.
  rm -rf "$qt_prefix"
  mkdir -p "$work"
  local host_cmake
  host_cmake=$(dirname "$(dirname "$(dpkg -L qt6-base-dev | grep -m1 '/Qt6HostInfo/')")")
  echo "Building Qt $qt_version for Windows"
  # Tablet support needs wintab, which Debian strips from the source.
  nice -n 10 cmake -S "$base_src" -B "$work/qtbase" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64.cmake" -DSTOWAWAY_MINGW_LIBRARY=ON \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DCMAKE_INSTALL_PREFIX="$qt_prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$host_cmake" \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DFEATURE_tabletevent=OFF \
        -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_sql=OFF \
        -DFEATURE_printsupport=OFF -DFEATURE_dbus=OFF -DFEATURE_testlib=OFF \
        -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_ssl=OFF -DFEATURE_openssl=OFF \
        -DFEATURE_networklistmanager=OFF -DFEATURE_pkg_config=OFF -DFEATURE_icu=OFF \
        -DFEATURE_zstd=OFF -DFEATURE_brotli=OFF -DFEATURE_jpeg=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
        -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF -DFEATURE_freetype=OFF \
        -DFEATURE_direct2d=OFF -DFEATURE_schannel=OFF -DFEATURE_tuiotouch=OFF \
        -DFEATURE_gif=OFF -DFEATURE_ico=OFF \
        >"$work/qtbase-configure.log" 2>&1 || { echo "see $work/qtbase-configure.log" >&2; return 1; }
  nice -n 10 cmake --build "$work/qtbase" -j "$jobs" >"$work/qtbase-build.log" 2>&1 ||
    { echo "see $work/qtbase-build.log" >&2; return 1; }
  cmake --install "$work/qtbase" >/dev/null
  rm -rf "$work"
  touch "$qt_prefix/.done"
  echo "Qt built in $((SECONDS - started)) s into $qt_prefix"
}

# ccache as scripts/build.sh sets it up: another clone finds the same objects.
ccache_launcher() {
  launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR="$source_dir" CCACHE_NOHASHDIR=1 CCACHE_SLOPPINESS=pch_defines,time_macros
  fi
}

build() {
  deps
  local launcher
  ccache_launcher
  cmake -S "$source_dir" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64.cmake" \
        -DSTOWAWAY_WINDOWS_PREFIX="$prefix" "${launcher[@]}" >/dev/null
  cmake --build "$build_dir" -j "$jobs"
}

# The DLLs a program or library imports, by name.
imports() { "$triplet-objdump" -p "$1" | awk '/DLL Name:/ {print $3}'; }

# Copies into the folder the DLLs its programs and plugins import from Qt and
# the compiler, and theirs in turn; what is not ours and Wine's system folder
# has, Windows has.
copy_dlls() {
  local folder=$1 system=$2 gcc_dir todo found missing=() dll dir
  gcc_dir=$(dirname "$("$triplet-g++-posix" -print-libgcc-file-name)")
  mapfile -t todo < <(find "$folder" -iname '*.exe' -o -iname '*.dll')
  while [ ${#todo[@]} -gt 0 ]; do
    local next=()
    for binary in "${todo[@]}"; do
      for dll in $(imports "$binary"); do
        [ -e "$folder/$dll" ] && continue
        # API sets are names the Windows loader maps to its own DLLs.
        case ${dll,,} in api-ms-win-* | ext-ms-win-*) continue ;; esac
        # Ours first: Wine's system folder may hold a copy of zlib1.dll, Windows not.
        found=""
        for dir in "$qt_prefix/bin" "$gcc_dir" "/usr/$triplet/lib" "/usr/$triplet/bin"; do
          [ -f "$dir/$dll" ] && { found=$dir/$dll; break; }
        done
        if [ -z "$found" ]; then
          [ -n "$(find "$system" -maxdepth 1 -iname "$dll" -print -quit)" ] ||
            missing+=("$dll (for $(basename "$binary"))")
          continue
        fi
        cp "$found" "$folder/$dll"
        next+=("$folder/$dll")
      done
    done
    todo=("${next[@]}")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Not found for the package: ${missing[*]}" >&2
    return 1
  fi
}

# The program with its window for Windows and the zip of its folder, which runs
# where it is unpacked: the program, the tools, the help page, Qt's DLLs and
# plugins, the compiler's run-time DLLs.
package() {
  qt
  deps
  local dir=$build_dir-package launcher host_cmake
  ccache_launcher
  host_cmake=$(dirname "$(dirname "$(dpkg -L qt6-base-dev | grep -m1 '/Qt6HostInfo/')")")
  cmake -S "$source_dir" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64.cmake" \
        -DSTOWAWAY_WINDOWS_PREFIX="$prefix;$qt_prefix" -DCMAKE_PREFIX_PATH="$qt_prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$host_cmake" \
        -DSTOWAWAY_CORE_ONLY=OFF -DBUILD_TESTING=OFF \
        "${launcher[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs" --target stowaway PKZIP25 stowaway-cmd
  wine_prefix
  local version name folder
  version=$(sed -n 's/^project(Stowaway VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
  name=Stowaway-$version-windows
  folder=$dir/$name
  rm -rf "$folder" "$dir/$name.zip"
  mkdir -p "$folder/platforms" "$folder/styles"
  # Built as the tests are (GCC 12 at -O3 warns falsely in std::string), without
  # the debugging information in the package.
  "$triplet-strip" -o "$folder/stowaway.exe" "$dir/program/stowaway.exe"
  cp "$dir/program/Stowaway.html" "$folder/"
  local tool
  for tool in PKZIP25.EXE stowaway-cmd.exe; do
    "$triplet-strip" -o "$folder/$tool" "$dir/program/$tool"
  done
  cp "$qt_prefix/plugins/platforms/qwindows.dll" "$folder/platforms/"
  cp "$qt_prefix/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/"
  # Plugins beside the program, and no path from the build machine.
  printf '[Paths]\r\nPrefix = .\r\nPlugins = .\r\n' >"$folder/qt.conf"
  copy_dlls "$folder" "$WINEPREFIX/drive_c/windows/system32"
  find "$folder" -iname '*.dll' -exec "$triplet-strip" --strip-unneeded {} +
  (cd "$dir" && zip -q -r -9 -X "$name.zip" "$name")
  echo "Package: $dir/$name.zip, $(stat -c %s "$dir/$name.zip") bytes" \
       "($(du -sb "$folder" | cut -f1) bytes unpacked)"
}

wine_prefix() {
  export WINEPREFIX=$cache/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Making the Wine prefix $WINEPREFIX"
    (unset DISPLAY WAYLAND_DISPLAY; wineboot --init >/dev/null 2>&1; wineserver -w)
  fi
}

run_tests() {
  build
  wine_prefix
  unset DISPLAY WAYLAND_DISPLAY
  local status=0 exe
  for exe in "$build_dir"/tests/*_tests.exe; do
    echo "== $(basename "$exe") under Wine"
    local log=$build_dir/$(basename "$exe" .exe).log rc=0
    wine "$exe" --gtest_brief=1 "$@" >"$log" 2>&1 || rc=$?
    # Failures one per line, then GoogleTest's counts of tests run, passed and skipped.
    tr -d '\r' <"$log" |
      grep -E '^\[  FAILED  \] .*\(|^\[==========\]|^\[ +(PASSED|SKIPPED|FAILED) +\] [0-9]' || true
    if [ "$rc" -ne 0 ]; then
      # What each failure said, so that a run elsewhere (CI) can be read without the log.
      tr -d '\r' <"$log" | grep -a -A12 ': Failure$' | head -200 || true
      echo "$(basename "$exe") failed (status $rc); the whole output is in $log"
      status=1
    fi
  done
  wineserver -k >/dev/null 2>&1 || true
  # The Windows archiver's archives read by the Linux tools, and theirs by it.
  if [ -x "$source_dir/build/program/PKZIP25.EXE" ]; then
    echo "== the Windows archiver and the Linux tools on each other's archives"
    "$source_dir/scripts/windows_interop.sh" "$build_dir/program/PKZIP25.EXE" \
        "$source_dir/build/program/PKZIP25.EXE" || status=1
  else
    echo "Left out: the archives' check against the Linux tools (no Linux build in build/)"
  fi
  return "$status"
}

case ${1:-test} in
  setup) setup ;;
  deps) deps ;;
  qt) qt ;;
  package) package ;;
  build) build ;;
  test) shift || true; run_tests "$@" ;;
  *) echo "usage: $0 [setup|deps|build|test [--gtest_filter=...]|qt|package]" >&2; exit 2 ;;
esac
