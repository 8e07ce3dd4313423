#include "store/RunState.h"

#include <charconv>
#include <cstdio>

#include "platform/CalendarTime.h"
#include "platform/CaseFold.h"
#include "platform/Text.h"
#include "store/LineEscapes.h"

namespace stowaway {

namespace {

std::string Key(const std::string& name) {
    return FoldCase(Trim(name));
}

const char* ResultText(RunResult result) {
    switch (result) {
        case RunResult::Ok:
            return "ok";
        case RunResult::Failed:
            return "failed";
        default:
            return "";
    }
}

std::optional<std::uint64_t> ParseCount(const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end || text.empty()) return std::nullopt;
    return value;
}

// Sets one known key of a section; false when the value makes no sense.
// Unknown keys return true without touching anything and are kept as lines.
bool SetKnown(CrateRunState& s, const std::string& key, const std::string& value, bool& known) {
    known = true;
    auto time = [&](std::optional<std::time_t>& field) {
        if (value.empty()) {
            field.reset();
            return true;
        }
        field = ParseStateTime(value);
        return field.has_value();
    };
    auto count = [&](std::uint64_t& field) {
        auto parsed = ParseCount(value);
        if (parsed) field = *parsed;
        return parsed.has_value();
    };
    auto flag = [&](bool& field) {
        if (value != "0" && value != "1") return false;
        field = value == "1";
        return true;
    };
    if (key == "first_run") return time(s.firstRun);
    if (key == "started") return time(s.started);
    if (key == "ended") return time(s.ended);
    if (key == "last_good") return time(s.lastGood);
    if (key == "result") {
        if (value == "ok")
            s.result = RunResult::Ok;
        else if (value == "failed")
            s.result = RunResult::Failed;
        else if (value.empty())
            s.result = RunResult::None;
        else
            return false;
        return true;
    }
    if (key == "error") {
        auto text = UnescapeStateText(value);
        if (text) s.error = *text;
        return text.has_value();
    }
    if (key == "files") return count(s.files);
    if (key == "bytes") return count(s.bytes);
    if (key == "archive_bytes") return count(s.archiveBytes);
    if (key == "duration") return count(s.durationSeconds);
    if (key == "failures") {
        std::uint64_t n = 0;
        if (!count(n) || n > 1000000) return false;
        s.failureStreak = static_cast<int>(n);
        return true;
    }
    if (key == "failure_alerted") return flag(s.failureAlerted);
    if (key == "overdue_alerted") return flag(s.overdueAlerted);
    known = false;
    return true;
}

void WriteTime(std::string& out, const char* key, const std::optional<std::time_t>& when) {
    if (when) out += std::string(key) + "=" + FormatStateTime(*when) + "\n";
}

}  // namespace

const CrateRunState* RunStateTable::find(const std::string& crateName) const {
    const std::string wanted = Key(crateName);
    for (const CrateRunState& crate : crates)
        if (Key(crate.name) == wanted) return &crate;
    return nullptr;
}

CrateRunState& RunStateTable::entry(const std::string& crateName) {
    const std::string wanted = Key(crateName);
    for (CrateRunState& crate : crates)
        if (Key(crate.name) == wanted) return crate;
    crates.push_back(CrateRunState{});
    crates.back().name = crateName;
    return crates.back();
}

namespace {
constexpr LineEscapes StateEscapes{.nulAsZero = true, .strict = true};
}

std::string EscapeStateText(const std::string& text) {
    return EscapeLineText(text, StateEscapes);
}

std::optional<std::string> UnescapeStateText(const std::string& text) {
    return UnescapeLineText(text, StateEscapes);
}

std::string FormatStateTime(std::time_t when) {
    std::tm parts{};
    if (!UtcParts(when, parts)) return {};
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::optional<std::time_t> ParseStateTime(const std::string& text) {
    std::tm parts{};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char zone = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%n", &year, &month, &day, &hour,
                    &minute, &second, &zone, &used) != 7 ||
        zone != 'Z' || static_cast<std::size_t>(used) != text.size() || text.size() != 20)
        return std::nullopt;
    // No run of ours started before 1970, and strftime writes such years
    // without their leading zeros, so they would not read back.
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60)
        return std::nullopt;
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    const std::time_t when = FromUtcParts(parts);
    // A day the month does not have (Feb 30) moves on; such a time was not written here.
    if (parts.tm_mday != day || parts.tm_mon != month - 1) return std::nullopt;
    return when;
}

