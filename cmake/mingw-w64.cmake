# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads, for
# std::thread and std::mutex). libgcc, libstdc++ and winpthreads are linked in,
# so the programs run under Wine or on Windows without DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(STOWAWAY_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${STOWAWAY_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${STOWAWAY_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${STOWAWAY_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${STOWAWAY_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${STOWAWAY_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries built for Windows come from the compiler's own folder and the
# prefixes handed in with CMAKE_PREFIX_PATH; programs always from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${STOWAWAY_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Wide-character entry points and the Windows 8 API (SetFileInformationByHandle,
# GetTickCount64), with the Unicode function names. Libraries built with this
# file that set their own (Qt: it needs the whole of windows.h) leave them out
# with -DSTOWAWAY_MINGW_LIBRARY=ON.
if(NOT STOWAWAY_MINGW_LIBRARY)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0602)
endif()

# The cache of libraries built for Windows (scripts/windows.sh deps).
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES STOWAWAY_WINDOWS_PREFIX STOWAWAY_MINGW_LIBRARY)
if(STOWAWAY_WINDOWS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${STOWAWAY_WINDOWS_PREFIX})
  list(APPEND CMAKE_PREFIX_PATH ${STOWAWAY_WINDOWS_PREFIX})
endif()
# pkg-config reads only the Windows libraries' .pc files, never the host's.
set(ENV{PKG_CONFIG_LIBDIR}
    "${STOWAWAY_WINDOWS_PREFIX}/lib/pkgconfig:/usr/${STOWAWAY_MINGW_TRIPLET}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
# libcrypto is static there, so it brings its Windows libraries (ws2_32, crypt32).
set(OPENSSL_USE_STATIC_LIBS TRUE)
