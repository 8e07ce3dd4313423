#include "store/settings/SettingsFile.h"

#include "platform/Platform.h"

namespace stowaway {

std::string SettingsPath(const PathStyle& style, const std::string& programFolder) {
    return style.join(programFolder, SettingsFileName);
}

SettingsLoad LoadSettings(const Platform& platform, const std::string& path) {
    SettingsLoad load;
    std::string text;
    switch (platform.readWholeFile(path, text)) {
        case ReadStatus::Read:
            load.settings = Settings::Parse(text, load.problems);
            break;
        case ReadStatus::Missing:
            break;
        case ReadStatus::DanglingLink:
        case ReadStatus::NotAFile:
        case ReadStatus::Failed:
            load.unreadable = true;
            load.problems.push_back("the file could not be read");
            break;
    }
    return load;
}

std::string SettingsProblemText(const std::string& path, const std::vector<std::string>& problems) {
    std::string text = "There is a problem with the settings file " + path +
                       " (the Crates are not affected; lines that are not understood are kept "
                       "as they are):";
    for (const std::string& problem : problems) text += "\n  " + problem;
    return text;
}

bool SaveSettings(const Platform& platform, const std::string& path, const Settings& settings,
                  std::string& error) {
    const std::string text = settings.format();
    const bool saved = platform.replaceFile(path, [&](std::ostream& out) {
        out << text;
        return static_cast<bool>(out);
    });
    if (!saved)
        error = "The settings could not be saved to " + path +
                " (is the folder or the file read-only, or the disk full?); the file is as it "
                "was before.";
    return saved;
}

}  // namespace stowaway
