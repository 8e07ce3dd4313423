#include <cstdlib>
#include <initializer_list>

#include "platform/Display.h"

namespace stowaway {

bool DisplayAvailable() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace stowaway
