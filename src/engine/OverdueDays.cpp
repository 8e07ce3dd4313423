#include "engine/OverdueDays.h"

namespace stowaway {

int OverdueDays(const Platform& platform, const std::string& programFolder,
                const std::string& crateName) {
    (void)platform;
    (void)programFolder;
    (void)crateName;
    return DefaultOverdueDays;
}

}  // namespace stowaway
