#include <systemd/sd-bus.h>

#include <cstring>

#include "platform/Notifier.h"

namespace stowaway {

namespace {

// A notification server that does not answer within this must not hold up the
// end of a backup for long.
constexpr std::uint64_t CallTimeoutMicroseconds = 5'000'000;

// The reasons the bus gives, in words the run log can use.
std::string Why(const char* what, int result, const sd_bus_error* error) {
    std::string text = what;
    if (error && sd_bus_error_is_set(error)) {
        if (sd_bus_error_has_name(error, SD_BUS_ERROR_SERVICE_UNKNOWN) ||
            sd_bus_error_has_name(error, SD_BUS_ERROR_NAME_HAS_NO_OWNER))
            return "no notification server is running on the session bus";
        text += ": ";
        text += error->message ? error->message : error->name;
    } else if (result < 0) {
        text += ": ";
        text += std::strerror(-result);
    }
    return text;
}

}  // namespace

std::string SessionBusNotifier::notify(const DesktopAlert& alert) {
    sd_bus* bus = nullptr;
    int result = sd_bus_open_user(&bus);
    if (result < 0) return Why("no session bus could be reached", result, nullptr);
    sd_bus_set_method_call_timeout(bus, CallTimeoutMicroseconds);

    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout)
    result = sd_bus_message_new_method_call(bus, &call, "org.freedesktop.Notifications",
                                            "/org/freedesktop/Notifications",
                                            "org.freedesktop.Notifications", "Notify");
    if (result >= 0)
        result = sd_bus_message_append(call, "susssas", "Stowaway", 0u, "stowaway",
                                       alert.title.c_str(), alert.body.c_str(), 0);
    if (result >= 0) result = sd_bus_message_open_container(call, 'a', "{sv}");
    if (result >= 0)
        result = sd_bus_message_append(call, "{sv}", "urgency", "y",
                                       static_cast<std::uint8_t>(alert.urgent ? 2 : 1));
    if (result >= 0) result = sd_bus_message_append(call, "{sv}", "desktop-entry", "s", "stowaway");
    if (result >= 0) result = sd_bus_message_close_container(call);
    // A failure stays until it is dismissed; other news goes by itself.
    if (result >= 0) result = sd_bus_message_append(call, "i", alert.urgent ? 0 : -1);
    std::string why;
    if (result < 0) {
        why = Why("the notification could not be composed", result, nullptr);
    } else {
        result = sd_bus_call(bus, call, 0, &error, &reply);
        if (result < 0) why = Why("the notification server refused it", result, &error);
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    sd_bus_flush_close_unref(bus);
    return why;
}

}  // namespace stowaway

namespace stowaway {

std::unique_ptr<Notifier> MakeDesktopNotifier() {
    return std::make_unique<SessionBusNotifier>();
}

}  // namespace stowaway
