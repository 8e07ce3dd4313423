// The desktop keyring for real: gnome-keyring's Secret Service in a bus of the
// test's own.
#include <gtest/gtest.h>

#include "platform/secrets/Keyring.h"
#include "support/TestKeyring.h"

namespace stowaway {
namespace {

class DesktopKeyring : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!daemon.missing().empty()) GTEST_SKIP() << daemon.missing();
    }
    KeyringStatus lookup(const std::string& folder, const std::string& crate) {
        password.clear();
        problem.clear();
        return keyring.lookup(folder, crate, password, problem);
    }
    test::TestKeyring& daemon = test::TestKeyring::Shared();
    SecretServiceKeyring keyring;
    SecretText password;
    std::string problem;
};

TEST_F(DesktopKeyring, KeepsOnePasswordPerProgramFolderAndCrate) {
    EXPECT_EQ(lookup("/opt/first", "Docs"), KeyringStatus::NotFound) << problem;
    EXPECT_EQ(problem, "the desktop keyring holds no password for it");
    SecretText first, second;
    first.assign("first pw");
    second.assign("second pw");
    ASSERT_TRUE(keyring.store("/opt/first", "Docs", first, problem)) << problem;
    ASSERT_TRUE(keyring.store("/opt/second", "Docs", second, problem)) << problem;
    ASSERT_EQ(lookup("/opt/first", " DOCS "), KeyringStatus::Found) << problem;
    EXPECT_EQ(password.view(), "first pw");
    ASSERT_EQ(lookup("/opt/second", "docs"), KeyringStatus::Found);
    EXPECT_EQ(password.view(), "second pw");
    // Stored again, it is replaced, not doubled.
    ASSERT_TRUE(keyring.store("/opt/first", "Docs", second, problem));
    ASSERT_EQ(lookup("/opt/first", "Docs"), KeyringStatus::Found);
    EXPECT_EQ(password.view(), "second pw");
    ASSERT_TRUE(keyring.remove("/opt/first", "Docs", problem)) << problem;
    EXPECT_EQ(lookup("/opt/first", "Docs"), KeyringStatus::NotFound);
    EXPECT_EQ(lookup("/opt/second", "Docs"), KeyringStatus::Found);
}

TEST(DesktopKeyringMissing, NoKeyringOnTheBusIsUnavailable) {
    test::TestSessionBus bus;
    ASSERT_FALSE(bus.address().empty());
    const char* before = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string saved = before ? before : "";
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
    SecretServiceKeyring keyring;
    SecretText password;
    std::string problem;
    EXPECT_EQ(keyring.lookup("/opt/first", "Docs", password, problem), KeyringStatus::Unavailable);
    EXPECT_EQ(problem, "no desktop keyring (Secret Service) runs on the session bus");
    EXPECT_FALSE(keyring.store("/opt/first", "Docs", password, problem));
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    EXPECT_EQ(keyring.lookup("/opt/first", "Docs", password, problem), KeyringStatus::Unavailable);
    EXPECT_NE(problem.find("the session bus does not answer"), std::string::npos) << problem;
    if (before)
        ::setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
    else
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace
}  // namespace stowaway
