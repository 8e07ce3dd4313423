#include "engine/FolderRule.h"

#include "engine/Years.h"
#include "platform/PathStyle.h"
#include "platform/Text.h"

namespace stowaway {

namespace {

// Splits "folder\wildcard" at its last separator.
void SplitFolderAndWildcard(std::string_view text, const PathStyle& style, ParsedFolderRule& out) {
    std::size_t last = text.rfind(style.separator());
    std::size_t cut = last == std::string_view::npos ? 0 : last + 1;
    out.folder = std::string(text.substr(0, cut));
    out.wildcard = std::string(text.substr(cut));
}

// A date rule: the date from `dateStart` up to the first ":", the folder behind it.
void ParseDateRule(std::string_view rest, std::size_t dateStart, const PathStyle& style,
                   ParsedFolderRule& out) {
    std::size_t colon = rest.find(':', dateStart);
    std::string_view date = Mid(rest, dateStart);
    std::string_view behind;
    if (colon != std::string_view::npos) {
        date = rest.substr(dateStart, colon - dateStart);
        behind = Mid(rest, colon + 1);
        while (!behind.empty() && behind.front() == ' ') behind.remove_prefix(1);
    }
    SplitFolderAndWildcard(behind, style, out);

    out.yearValid = false;
    std::size_t first = date.find('/');
    std::size_t second = first == std::string_view::npos ? first : date.find('/', first + 1);
    if (colon == std::string_view::npos || second == std::string_view::npos) return;
    std::string yearText = Trim(Mid(date, second + 1));
    if (yearText.empty() || yearText[0] == '-' || yearText[0] == '+') return;
    auto year = ParseLong(yearText);
    if (!year || *year > 99999) return;
    out.year = FullYear(static_cast<int>(*year));
    out.yearValid = true;
}

}  // namespace

std::string ComposeFolderRule(const PathStyle& style, const std::string& folder,
                              const std::string& first, const std::string& second, short kind,
                              bool recurse, bool include, bool after) {
    if (folder.empty() || kind < 0 || kind > 2) return {};
    std::string path = folder;
    if (!style.endsWithSeparator(path)) path += style.separator();
    std::string rule = recurse ? "R+ " : "R- ";
    switch (kind) {
        case 0:
            rule += path + "*.*";
            break;
        case 1:
            rule += (include ? "Include: " : "Exclude: ") + path + first;
            break;
        default:
            rule += (after ? "After " : "Before ") + first + ": " + path + second;
    }
    return rule;
}

ParsedFolderRule ParseFolderRule(const std::string& rule, const PathStyle& style) {
    ParsedFolderRule out;
    out.recurse = Left(rule, 3) != "R- ";
    std::string_view rest = Mid(rule, 3);
    if (StartsWith(rest, "Include:")) {
        out.mode = SelectMode::IncludePattern;
        SplitFolderAndWildcard(Mid(rest, 9), style, out);
    } else if (StartsWith(rest, "Exclude:")) {
        out.mode = SelectMode::ExcludePattern;
        SplitFolderAndWildcard(Mid(rest, 9), style, out);
    } else if (StartsWith(rest, "After")) {
        out.mode = SelectMode::AfterYear;
        ParseDateRule(rest, 6, style, out);
    } else if (StartsWith(rest, "Before")) {
        out.mode = SelectMode::BeforeYear;
        ParseDateRule(rest, 7, style, out);
    } else {
        out.mode = SelectMode::All;
        SplitFolderAndWildcard(rest, style, out);
    }
    return out;
}

}  // namespace stowaway
