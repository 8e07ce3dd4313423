#include "engine/versions/VersionNames.h"

#include <cstdio>

#include "platform/CalendarTime.h"

namespace stowaway {

namespace {

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

// Exactly count digits at text[pos...]; -1 otherwise.
int Digits(std::string_view text, std::size_t pos, std::size_t count) {
    if (pos + count > text.size()) return -1;
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

constexpr std::size_t StampLength = 17;  // YYYY-MM-DD_HHMMSS

std::optional<Stamp> ParseStamp(std::string_view text) {
    if (text.size() != StampLength || text[4] != '-' || text[7] != '-' || text[10] != '_')
        return std::nullopt;
    Stamp s{Digits(text, 0, 4),  Digits(text, 5, 2),  Digits(text, 8, 2),
            Digits(text, 11, 2), Digits(text, 13, 2), Digits(text, 15, 2)};
    if (!ValidStamp(s)) return std::nullopt;
    return s;
}

}  // namespace

std::optional<Stamp> LocalStamp(std::time_t when) {
    std::tm tm{};
    if (!LocalParts(when, tm)) return std::nullopt;
    Stamp s{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
            tm.tm_hour,        tm.tm_min,     tm.tm_sec > 59 ? 59 : tm.tm_sec};
    if (!ValidStamp(s)) return std::nullopt;
    return s;
}

std::string FormatStamp(const Stamp& s) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d%02d%02d", s.year, s.month, s.day, s.hour,
                  s.minute, s.second);
    return text;
}

std::string DisplayStamp(const Stamp& s) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", s.year, s.month, s.day,
                  s.hour, s.minute, s.second);
    return text;
}

bool ValidStamp(const Stamp& s) {
    return s.year >= 1 && s.year <= 9999 && s.month >= 1 && s.month <= 12 && s.day >= 1 &&
           s.day <= DaysInMonth(s.year, s.month) && s.hour >= 0 && s.hour <= 23 && s.minute >= 0 &&
           s.minute <= 59 && s.second >= 0 && s.second <= 59;
}

bool SplitArchiveName(std::string_view location, char separator, ArchiveName& name) {
    const std::size_t slash = location.rfind(separator);
    const std::string_view leaf =
        slash == std::string_view::npos ? location : location.substr(slash + 1);
    if (leaf.empty() || leaf == "." || leaf == "..") return false;
    name.prefix = slash == std::string_view::npos ? "" : std::string(location.substr(0, slash + 1));
    name.folder = slash == std::string_view::npos ? "."
                  // The root keeps its separator ("/", "C:\").
                  : (slash == 0 || location[slash - 1] == ':')
                      ? name.prefix
                      : std::string(location.substr(0, slash));
    const std::size_t dot = leaf.rfind('.');
    // The archiver replaces the extension after the last dot for its volumes.
    if (dot == std::string_view::npos || dot == 0) {
        name.stem = std::string(leaf);
        name.extension.clear();
    } else {
        name.stem = std::string(leaf.substr(0, dot));
        name.extension = std::string(leaf.substr(dot));
    }
    name.upperVolumes = name.extension == ".ZIP";
    return true;
}

std::string CurrentPath(const ArchiveName& name) {
    return name.prefix + name.stem + name.extension;
}

std::string VolumeLeaf(const ArchiveName& name, const std::string& base, unsigned volume) {
    if (volume == 0) return base + name.extension;
    char num[16];
    std::snprintf(num, sizeof num, "%02u", volume);
    return base + (name.upperVolumes ? ".Z" : ".z") + num;
}

std::string DatedLeaf(const ArchiveName& name, const Stamp& stamp, unsigned volume) {
    return VolumeLeaf(name, name.stem + "-" + FormatStamp(stamp), volume);
}

std::optional<DatedLeafMatch> MatchDatedLeaf(const ArchiveName& name, std::string_view leaf) {
    const std::string prefix = name.stem + "-";
    if (leaf.size() < prefix.size() + StampLength || leaf.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    const std::optional<Stamp> stamp = ParseStamp(leaf.substr(prefix.size(), StampLength));
    if (!stamp) return std::nullopt;
    const std::string_view rest = leaf.substr(prefix.size() + StampLength);
    if (rest == name.extension) return DatedLeafMatch{*stamp, 0};
    // ".z01" ... ".z99", ".z100": two digits at least, no leading zero beyond them.
    const char z = name.upperVolumes ? 'Z' : 'z';
    if (rest.size() < 4 || rest[0] != '.' || rest[1] != z) return std::nullopt;
    const std::string_view digits = rest.substr(2);
    if (digits.size() > 6 || (digits.size() > 2 && digits[0] == '0')) return std::nullopt;
    const int volume = Digits(digits, 0, digits.size());
    if (volume < 1) return std::nullopt;
    // The extension's own volumes share the ".zNN" ending: "Docs-DATE.zip" vs "Docs-DATE.z01".
    if (VolumeLeaf(name, "", static_cast<unsigned>(volume)) != rest) return std::nullopt;
    return DatedLeafMatch{*stamp, static_cast<unsigned>(volume)};
}

}  // namespace stowaway
