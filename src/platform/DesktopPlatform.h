#pragma once

#include "platform/Platform.h"

namespace stowaway {

// What every system's platform does alike: the clock, dates as the program
// shows them, and a folder's listing through the system's own open folder.
class DesktopPlatform : public Platform {
  public:
    std::time_t now() const override;
    std::string shortDate(std::time_t when) const override;  // month/day/year
    std::string longTime(std::time_t when) const override;   // 3:04:05 PM
    bool listDirectory(const std::string& folder, std::vector<DirEntry>& entries) const override;
};

}  // namespace stowaway
