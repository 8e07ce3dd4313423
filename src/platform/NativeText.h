// The program's text is UTF-8 throughout; the OS's is not always (Windows speaks
// UTF-16 and reads a narrow path in the ANSI code page). Every path and name
// crosses into and out of the OS here and nowhere else.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace stowaway {

// A UTF-8 text as a path. On POSIX the bytes are the name, valid UTF-8 or not.
// On Windows it goes through toWide, and an absolute path long enough to hit
// MAX_PATH gets the \\?\ form (see LongPathForm).
std::filesystem::path toPath(std::string_view utf8);
// A path as UTF-8: its bytes on POSIX; on Windows through fromWide, without a
// \\?\ prefix that toPath may have put there.
std::string fromPath(const std::filesystem::path& path);

// UTF-8 <-> UTF-16, the same on every system. Nothing ill-formed is passed on and
// nothing is undefined: each maximal ill-formed subsequence of the UTF-8 (a stray
// or cut-off byte, an overlong form, an encoded surrogate, anything past U+10FFFF)
// becomes one U+FFFD, as Unicode recommends; so does an unpaired surrogate in the
// UTF-16. Valid text round-trips exactly.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
bool IsValidUtf8(std::string_view text);

// Windows' long-path form of a UTF-16 path: an absolute path (drive or UNC) of
// kLongPathFrom characters or more becomes \\?\C:\... or \\?\UNC\server\share\...,
// with '/' turned into '\' and "." and ".." worked out, since the prefix switches
// off that normalisation. Shorter, relative and already prefixed paths are kept.
inline constexpr std::size_t kLongPathFrom = 248;  // CreateDirectoryW's limit, MAX_PATH - 12
std::u16string LongPathForm(std::u16string_view path);
// The path without the prefix LongPathForm adds (\\?\UNC\ back to \\).
std::u16string WithoutLongPathPrefix(std::u16string_view path);

#ifdef _WIN32
std::wstring toWide(std::string_view utf8);
std::string fromWide(std::wstring_view wide);
#endif

}  // namespace stowaway
