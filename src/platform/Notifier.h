#pragma once

#include <memory>
#include <string>

namespace stowaway {

// A desktop notification: a title and a few lines of body.
struct DesktopAlert {
    std::string title;
    std::string body;
    bool urgent = false;  // a failure stays until the user dismisses it
};

// Shows desktop notifications. Nothing shown is never an error of the caller's
// work: the answer only tells why, for the run log.
class Notifier {
  public:
    virtual ~Notifier() = default;
    // "" when the notification was handed to a notification server, else why not.
    virtual std::string notify(const DesktopAlert& alert) = 0;
};

// org.freedesktop.Notifications on the user's session bus (the bus that
// DBUS_SESSION_BUS_ADDRESS names, or the one in XDG_RUNTIME_DIR), connected for
// each notification: they are rare and a long-lived connection would outlive a
// restarted bus.
class SessionBusNotifier : public Notifier {
  public:
    std::string notify(const DesktopAlert& alert) override;
};

// The desktop's notifier on the system the program runs on.
std::unique_ptr<Notifier> MakeDesktopNotifier();

}  // namespace stowaway