std::string FormatRunState(const RunStateTable& table) {
    std::string out;
    for (const std::string& line : table.leadingLines) out += line + "\n";
    for (const CrateRunState& s : table.crates) {
        out += "[" + EscapeStateText(s.name) + "]\n";
        WriteTime(out, "first_run", s.firstRun);
        WriteTime(out, "started", s.started);
        WriteTime(out, "ended", s.ended);
        if (s.result != RunResult::None)
            out += std::string("result=") + ResultText(s.result) + "\n";
        if (!s.error.empty()) out += "error=" + EscapeStateText(s.error) + "\n";
        out += "files=" + std::to_string(s.files) + "\n";
        out += "bytes=" + std::to_string(s.bytes) + "\n";
        out += "archive_bytes=" + std::to_string(s.archiveBytes) + "\n";
        out += "duration=" + std::to_string(s.durationSeconds) + "\n";
        WriteTime(out, "last_good", s.lastGood);
        out += "failures=" + std::to_string(s.failureStreak) + "\n";
        out += std::string("failure_alerted=") + (s.failureAlerted ? "1" : "0") + "\n";
        out += std::string("overdue_alerted=") + (s.overdueAlerted ? "1" : "0") + "\n";
        for (const std::string& line : s.otherLines) out += line + "\n";
    }
    return out;
}

RunStateParse ParseRunState(const std::string& text) {
    RunStateParse result;
    RunStateTable& table = result.table;
    // The section lines go to: none yet, or a header that could not be read (its
    // lines are dropped; the damaged copy keeps them).
    constexpr std::ptrdiff_t NoSection = -1, Unreadable = -2;
    std::ptrdiff_t section = NoSection;
    std::size_t lineNumber = 0;
    auto damaged = [&](const std::string& what) {
        if (result.problem.empty())
            result.problem = "line " + std::to_string(lineNumber) + ": " + what;
    };
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        while (!line.empty() && line.back() == '\r') line.pop_back();

        if (line.empty() || line[0] == '#' || line[0] == ';') {
            if (section >= 0)
                table.crates[static_cast<std::size_t>(section)].otherLines.push_back(line);
            else if (section == NoSection)
                table.leadingLines.push_back(line);
            continue;
        }
        if (line.front() == '[' && line.size() >= 2 && line.back() == ']') {
            auto name = UnescapeStateText(line.substr(1, line.size() - 2));
            if (!name || Trim(*name).empty()) {
                damaged("a Crate name that cannot be read");
                section = Unreadable;
                continue;
            }
            // A second section for a Crate adds to the first.
            if (table.find(*name)) damaged("a second section for the Crate " + *name);
            section = &table.entry(*name) - table.crates.data();
            continue;
        }
        if (section == Unreadable) continue;
        const std::size_t equals = line.find('=');
        if (section == NoSection || equals == std::string::npos || equals == 0) {
            damaged(section == NoSection ? "a line before the first Crate"
                                         : "a line that is not key=value");
            continue;
        }
        CrateRunState& crate = table.crates[static_cast<std::size_t>(section)];
        const std::string key = line.substr(0, equals);
        bool known = false;
        if (!SetKnown(crate, key, line.substr(equals + 1), known))
            damaged("the value of " + key + " cannot be read");
        else if (!known)
            crate.otherLines.push_back(line);
    }
    return result;
}

bool IsOverdue(const CrateRunState& state, std::time_t now, int days) {
    if (days <= 0) return false;
    const std::optional<std::time_t> since = state.lastGood ? state.lastGood : state.firstRun;
    if (!since) return false;
    return now - *since >= static_cast<std::time_t>(days) * 24 * 60 * 60;
}

}  // namespace stowaway
