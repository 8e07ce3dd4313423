#include "platform/DesktopPlatform.h"

#include <array>
#include <cstdio>
#include <memory>

#include "platform/CalendarTime.h"
#include "platform/OpenFolder.h"

namespace stowaway {

std::time_t DesktopPlatform::now() const {
    return std::time(nullptr);
}

std::string DesktopPlatform::shortDate(std::time_t when) const {
    std::tm tm{};
    LocalParts(when, tm);
    return std::to_string(tm.tm_mon + 1) + "/" + std::to_string(tm.tm_mday) + "/" +
           std::to_string(tm.tm_year + 1900);
}

std::string DesktopPlatform::longTime(std::time_t when) const {
    std::tm tm{};
    LocalParts(when, tm);
    int hour = tm.tm_hour % 12;
    if (hour == 0) hour = 12;
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%d:%02d:%02d %s", hour, tm.tm_min, tm.tm_sec,
                  tm.tm_hour < 12 ? "AM" : "PM");
    return buffer.data();
}

bool DesktopPlatform::listDirectory(const std::string& folder,
                                    std::vector<DirEntry>& entries) const {
    entries.clear();
    std::unique_ptr<OpenFolder> open = openFolder(folder);
    if (!open) return false;
    FolderEntry e;
    while (open->next(e))
        entries.push_back({std::string(e.name), e.isFolder, e.isLink, e.hidden, e.system});
    return !open->failed();
}

}  // namespace stowaway
