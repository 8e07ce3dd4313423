#include "support/TestSessionBus.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>

namespace stowaway::test {

namespace {

// A session bus that starts no services: a notification server installed on
// the machine must not answer in the test's place.
std::string BusConfig(const std::string& socket) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>session</type>\n"
           "  <listen>unix:path=" +
           socket +
           "</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "    <allow own=\"*\"/>\n"
           "    <allow user=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
}

int Notify(sd_bus_message* call, void* user, sd_bus_error*) {
    auto* server = static_cast<RecordingNotificationServer*>(user);
    const char *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
    std::uint32_t replaces = 0;
    ReceivedNotification got;
    int r = sd_bus_message_read(call, "susss", &app, &replaces, &icon, &summary, &body);
    if (r < 0) return r;
    got.appName = app;
    got.summary = summary;
    got.body = body;
    r = sd_bus_message_skip(call, "as");
    if (r < 0) return r;
    r = sd_bus_message_enter_container(call, 'a', "{sv}");
    if (r < 0) return r;
    while ((r = sd_bus_message_enter_container(call, 'e', "sv")) > 0) {
        const char* key = nullptr;
        sd_bus_message_read(call, "s", &key);
        if (std::string(key) == "urgency") {
            std::uint8_t level = 0;
            sd_bus_message_read(call, "v", "y", &level);
            got.urgency = level;
        } else {
            sd_bus_message_skip(call, "v");
        }
        sd_bus_message_exit_container(call);
    }
    sd_bus_message_exit_container(call);
    server->take(std::move(got));
    return sd_bus_reply_method_return(call, "u", 1u);
}

const sd_bus_vtable NotificationsTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", Notify, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

}  // namespace

TestSessionBus::TestSessionBus() {
    const std::string config = dir_ / "bus.conf";
    WriteFile(config, BusConfig(dir_ / "bus"));
    int out[2];
    if (::pipe(out) != 0) return;
    daemon_ = ::fork();
    if (daemon_ == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        // Its notes about resource limits are not the test's business.
        const int quiet = ::open("/dev/null", O_WRONLY);
        if (quiet >= 0) ::dup2(quiet, 2);
        ::execlp("dbus-daemon", "dbus-daemon", ("--config-file=" + config).c_str(), "--nofork",
                 "--print-address=1", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    // The daemon prints its address once it listens.
    FILE* in = ::fdopen(out[0], "r");
    char line[512];
    if (in && std::fgets(line, sizeof line, in)) {
        address_ = line;
        while (!address_.empty() && (address_.back() == '\n' || address_.back() == '\r'))
            address_.pop_back();
    }
    if (in) std::fclose(in);
}

TestSessionBus::~TestSessionBus() {
    if (daemon_ > 0) {
        ::kill(daemon_, SIGTERM);
        ::waitpid(daemon_, nullptr, 0);
    }
}

RecordingNotificationServer::RecordingNotificationServer(const std::string& busAddress) {
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0) return;
    if (sd_bus_set_address(bus, busAddress.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
        sd_bus_start(bus) < 0 ||
        sd_bus_add_object_vtable(bus, &slot_, "/org/freedesktop/Notifications",
                                 "org.freedesktop.Notifications", NotificationsTable, this) < 0 ||
        sd_bus_request_name(bus, "org.freedesktop.Notifications", 0) < 0) {
        sd_bus_slot_unref(slot_);
        slot_ = nullptr;
        sd_bus_flush_close_unref(bus);
        return;
    }
    bus_ = bus;
    thread_ = std::thread([this] { serve(); });
}

RecordingNotificationServer::~RecordingNotificationServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    sd_bus_slot_unref(slot_);
    if (bus_) sd_bus_flush_close_unref(bus_);
}

void RecordingNotificationServer::serve() {
    while (!stop_) {
        const int r = sd_bus_process(bus_, nullptr);
        if (r < 0) return;
        // A short wait only so that the stop is seen; calls wake it at once.
        if (r == 0) sd_bus_wait(bus_, 50'000);
    }
}

void RecordingNotificationServer::take(ReceivedNotification notification) {
    std::lock_guard<std::mutex> hold(mutex_);
    received_.push_back(std::move(notification));
}

std::vector<ReceivedNotification> RecordingNotificationServer::received() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return received_;
}

std::vector<std::string> RecordingNotificationServer::summaries() const {
    std::vector<std::string> out;
    for (const ReceivedNotification& n : received()) out.push_back(n.summary);
    return out;
}

}  // namespace stowaway::test
