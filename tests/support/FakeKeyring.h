#pragma once

#include <map>
#include <string>
#include <utility>

#include "platform/secrets/Keyring.h"

namespace stowaway::test {

// A keyring in memory: one password per program folder and Crate, or a status
// every look-up answers with.
class FakeKeyring : public Keyring {
  public:
    KeyringStatus lookup(const std::string& folder, const std::string& crate, SecretText& password,
                         std::string& problem) override {
        ++lookups;
        if (answer != KeyringStatus::Found) {
            problem = "the test keyring answers so";
            return answer;
        }
        auto it = items.find({folder, KeyringCrateName(crate)});
        if (it == items.end()) {
            problem = "the desktop keyring holds no password for it";
            return KeyringStatus::NotFound;
        }
        password.assign(it->second);
        return KeyringStatus::Found;
    }
    bool store(const std::string& folder, const std::string& crate, const SecretText& password,
               std::string& problem) override {
        if (refuse) {
            problem = "the test keyring refuses";
            return false;
        }
        items[{folder, KeyringCrateName(crate)}] = std::string(password.view());
        return true;
    }
    bool remove(const std::string& folder, const std::string& crate, std::string&) override {
        items.erase({folder, KeyringCrateName(crate)});
        return true;
    }

    std::map<std::pair<std::string, std::string>, std::string> items;
    KeyringStatus answer = KeyringStatus::Found;  // anything else: every look-up says so
    bool refuse = false;
    int lookups = 0;
};

}  // namespace stowaway::test
