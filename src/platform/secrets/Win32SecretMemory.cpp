#include <windows.h>

#include "platform/secrets/ProcessDumps.h"
#include "platform/secrets/SecretText.h"

namespace stowaway {

// Windows has no flag of the process's own against dumps: another process of the
// same user may read its memory whatever it does.
int ForbidDumps() {
    return 0;
}

void AllowDumps(int) {}

void WipeMemory(void* data, std::size_t size) {
    if (data && size > 0) ::SecureZeroMemory(data, size);
}

}  // namespace stowaway
