#include "platform/NativeText.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <vector>

#include "platform/Utf8.h"

namespace stowaway {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

bool IsDriveLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// The components after the root, with "." dropped and ".." taking one back
// (never past the root), joined by '\'.
std::u16string NormalisedRest(std::u16string_view rest) {
    std::vector<std::u16string_view> parts;
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end])) ++end;
        const std::u16string_view part = rest.substr(start, end - start);
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::u16string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += u'\\';
        out += parts[i];
    }
    if (!out.empty() && !rest.empty() && IsSeparator(rest.back())) out += u'\\';
    return out;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const Utf8Char c = DecodeUtf8(utf8, i);
        i += c.size;
        const char32_t code = c.code == kNotUtf8 ? kReplacement : c.code;
        if (code < 0x10000) {
            out += static_cast<char16_t>(code);
        } else {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t unit = utf16[i];
        char32_t code = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{utf16[i + 1]} - 0xDC00);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            code = kReplacement;  // a surrogate without its other half
        }
        AppendUtf8(out, code);
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Char c = DecodeUtf8(text, i);
        if (c.code == kNotUtf8) return false;
        i += c.size;
    }
    return true;
}

std::u16string LongPathForm(std::u16string_view path) {
    if (path.size() < kLongPathFrom) return std::u16string(path);
    if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
        (path[2] == u'?' || path[2] == u'.') && IsSeparator(path[3]))
        return std::u16string(path);  // already a device path
    if (IsDriveLetter(path[0]) && path[1] == u':' && IsSeparator(path[2]))
        return u"\\\\?\\" + std::u16string(path.substr(0, 2)) + u'\\' +
               NormalisedRest(path.substr(3));
    if (IsSeparator(path[0]) && IsSeparator(path[1])) {
        // \\server\share\rest: server and share are the root, ".." stops there.
        std::size_t end = 2;
        for (int part = 0; part < 2; ++part) {
            const std::size_t from = end;
            while (end < path.size() && !IsSeparator(path[end])) ++end;
            if (end == from) return std::u16string(path);  // no server or no share
            if (part == 0) ++end;
        }
        std::u16string root = u"\\\\?\\UNC\\" + std::u16string(path.substr(2, end - 2));
        for (char16_t& c : root)
            if (c == u'/') c = u'\\';
        return root + u'\\' + NormalisedRest(path.substr(std::min(end + 1, path.size())));
    }
    return std::u16string(path);  // relative: the prefix cannot apply
}

std::u16string WithoutLongPathPrefix(std::u16string_view path) {
    if (path.substr(0, 8) == u"\\\\?\\UNC\\") return u"\\\\" + std::u16string(path.substr(8));
    if (path.size() >= 6 && path.substr(0, 4) == u"\\\\?\\" && IsDriveLetter(path[4]) &&
        path[5] == u':')
        return std::u16string(path.substr(4));
    return std::u16string(path);
}

#ifdef _WIN32

std::wstring toWide(std::string_view utf8) {
    const std::u16string utf16 = Utf8ToUtf16(utf8);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string fromWide(std::wstring_view wide) {
    const std::u16string utf16(wide.begin(), wide.end());
    return Utf16ToUtf8(utf16);
}

namespace {

bool IsRelative(std::u16string_view path) {
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return false;
    return !(path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == u':' && IsSeparator(path[2]));
}

// Windows resolves a relative path against the current folder and holds the
// result to MAX_PATH, however short the text given: such a path is made whole
// first when the two together would be long, so that it can take the prefix.
std::u16string WholeWhenLong(std::u16string path) {
    if (!IsRelative(path)) return path;
    const DWORD current = ::GetCurrentDirectoryW(0, nullptr);
    if (current == 0 || current + path.size() < kLongPathFrom) return path;
    const std::wstring relative(path.begin(), path.end());
    std::wstring whole(::GetFullPathNameW(relative.c_str(), 0, nullptr, nullptr), L'\0');
    const DWORD length = ::GetFullPathNameW(relative.c_str(), static_cast<DWORD>(whole.size()),
                                            whole.data(), nullptr);
    if (length == 0 || length >= whole.size()) return path;
    return std::u16string(whole.begin(), whole.begin() + length);
}

}  // namespace

std::filesystem::path toPath(std::string_view utf8) {
    const std::u16string wide = LongPathForm(WholeWhenLong(Utf8ToUtf16(utf8)));
    return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

std::string fromPath(const std::filesystem::path& path) {
    const std::wstring& native = path.native();
    return Utf16ToUtf8(WithoutLongPathPrefix(std::u16string(native.begin(), native.end())));
}

#else

std::filesystem::path toPath(std::string_view utf8) {
    // char8_t says "UTF-8" to the library; on POSIX the bytes are kept as they are.
    return std::filesystem::path(
        std::u8string_view(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string fromPath(const std::filesystem::path& path) {
    return path.native();
}

#endif

}  // namespace stowaway
