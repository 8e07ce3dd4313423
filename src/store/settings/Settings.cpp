#include "store/settings/Settings.h"

#include <algorithm>
#include <cstdio>

#include "platform/Text.h"
#include "store/LineEscapes.h"

namespace stowaway {

namespace {

bool IsKeyChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '-';
}

bool IsKey(std::string_view key) {
    return !key.empty() && std::all_of(key.begin(), key.end(), IsKeyChar);
}

std::string_view TrimView(std::string_view text) {
    const std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return {};
    const std::size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

bool SameCrate(std::string_view a, std::string_view b) {
    return EqualsIgnoreCase(Trim(a), Trim(b));
}

std::string CrateHeader(std::string_view crate) {
    return "[crate \"" + EscapeSettingsText(crate) + "\"]";
}

}  // namespace

namespace {
constexpr LineEscapes SettingsEscapes{.quotes = true, .edgeBlanks = true};
}

std::string EscapeSettingsText(std::string_view text) {
    return EscapeLineText(text, SettingsEscapes);
}

std::optional<std::string> UnescapeSettingsText(std::string_view text) {
    return UnescapeLineText(text, SettingsEscapes);
}

Settings Settings::Parse(std::string_view text, std::vector<std::string>& problems) {
    Settings settings;
    settings.sections_.push_back(Section{});
    std::size_t number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(start, end - start);
        start = end + 1;
        ++number;
        while (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        const std::string where = "line " + std::to_string(number) + ": ";
        const std::string_view line = TrimView(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            settings.sections_.back().lines.push_back(Line{std::string(raw), {}, {}});
            continue;
        }
        if (line[0] == '[') {
            Section section;
            section.header = std::string(raw);
            const std::string_view inner =
                line.back() == ']' ? TrimView(line.substr(1, line.size() - 2)) : std::string_view{};
            if (line.back() != ']' || inner.empty()) {
                problems.push_back(where + "a section header that does not end in \"]\"");
            } else if (inner.substr(0, 5) == "crate" && inner.size() > 5 &&
                       (inner[5] == ' ' || inner[5] == '\t')) {
                const std::string_view quoted = TrimView(inner.substr(5));
                std::optional<std::string> name;
                if (quoted.size() >= 2 && quoted.front() == '"' && quoted.back() == '"')
                    name = UnescapeSettingsText(quoted.substr(1, quoted.size() - 2));
                if (name && !Trim(*name).empty()) {
                    section.isCrate = true;
                    section.crate = *name;
                } else {
                    problems.push_back(where + "a Crate's section whose name is not a quoted text");
                }
            }
            settings.sections_.push_back(std::move(section));
            continue;
        }
        const std::size_t equals = line.find('=');
        const std::string key = equals == std::string_view::npos
                                    ? std::string{}
                                    : std::string(TrimView(line.substr(0, equals)));
        std::optional<std::string> value;
        if (IsKey(key)) value = UnescapeSettingsText(TrimView(line.substr(equals + 1)));
        if (!value) {
            problems.push_back(where + (IsKey(key) ? "a value with a broken \\ escape"
                                                   : "not a \"key = value\" line"));
            settings.sections_.back().lines.push_back(Line{std::string(raw), {}, {}});
            continue;
        }
        settings.sections_.back().lines.push_back(Line{std::string(raw), key, *value});
    }
    return settings;
}

std::string Settings::format() const {
    std::string out;
    for (const Section& section : sections_) {
        if (!section.header.empty()) out += section.header + "\n";
        for (const Line& line : section.lines) out += line.raw + "\n";
    }
    return out;
}

Settings::Section* Settings::findCrate(std::string_view crate) {
    for (Section& section : sections_)
        if (section.isCrate && SameCrate(section.crate, crate)) return &section;
    return nullptr;
}

const Settings::Section* Settings::findCrate(std::string_view crate) const {
    for (const Section& section : sections_)
        if (section.isCrate && SameCrate(section.crate, crate)) return &section;
    return nullptr;
}

void Settings::setLine(Line& line, std::string_view key, std::string_view value) {
    line.key = std::string(key);
    line.value = std::string(value);
    line.raw = line.key + " = " + EscapeSettingsText(value);
}

std::optional<std::string> Settings::crateValue(std::string_view crate,
                                                std::string_view key) const {
    const Section* section = findCrate(crate);
    if (!section) return std::nullopt;
    // The last of repeated keys counts, as it would when read top to bottom.
    for (auto it = section->lines.rbegin(); it != section->lines.rend(); ++it)
        if (it->key == key) return it->value;
    return std::nullopt;
}

void Settings::setCrateValue(std::string_view crate, std::string_view key, std::string_view value) {
    Section* section = findCrate(crate);
    if (!section) {
        if (sections_.empty()) sections_.push_back(Section{});
        Section added;
        added.header = CrateHeader(crate);
        added.isCrate = true;
        added.crate = std::string(crate);
        sections_.push_back(std::move(added));
        section = &sections_.back();
    }
    for (auto it = section->lines.rbegin(); it != section->lines.rend(); ++it) {
        if (it->key == key) {
            setLine(*it, key, value);
            return;
        }
    }
    // After the section's last line that is not blank, so that blank lines between
    // sections stay between them.
    auto after = section->lines.begin();
    for (auto it = section->lines.begin(); it != section->lines.end(); ++it)
        if (!Trim(it->raw).empty()) after = it + 1;
    Line line;
    setLine(line, key, value);
    section->lines.insert(after, std::move(line));
}

void Settings::removeCrateValue(std::string_view crate, std::string_view key) {
    Section* section = findCrate(crate);
    if (!section) return;
    std::erase_if(section->lines, [&](const Line& line) { return line.key == key; });
    const bool empty = std::all_of(section->lines.begin(), section->lines.end(),
                                   [](const Line& line) { return Trim(line.raw).empty(); });
    if (empty) removeCrate(crate);
}

void Settings::renameCrate(std::string_view from, std::string_view to) {
    Section* section = findCrate(from);
    if (!section || from == to) return;
    if (!SameCrate(from, to)) removeCrate(to);
    section = findCrate(from);
    section->crate = std::string(to);
    section->header = CrateHeader(to);
}

void Settings::removeCrate(std::string_view crate) {
    std::erase_if(sections_, [&](const Section& section) {
        return section.isCrate && SameCrate(section.crate, crate);
    });
}

std::vector<std::string> Settings::crateNames() const {
    std::vector<std::string> names;
    for (const Section& section : sections_)
        if (section.isCrate) names.push_back(section.crate);
    return names;
}

}  // namespace stowaway
