#include "engine/schedule/SystemdUnits.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "engine/schedule/Calendar.h"
#include "platform/CaseFold.h"
#include "platform/Text.h"

namespace stowaway {

namespace {

// The text of a Crate's units names the Crate; % starts a specifier there.
std::string DescriptionText(std::string_view crate) {
    std::string out;
    for (const char c : crate) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            out += '?';
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return out;
}

std::uint32_t Fnv1a(std::string_view text) {
    std::uint32_t hash = 2166136261u;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string SystemdEscape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == ':' || c == '_' || (c == '.' && i > 0);
        if (c == '/') {
            out += '-';
        } else if (plain) {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
            out += hex;
        }
    }
    return out;
}

std::string UnitBaseName(std::string_view crate) {
    const std::string normal = FoldCase(Trim(crate));
    std::string escaped = SystemdEscape(normal);
    // A unit name holds at most 255 characters; ".service" and the hash need room.
    constexpr std::size_t Room = 200;
    if (escaped.size() > Room) {
        escaped.resize(Room);
        // Never cut an escape in half.
        const std::size_t slash = escaped.rfind('\\');
        if (slash != std::string::npos && slash + 4 > escaped.size()) escaped.resize(slash);
    }
    char hash[9];
    std::snprintf(hash, sizeof hash, "%08x", Fnv1a(normal));
    return std::string(UnitPrefix) + escaped + "-" + hash;
}

std::string ExecArgument(std::string_view word) {
    std::string out = "\"";
    for (const char c : word) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '%') {
            out += "%%";
        } else if (c == '$') {
            out += "$$";
        } else if (u < 0x20 || u == 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::optional<std::string> ExecProgram(std::string_view path) {
    std::string out = "\"";
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == '"' || c == '\'' || c == '\\') return std::nullopt;
        out += c == '%' ? std::string("%%") : std::string(1, c);
    }
    return out + "\"";
}

std::optional<std::vector<std::string>> SplitExecLine(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i == line.size()) return words;
        if (line[i] != '"') return std::nullopt;
        std::string word;
        for (++i;; ++i) {
            if (i >= line.size()) return std::nullopt;
            const char c = line[i];
            if (c == '"') break;
            if ((c == '%' || (c == '$' && !words.empty())) && i + 1 < line.size() &&
                line[i + 1] == c) {
                word += c;
                ++i;
            } else if (c == '\\') {
                if (++i >= line.size()) return std::nullopt;
                if (line[i] == 'x') {
                    if (i + 2 >= line.size()) return std::nullopt;
                    const int high = HexValue(line[i + 1]), low = HexValue(line[i + 2]);
                    if (high < 0 || low < 0) return std::nullopt;
                    word += static_cast<char>(high * 16 + low);
                    i += 2;
                } else {
                    word += line[i];
                }
            } else {
                word += c;
            }
        }
        ++i;
        words.push_back(std::move(word));
    }
}

std::string ServiceUnitText(std::string_view crate, std::string_view program) {
    return "# Written by Stowaway for its schedule of a Crate; it is rewritten when the\n"
           "# schedule is applied again.\n"
           "[Unit]\n"
           "Description=Stowaway backup of the Crate " +
           DescriptionText(crate) +
           "\n"
           "\n"
           "[Service]\n"
           "Type=oneshot\n"
           "ExecStart=" +
           ExecProgram(program).value_or("\"\"") + " " + ExecArgument("-abu") + " " +
           ExecArgument(crate) + "\n";
}

std::string TimerUnitText(std::string_view crate, const Schedule& schedule) {
    return "# Written by Stowaway for its schedule of a Crate; it is rewritten when the\n"
           "# schedule is applied again.\n"
           "[Unit]\n"
           "Description=Stowaway schedule of the Crate " +
           DescriptionText(crate) +
           "\n"
           "\n"
           "[Timer]\n"
           "OnCalendar=" +
           OnCalendarText(schedule) +
           "\n"
           "Persistent=true\n"
           "\n"
           "[Install]\n"
           "WantedBy=timers.target\n";
}

std::optional<ServiceCommand> ReadServiceCommand(std::string_view serviceText) {
    constexpr std::string_view Key = "ExecStart=";
    std::size_t start = 0;
    while (start < serviceText.size()) {
        std::size_t end = serviceText.find('\n', start);
        if (end == std::string_view::npos) end = serviceText.size();
        const std::string_view line = serviceText.substr(start, end - start);
        start = end + 1;
        if (line.substr(0, Key.size()) != Key) continue;
        const auto words = SplitExecLine(line.substr(Key.size()));
        if (!words || words->size() != 3 || (*words)[1] != "-abu") return std::nullopt;
        return ServiceCommand{(*words)[0], (*words)[2]};
    }
    return std::nullopt;
}

}  // namespace stowaway
