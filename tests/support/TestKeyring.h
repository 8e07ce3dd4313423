#pragma once

#include <string>

#include "support/TestPlatforms.h"
#include "support/TestSessionBus.h"

namespace stowaway::test {

// A real desktop keyring for a test: gnome-keyring-daemon's Secret Service in a
// private session bus, its keyrings in a folder of its own, unlocked with a
// password on its standard input. While it lives, DBUS_SESSION_BUS_ADDRESS of the
// test process names its bus. The daemon ends with the bus.
// One per test process (Shared): the keyring's client library keeps its first
// session bus for the life of the process, as the program does.
class TestKeyring {
  public:
    static TestKeyring& Shared();
    TestKeyring();
    ~TestKeyring();
    TestKeyring(const TestKeyring&) = delete;
    TestKeyring& operator=(const TestKeyring&) = delete;

    // Empty when it runs; otherwise why not (no gnome-keyring installed, say).
    const std::string& missing() const { return missing_; }
    const std::string& address() const { return bus_.address(); }

  private:
    TempDir dir_;
    TestSessionBus bus_;
    std::string missing_;
    std::string savedAddress_;
    bool hadAddress_ = false;
};

}  // namespace stowaway::test
