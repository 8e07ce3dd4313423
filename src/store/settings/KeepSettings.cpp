#include "store/settings/KeepSettings.h"

#include <charconv>

#include "platform/Text.h"

namespace stowaway {

std::optional<KeepPolicy> ParseKeepPolicy(std::string_view text, std::string& error) {
    const std::string trimmed = Trim(std::string(text));
    if (ToLower(trimmed) == "off") return KeepPolicy{};
    KeepPolicy policy;
    policy.on = true;
    int* const fields[] = {&policy.last, &policy.daily, &policy.weekly, &policy.monthly};
    std::size_t field = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = trimmed.find(',', start);
        const std::string part = Trim(trimmed.substr(start, comma - start));
        if (field == 4) {
            error = "\"" + trimmed + "\" has more than four counts (last, daily, weekly, monthly)";
            return std::nullopt;
        }
        int value = -1;
        const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || ec != std::errc{} || end != part.data() + part.size() || value < 0 ||
            value > MaxKeepCount) {
            error = "\"" + trimmed +
                    "\" is not \"off\" or LAST[,DAILY,WEEKLY,MONTHLY] of whole numbers from 0 to " +
                    std::to_string(MaxKeepCount);
            return std::nullopt;
        }
        *fields[field++] = value;
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (policy.last < 1) {
        error = "\"" + trimmed +
                "\" keeps no archive at all: LAST counts the current one and is at least 1";
        return std::nullopt;
    }
    return policy;
}

std::string FormatKeepPolicy(const KeepPolicy& policy) {
    if (!policy.on) return "off";
    return std::to_string(policy.last) + "," + std::to_string(policy.daily) + "," +
           std::to_string(policy.weekly) + "," + std::to_string(policy.monthly);
}

KeepPolicy CrateKeepPolicy(const Settings& settings, std::string_view crate, std::string* problem) {
    const std::optional<std::string> value = settings.crateValue(crate, KeepKey);
    if (!value) return KeepPolicy{};
    std::string error;
    if (std::optional<KeepPolicy> policy = ParseKeepPolicy(*value, error)) return *policy;
    if (problem)
        *problem = "the kept versions of " + std::string(crate) + ": " + error + "; none are kept";
    return KeepPolicy{};
}

void SetCrateKeepPolicy(Settings& settings, std::string_view crate, const KeepPolicy& policy) {
    if (!policy.on)
        settings.removeCrateValue(crate, KeepKey);
    else
        settings.setCrateValue(crate, KeepKey, FormatKeepPolicy(policy));
}

}  // namespace stowaway
