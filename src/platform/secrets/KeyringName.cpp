#include "platform/Text.h"
#include "platform/secrets/Keyring.h"

namespace stowaway {

std::string KeyringCrateName(const std::string& crate) {
    return ToLower(Trim(crate));
}

}  // namespace stowaway
