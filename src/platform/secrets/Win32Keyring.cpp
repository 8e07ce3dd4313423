#include "platform/secrets/Keyring.h"

namespace stowaway {

namespace {

// No Secret Service on Windows, and the Credential Manager is not written yet:
// every call says so, nothing passes for stored.
class UnavailableKeyring : public Keyring {
  public:
    KeyringStatus lookup(const std::string&, const std::string&, SecretText& password,
                         std::string& problem) override {
        password.clear();
        problem = Reason;
        return KeyringStatus::Unavailable;
    }
    bool store(const std::string&, const std::string&, const SecretText&,
               std::string& problem) override {
        problem = Reason;
        return false;
    }
    bool remove(const std::string&, const std::string&, std::string& problem) override {
        problem = Reason;
        return false;
    }

  private:
    static constexpr const char* Reason = "a desktop keyring is not available on this system";
};

}  // namespace

std::unique_ptr<Keyring> MakeDesktopKeyring() {
    return std::make_unique<UnavailableKeyring>();
}

}  // namespace stowaway
