#include "platform/Text.h"

#include <locale.h>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <limits>

namespace stowaway {

namespace {

char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char UpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The C library's UTF-8 character classes, whatever locale the process runs in.
locale_t Utf8Locale() {
    static const locale_t locale = [] {
        locale_t made = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
        return made ? made : ::newlocale(LC_CTYPE_MASK, "en_US.UTF-8", locale_t{});
    }();
    return locale;
}

// Decodes UTF-8 under the UTF-8 locale, for the time of one call.
class Utf8Scope {
  public:
    Utf8Scope() : previous_(Utf8Locale() ? ::uselocale(Utf8Locale()) : locale_t{}) {}
    ~Utf8Scope() {
        if (previous_) ::uselocale(previous_);
    }
    Utf8Scope(const Utf8Scope&) = delete;
    Utf8Scope& operator=(const Utf8Scope&) = delete;
    bool active() const { return previous_ != locale_t{}; }

  private:
    locale_t previous_;
};

// Maps every character through `map`; bytes that are not UTF-8 pass unchanged.
template <typename Map>
std::string MapCharacters(std::string_view text, Map map) {
    std::string out;
    out.reserve(text.size());
    std::mbstate_t in{};
    std::mbstate_t put{};
    char buffer[MB_LEN_MAX];
    for (std::size_t i = 0; i < text.size();) {
        wchar_t wide = 0;
        const std::size_t n = std::mbrtowc(&wide, text.data() + i, text.size() - i, &in);
        if (n == 0 || n > text.size() - i) {  // NUL, invalid or cut-off sequence
            out += text[i++];
            in = std::mbstate_t{};
            continue;
        }
        const std::size_t written = std::wcrtomb(buffer, map(wide), &put);
        if (written == static_cast<std::size_t>(-1))
            out.append(text.data() + i, n);
        else
            out.append(buffer, written);
        i += n;
    }
    return out;
}

}  // namespace

std::string ToLower(std::string_view text) {
    if (!IsAscii(text)) {
        const Utf8Scope scope;
        if (scope.active())
            return MapCharacters(text,
                                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    }
    std::string out(text);
    for (char& c : out) c = LowerChar(c);
    return out;
}

std::string ToUpper(std::string_view text) {
    if (!IsAscii(text)) {
        const Utf8Scope scope;
        if (scope.active())
            return MapCharacters(text,
                                 [](wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); });
    }
    std::string out(text);
    for (char& c : out) c = UpperChar(c);
    return out;
}

std::wstring ToLowerCharacters(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    if (IsAscii(text)) {
        for (char c : text) out += static_cast<wchar_t>(LowerChar(c));
        return out;
    }
    const Utf8Scope scope;
    std::mbstate_t in{};
    for (std::size_t i = 0; i < text.size();) {
        wchar_t wide = 0;
        const std::size_t n = scope.active()
                                  ? std::mbrtowc(&wide, text.data() + i, text.size() - i, &in)
                                  : static_cast<std::size_t>(-1);
        if (n == 0 || n > text.size() - i) {
            // A stray byte stands for itself, outside the range of real characters.
            out += static_cast<wchar_t>(0x110000 + static_cast<unsigned char>(text[i++]));
            in = std::mbstate_t{};
            continue;
        }
        out += static_cast<wchar_t>(std::towlower(wide));
        i += n;
    }
    return out;
}

std::string Trim(std::string_view text) {
    std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) return {};
    std::size_t end = text.find_last_not_of(' ');
    return std::string(text.substr(begin, end - begin + 1));
}

std::string TrimBlanksAndTabs(std::string_view text) {
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return {};
    std::size_t end = text.find_last_not_of(" \t");
    return std::string(text.substr(begin, end - begin + 1));
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return CompareIgnoreCase(a, b) == 0;
}

int CompareIgnoreCase(std::string_view a, std::string_view b) {
    if (!IsAscii(a) || !IsAscii(b)) {
        // UTF-8 sorts bytewise in the order of its characters.
        const int c = ToLower(a).compare(ToLower(b));
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(LowerChar(a[i]));
        auto cb = static_cast<unsigned char>(LowerChar(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::string_view Left(std::string_view text, std::size_t count) {
    return text.substr(0, count);
}

std::string_view Right(std::string_view text, std::size_t count) {
    return count >= text.size() ? text : text.substr(text.size() - count);
}

std::string_view Mid(std::string_view text, std::size_t from) {
    return from >= text.size() ? std::string_view() : text.substr(from);
}

std::optional<short> ParseInt16(std::string_view text) {
    std::string t = TrimBlanksAndTabs(text);
    if (t.empty()) return std::nullopt;
    // Only plain decimal notation: digits, an optional sign and one decimal point.
    std::size_t i = 0;
    if (t[0] == '-' || t[0] == '+') i = 1;
    bool digits = false, point = false;
    for (std::size_t k = i; k < t.size(); ++k) {
        if (t[k] >= '0' && t[k] <= '9') {
            digits = true;
        } else if (t[k] == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits) return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(t.c_str(), &end);
    if (end == t.c_str() || !std::isfinite(value)) return std::nullopt;
    value = std::floor(value);
    if (value < std::numeric_limits<short>::min() || value > std::numeric_limits<short>::max())
        return std::nullopt;
    return static_cast<short>(value);
}

std::optional<long> ParseLong(std::string_view text) {
    std::string t = TrimBlanksAndTabs(text);
    if (t.empty()) return std::nullopt;
    std::size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
    if (i == t.size()) return std::nullopt;
    for (std::size_t k = i; k < t.size(); ++k)
        if (t[k] < '0' || t[k] > '9') return std::nullopt;
    errno = 0;
    long value = std::strtol(t.c_str(), nullptr, 10);
    if (errno == ERANGE) return std::nullopt;
    return value;
}

}  // namespace stowaway
