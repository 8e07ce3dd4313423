#include <windows.h>

#include "platform/Display.h"

namespace stowaway {

// No DISPLAY on Windows: the window station says whether this session has a
// desktop a user sees (a service's has not).
bool DisplayAvailable() {
    HWINSTA station = ::GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    if (!station || !::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr))
        return true;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace stowaway
