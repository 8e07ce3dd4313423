#include "support/TestKeyring.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdlib>

namespace stowaway::test {

TestKeyring& TestKeyring::Shared() {
    static TestKeyring keyring;
    return keyring;
}

TestKeyring::TestKeyring() {
    if (std::system("command -v gnome-keyring-daemon >/dev/null 2>&1") != 0) {
        missing_ = "gnome-keyring-daemon is not installed (Debian: gnome-keyring)";
        return;
    }
    if (bus_.address().empty()) {
        missing_ = "the private dbus-daemon did not start";
        return;
    }
    if (const char* before = std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
        hadAddress_ = true;
        savedAddress_ = before;
    }
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus_.address().c_str(), 1);
    const std::string home = dir_.path();
    const std::string runtime = dir_ / "run";
    ::mkdir(runtime.c_str(), 0700);
    int input[2];
    if (::pipe(input) != 0) {
        missing_ = "no pipe";
        return;
    }
    const pid_t starter = ::fork();
    if (starter == 0) {
        ::dup2(input[0], 0);
        ::close(input[0]);
        ::close(input[1]);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::unsetenv("DISPLAY");
        ::execlp("gnome-keyring-daemon", "gnome-keyring-daemon", "--daemonize", "--unlock",
                 "--components=secrets", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(input[0]);
    // The daemon takes its name on the bus after its starter ends: wait for the
    // bus to say so (a bound on the wait only stops a daemon that never comes).
    sd_bus* watch = nullptr;
    bool named = false;
    if (sd_bus_new(&watch) >= 0 && sd_bus_set_address(watch, address().c_str()) >= 0 &&
        sd_bus_set_bus_client(watch, 1) >= 0 && sd_bus_start(watch) >= 0)
        sd_bus_match_signal(
            watch, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "NameOwnerChanged",
            [](sd_bus_message* m, void* seen, sd_bus_error*) {
                const char* name = nullptr;
                if (sd_bus_message_read(m, "s", &name) >= 0 && name &&
                    std::string(name) == "org.freedesktop.secrets")
                    *static_cast<bool*>(seen) = true;
                return 0;
            },
            &named);
    const std::string unlock = "test keyring password";
    const ssize_t written = ::write(input[1], unlock.data(), unlock.size());
    ::close(input[1]);
    int status = 0;
    // The starting process ends once the daemon serves on the bus.
    ::waitpid(starter, &status, 0);
    if (written < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        missing_ = "gnome-keyring-daemon did not start (status " + std::to_string(status) + ")";
    } else if (watch) {
        const auto owned = [&] {
            sd_bus_error error = SD_BUS_ERROR_NULL;
            sd_bus_message* reply = nullptr;
            const bool has =
                sd_bus_call_method(watch, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus", "GetNameOwner", &error, &reply, "s",
                                   "org.freedesktop.secrets") >= 0;
            sd_bus_message_unref(reply);
            sd_bus_error_free(&error);
            return has;
        };
        for (int waits = 0; !named && !owned() && waits < 60; ++waits) {
            while (!named && sd_bus_process(watch, nullptr) > 0) {
            }
            if (!named) sd_bus_wait(watch, 1'000'000);
        }
        if (!named && !owned()) missing_ = "gnome-keyring-daemon never took its name on the bus";
    }
    if (watch) sd_bus_flush_close_unref(watch);
}

TestKeyring::~TestKeyring() {
    if (hadAddress_)
        ::setenv("DBUS_SESSION_BUS_ADDRESS", savedAddress_.c_str(), 1);
    else
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace stowaway::test
