#include <string.h>
#include <sys/prctl.h>

#include "platform/secrets/ProcessDumps.h"
#include "platform/secrets/SecretText.h"

namespace stowaway {

int ForbidDumps() {
    const int before = ::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0);
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    return before;
}

void AllowDumps(int before) {
    ::prctl(PR_SET_DUMPABLE, before, 0, 0, 0);
}

void WipeMemory(void* data, std::size_t size) {
    if (data && size > 0) ::explicit_bzero(data, size);
}

}  // namespace stowaway
