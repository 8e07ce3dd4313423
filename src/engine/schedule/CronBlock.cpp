#include "engine/schedule/CronBlock.h"

namespace stowaway {

namespace {

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Reads back one word CronWord wrote, from position i; nullopt if it is not one.
std::optional<std::string> ReadWord(std::string_view line, std::size_t& i) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size() || line[i] != '\'') return std::nullopt;
    std::string word;
    for (++i; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\' && i + 1 < line.size() && line[i + 1] == '%') {
            word += '%';
            ++i;
        } else if (line.substr(i, 4) == "'\\''") {
            word += '\'';
            i += 3;
        } else if (c == '\'') {
            ++i;
            return word;
        } else {
            word += c;
        }
    }
    return std::nullopt;
}

std::optional<CronEntry> ParseCronLine(std::string_view line) {
    // Five fields, then the quoted program, -abu and the quoted name.
    std::size_t i = 0;
    for (int field = 0; field < 5; ++field) {
        while (i < line.size() && line[i] == ' ') ++i;
        while (i < line.size() && line[i] != ' ') ++i;
    }
    CronEntry entry;
    std::string_view fields = line.substr(0, i);
    while (!fields.empty() && fields.front() == ' ') fields.remove_prefix(1);
    entry.fields = std::string(fields);
    const std::optional<std::string> program = ReadWord(line, i);
    if (!program) return std::nullopt;
    while (i < line.size() && line[i] == ' ') ++i;
    if (line.substr(i, 5) != "-abu ") return std::nullopt;
    i += 4;
    const std::optional<std::string> crate = ReadWord(line, i);
    if (!crate || i != line.size()) return std::nullopt;
    entry.program = *program;
    entry.crate = *crate;
    return entry;
}

}  // namespace

std::optional<std::string> CronWord(std::string_view word) {
    std::string out = "'";
    for (const char c : word) {
        if (c == '\n' || c == '\r' || c == '\0') return std::nullopt;
        if (c == '\'')
            out += "'\\''";
        else if (c == '%')
            out += "\\%";  // cron turns an unescaped % into a line break
        else
            out += c;
    }
    return out + "'";
}

std::optional<std::string> CronLine(const CronEntry& entry) {
    const std::optional<std::string> program = CronWord(entry.program);
    const std::optional<std::string> crate = CronWord(entry.crate);
    if (!program || !crate || entry.fields.empty()) return std::nullopt;
    return entry.fields + " " + *program + " -abu " + *crate;
}

CronTable ReadCronBlock(std::string_view crontab) {
    CronTable table;
    bool inside = false;
    for (const std::string_view line : Lines(crontab)) {
        if (line == CronBeginMarker) {
            inside = true;
        } else if (line == CronEndMarker) {
            inside = false;
        } else if (inside) {
            if (const std::optional<CronEntry> entry = ParseCronLine(line))
                table.entries.push_back(*entry);
        }
    }
    table.damaged = inside;
    return table;
}

std::string WithCronBlock(std::string_view crontab, const std::vector<CronEntry>& entries) {
    std::string out;
    bool inside = false;
    bool placed = false;
    std::string block;
    if (!entries.empty()) {
        block = std::string(CronBeginMarker) + "\n";
        for (const CronEntry& entry : entries)
            if (const std::optional<std::string> line = CronLine(entry)) block += *line + "\n";
        block += std::string(CronEndMarker) + "\n";
    }
    for (const std::string_view line : Lines(crontab)) {
        if (line == CronBeginMarker) {
            inside = true;
            if (!placed) out += block;
            placed = true;
        } else if (line == CronEndMarker && inside) {
            inside = false;
        } else if (!inside) {
            out += std::string(line) + "\n";
        }
    }
    if (!placed) out += block;
    return out;
}

}  // namespace stowaway
