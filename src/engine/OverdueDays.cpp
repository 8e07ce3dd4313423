#include "engine/OverdueDays.h"

#include "platform/Platform.h"
#include "store/settings/CrateSettings.h"
#include "store/settings/SettingsFile.h"

namespace stowaway {

int OverdueDays(const Platform& platform, const std::string& programFolder,
                const std::string& crateName) {
    const SettingsLoad load = LoadSettings(platform, SettingsPath(platform.style(), programFolder));
    return CrateOverdueDays(load.settings, crateName);
}

}  // namespace stowaway
