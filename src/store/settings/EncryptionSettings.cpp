#include "store/settings/EncryptionSettings.h"

#include <optional>

#include "platform/Text.h"

namespace stowaway {

CrateEncryption CrateEncryptionOf(const Settings& settings, std::string_view crate,
                                  std::string* problem) {
    CrateEncryption out;
    if (const std::optional<std::string> keyFile = settings.crateValue(crate, KeyFileKey))
        out.keyFile = Trim(*keyFile);
    const std::optional<std::string> value = settings.crateValue(crate, EncryptKey);
    if (!value) return out;
    const std::string word = ToLower(Trim(*value));
    if (word == "off") return out;
    out.on = true;
    if (word != Aes256Value && problem)
        *problem = "the encryption of " + std::string(crate) + " is \"" + *value +
                   "\", not \"aes256\" or \"off\"; it is encrypted with AES-256";
    return out;
}

void SetCrateEncryption(Settings& settings, std::string_view crate,
                        const CrateEncryption& encryption) {
    if (encryption.on)
        settings.setCrateValue(crate, EncryptKey, Aes256Value);
    else
        settings.removeCrateValue(crate, EncryptKey);
    if (encryption.keyFile.empty())
        settings.removeCrateValue(crate, KeyFileKey);
    else
        settings.setCrateValue(crate, KeyFileKey, encryption.keyFile);
}

}  // namespace stowaway
