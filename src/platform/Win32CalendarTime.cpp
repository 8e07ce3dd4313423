#include "platform/CalendarTime.h"

namespace stowaway {

bool LocalParts(std::time_t when, std::tm& parts) {
    return localtime_s(&parts, &when) == 0;
}

bool UtcParts(std::time_t when, std::tm& parts) {
    return gmtime_s(&parts, &when) == 0;
}

std::time_t FromUtcParts(std::tm& parts) {
    return _mkgmtime(&parts);
}

}  // namespace stowaway
