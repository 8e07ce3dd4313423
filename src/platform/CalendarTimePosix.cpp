#include "platform/CalendarTime.h"

namespace stowaway {

bool LocalParts(std::time_t when, std::tm& parts) {
    return localtime_r(&when, &parts) != nullptr;
}

bool UtcParts(std::time_t when, std::tm& parts) {
    return gmtime_r(&when, &parts) != nullptr;
}

std::time_t FromUtcParts(std::tm& parts) {
    return timegm(&parts);
}

}  // namespace stowaway
