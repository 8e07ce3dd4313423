#include "platform/CaseFold.h"
#include "platform/Text.h"
#include "platform/secrets/Keyring.h"

namespace stowaway {

std::string KeyringCrateName(const std::string& crate) {
    return FoldCase(Trim(crate));
}

}  // namespace stowaway
