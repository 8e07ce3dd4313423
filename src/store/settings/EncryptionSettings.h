#pragma once

#include <string>
#include <string_view>

#include "store/settings/Settings.h"

namespace stowaway {

// A Crate's encryption keys: "encrypt = aes256" (absent or "off": not encrypted)
// and "key_file = PATH", the file whose first line is the password for runs that
// find none in the desktop keyring. The password itself is never in the file.
inline constexpr std::string_view EncryptKey = "encrypt";
inline constexpr std::string_view KeyFileKey = "key_file";
inline constexpr std::string_view Aes256Value = "aes256";

struct CrateEncryption {
    bool on = false;
    std::string keyFile;  // empty: none
    bool operator==(const CrateEncryption&) const = default;
};

// A value other than "aes256" or "off" reads as on, so that a typing slip never
// turns encryption off quietly; problem says what was read.
CrateEncryption CrateEncryptionOf(const Settings& settings, std::string_view crate,
                                  std::string* problem = nullptr);
// Off removes the "encrypt" key; an empty key file removes "key_file".
void SetCrateEncryption(Settings& settings, std::string_view crate,
                        const CrateEncryption& encryption);

}  // namespace stowaway
