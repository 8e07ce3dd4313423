#pragma once

#include <sys/types.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/TestPlatforms.h"

typedef struct sd_bus sd_bus;
typedef struct sd_bus_slot sd_bus_slot;

namespace stowaway::test {

// A private session bus: a dbus-daemon of its own, with no services to start,
// ended with the object.
class TestSessionBus {
  public:
    TestSessionBus();
    ~TestSessionBus();
    TestSessionBus(const TestSessionBus&) = delete;
    TestSessionBus& operator=(const TestSessionBus&) = delete;
    // What DBUS_SESSION_BUS_ADDRESS takes; empty when the daemon did not start.
    const std::string& address() const { return address_; }

  private:
    TempDir dir_;
    pid_t daemon_ = -1;
    std::string address_;
};

// One Notify call as the server received it.
struct ReceivedNotification {
    std::string appName, summary, body;
    int urgency = -1;
};

// org.freedesktop.Notifications on a bus, answering every Notify and keeping
// what came. The name is owned once the constructor returns.
class RecordingNotificationServer {
  public:
    explicit RecordingNotificationServer(const std::string& busAddress);
    ~RecordingNotificationServer();
    RecordingNotificationServer(const RecordingNotificationServer&) = delete;
    RecordingNotificationServer& operator=(const RecordingNotificationServer&) = delete;
    bool serving() const { return bus_ != nullptr; }
    std::vector<ReceivedNotification> received() const;
    std::vector<std::string> summaries() const;

    // For the method handler.
    void take(ReceivedNotification notification);

  private:
    void serve();
    sd_bus* bus_ = nullptr;
    sd_bus_slot* slot_ = nullptr;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<ReceivedNotification> received_;
    std::thread thread_;
};

}  // namespace stowaway::test
