#include "platform/NativeText.h"

#include <vector>

namespace stowaway {

namespace {

constexpr char32_t Replacement = 0xFFFD;

// One code point from UTF-8; a byte that starts no valid sequence gives U+FFFD.
char32_t Decode(std::string_view text, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    if (first < 0x80) {
        ++at;
        return first;
    }
    int length = first >= 0xF0 && first <= 0xF4 ? 4 : first >= 0xE0 ? 3 : first >= 0xC2 ? 2 : 0;
    if (first >= 0xF8) length = 0;
    if (length == 0 || at + static_cast<std::size_t>(length) > text.size()) {
        ++at;
        return Replacement;
    }
    char32_t code = first & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const unsigned char next = byte(at + static_cast<std::size_t>(i));
        if ((next & 0xC0) != 0x80) {
            ++at;
            return Replacement;
        }
        code = (code << 6) | (next & 0x3F);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        ++at;
        return Replacement;
    }
    at += static_cast<std::size_t>(length);
    return code;
}

void Encode(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t code = Decode(utf8, at);
        if (code >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t code = utf16[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (utf16[i + 1] - 0xDC00u);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = Replacement;
        }
        Encode(code, out);
    }
    return out;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t before = at;
        const char32_t code = Decode(text, at);
        if (code == Replacement && !(at - before == 3 && text.substr(before, 3) == "\xEF\xBF\xBD"))
            return false;
    }
    return true;
}

std::u16string LongPathForm(std::u16string_view path) {
    const auto slash = [](char16_t c) { return c == u'\\' || c == u'/'; };
    const bool drive = path.size() >= 3 && path[1] == u':' && slash(path[2]);
    const bool unc =
        path.size() >= 3 && slash(path[0]) && slash(path[1]) && path[2] != u'?' && path[2] != u'.';
    if ((!drive && !unc) || path.size() < kLongPathFrom) return std::u16string(path);
    std::u16string out = drive ? u"\\\\?\\" : u"\\\\?\\UNC\\";
    std::u16string_view rest = drive ? path : path.substr(2);
    std::vector<std::u16string> parts;
    std::u16string part;
    const auto flush = [&] {
        if (part == u"..") {
            if (parts.size() > 1) parts.pop_back();
        } else if (!part.empty() && part != u".") {
            parts.push_back(part);
        }
        part.clear();
    };
    for (char16_t c : rest) {
        if (slash(c))
            flush();
        else
            part += c;
    }
    flush();
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? u"\\" : u"") + parts[i];
    if (drive && parts.size() == 1) out += u"\\";
    return out;
}

std::u16string WithoutLongPathPrefix(std::u16string_view path) {
    if (path.substr(0, 8) == u"\\\\?\\UNC\\") return u"\\\\" + std::u16string(path.substr(8));
    if (path.substr(0, 4) == u"\\\\?\\") return std::u16string(path.substr(4));
    return std::u16string(path);
}

#ifdef _WIN32
std::wstring toWide(std::string_view utf8) {
    const std::u16string wide = Utf8ToUtf16(utf8);
    return std::wstring(wide.begin(), wide.end());
}

std::string fromWide(std::wstring_view wide) {
    return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::filesystem::path toPath(std::string_view utf8) {
    const std::u16string wide = LongPathForm(Utf8ToUtf16(utf8));
    return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

std::string fromPath(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    return Utf16ToUtf8(WithoutLongPathPrefix(std::u16string(wide.begin(), wide.end())));
}
#else
std::filesystem::path toPath(std::string_view utf8) {
    return std::filesystem::path(std::string(utf8));
}

std::string fromPath(const std::filesystem::path& path) {
    return path.native();
}
#endif

}  // namespace stowaway
