#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "platform/Notifier.h"
#include "support/TestSessionBus.h"

namespace stowaway {
namespace {

// Points the session bus at a test's own for as long as it lives.
class SessionBusAddress {
  public:
    explicit SessionBusAddress(const std::string& address) {
        if (const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS")) old_ = old;
        ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    }
    ~SessionBusAddress() {
        if (old_)
            ::setenv("DBUS_SESSION_BUS_ADDRESS", old_->c_str(), 1);
        else
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

  private:
    std::optional<std::string> old_;
};

TEST(SessionBusNotifier, ANotificationReachesTheServerOnTheSessionBus) {
    test::TestSessionBus bus;
    ASSERT_FALSE(bus.address().empty()) << "dbus-daemon did not start";
    test::RecordingNotificationServer server(bus.address());
    ASSERT_TRUE(server.serving());
    SessionBusAddress use(bus.address());

    SessionBusNotifier notifier;
    EXPECT_EQ(notifier.notify({"Stowaway: the backup of Ünï \"x\" failed",
                               "The folder /gone does not exist.\nLog: /p/Log.txt", true}),
              "");
    EXPECT_EQ(notifier.notify({"Stowaway: the backup of x works again", "body", false}), "");
    const auto got = server.received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].appName, "Stowaway");
    EXPECT_EQ(got[0].summary, "Stowaway: the backup of Ünï \"x\" failed");
    EXPECT_EQ(got[0].body, "The folder /gone does not exist.\nLog: /p/Log.txt");
    EXPECT_EQ(got[0].urgency, 2);  // critical: it stays until dismissed
    EXPECT_EQ(got[1].urgency, 1);
}

TEST(SessionBusNotifier, NoServerAndNoBusAreToldApart) {
    test::TestSessionBus bus;
    ASSERT_FALSE(bus.address().empty()) << "dbus-daemon did not start";
    {
        SessionBusAddress use(bus.address());
        EXPECT_EQ(SessionBusNotifier().notify({"t", "b", false}),
                  "no notification server is running on the session bus");
    }
    test::TempDir nowhere;
    SessionBusAddress use("unix:path=" + nowhere / "no-bus");
    EXPECT_EQ(
        SessionBusNotifier().notify({"t", "b", false}).rfind("no session bus could be reached", 0),
        0u);
}

}  // namespace
}  // namespace stowaway
