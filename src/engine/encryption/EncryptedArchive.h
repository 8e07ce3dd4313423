#pragma once

#include <string>

namespace stowaway {

class Platform;

// Whether an archive's central directory lists an encrypted entry (method 99, the
// AES form, or the general-purpose flag's bit 0). The names and the archive
// comment stay readable without the password, so this needs none.
enum class ArchiveEncryption { Plain, Encrypted, Unreadable };

// The archive may be the last volume NAME.zip of a split set: its directory may
// start in NAME.z01, NAME.z02, ... beside it. An archive that cannot be read is
// Unreadable; the archiver then says what is wrong with it.
ArchiveEncryption ArchiveEncryptionOf(const Platform& platform, const std::string& archive);

}  // namespace stowaway
