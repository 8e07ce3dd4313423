#pragma once

#include <memory>
#include <string>

#include "platform/secrets/SecretText.h"

namespace stowaway {

// What a look-up in the desktop keyring found.
enum class KeyringStatus {
    Found,
    NotFound,     // the keyring answered and holds no password for it
    Locked,       // the keyring holds one but is locked (nobody has logged in to it)
    Unavailable,  // no session bus, or no keyring answers on it
};

// The desktop keyring: one password per program folder and Crate, so two program
// folders with a Crate of the same name keep theirs apart.
class Keyring {
  public:
    virtual ~Keyring() = default;
    // Fills password when found; problem says why not otherwise.
    virtual KeyringStatus lookup(const std::string& programFolder, const std::string& crate,
                                 SecretText& password, std::string& problem) = 0;
    // Stores (or replaces) the password; false with the reason in problem.
    virtual bool store(const std::string& programFolder, const std::string& crate,
                       const SecretText& password, std::string& problem) = 0;
    // Removes the password, if there is one; false with the reason in problem.
    virtual bool remove(const std::string& programFolder, const std::string& crate,
                        std::string& problem) = 0;
};

// The keyring through the Secret Service on the session bus (libsecret): gnome-keyring,
// KWallet or any other provider. Each call first asks the bus that
// DBUS_SESSION_BUS_ADDRESS (or the user's runtime folder) names whether a provider
// runs, on a connection of its own, so that none is started or waited for; a
// look-up never asks the provider to unlock anything, so an unattended run cannot
// hang on a prompt.
class SecretServiceKeyring : public Keyring {
  public:
    KeyringStatus lookup(const std::string& programFolder, const std::string& crate,
                         SecretText& password, std::string& problem) override;
    bool store(const std::string& programFolder, const std::string& crate,
               const SecretText& password, std::string& problem) override;
    bool remove(const std::string& programFolder, const std::string& crate,
                std::string& problem) override;
};

// The desktop keyring of the system the program runs on.
std::unique_ptr<Keyring> MakeDesktopKeyring();

// The attribute a Crate's name has in the keyring: trimmed and in lower case, as
// Crate names match.
std::string KeyringCrateName(const std::string& crate);

}  // namespace stowaway
