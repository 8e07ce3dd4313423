#pragma once

#include <string>
#include <vector>

#include "store/settings/Settings.h"

namespace stowaway {

class Platform;
class PathStyle;

inline constexpr const char* SettingsFileName = "Stowaway.ini";

// The settings file of a program folder.
std::string SettingsPath(const PathStyle& style, const std::string& programFolder);

struct SettingsLoad {
    Settings settings;
    // Empty when the file read well (or is missing, which is no settings at all).
    std::vector<std::string> problems;
    // The file exists but could not be read: saving over it would lose it.
    bool unreadable = false;
};
SettingsLoad LoadSettings(const Platform& platform, const std::string& path);

// One message for a load that had problems, naming the file and what was wrong;
// the Crates themselves are not affected.
std::string SettingsProblemText(const std::string& path, const std::vector<std::string>& problems);

// Writes the whole file at once (a temporary file beside it, flushed, renamed over
// it). On failure the file stays as it was and error says why.
bool SaveSettings(const Platform& platform, const std::string& path, const Settings& settings,
                  std::string& error);

}  // namespace stowaway
