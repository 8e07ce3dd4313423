#pragma once

#include <gtest/gtest.h>

#include <string>

namespace stowaway::test {

// What some tests need of the system that not every system the core is built for
// has. A test that needs one calls STOWAWAY_NEEDS(Facility) first and is skipped
// with the reason where it is missing.
enum class Facility {
    OtherUsers,     // an unprivileged user to drop to, and POSIX permission bits
    Fifos,          // FIFOs, devices and sockets with names in the file system
    FileSizeLimit,  // RLIMIT_FSIZE, to make a write fail as on a full medium
    Systemd,        // a systemd user manager, systemctl and crontab
    SessionBus,     // a D-Bus session bus (desktop notifications)
    Keyring,        // the Secret Service keyring
    KeyFiles,       // key files whose owner and mode are checked
    Shell,          // /bin/sh and the Unix tools the tests call (unzip, 7z, bsdtar)
    PeerTools,      // unzip, 7-Zip, bsdtar and Python to check archives with
    SymbolicLinks,  // symbolic links any user may make
    PosixPaths,     // the program's own paths are POSIX ones ("/" root, case kept)
};

// Empty when this system has the facility; else why a test that needs it is skipped.
std::string MissingFacility(Facility facility);
// For the part of a test that checks what only a system with the facility shows.
inline bool Has(Facility facility) {
    return MissingFacility(facility).empty();
}

}  // namespace stowaway::test

#define STOWAWAY_NEEDS(facility)                                                     \
    if (const std::string stowawayMissing =                                          \
            ::stowaway::test::MissingFacility(::stowaway::test::Facility::facility); \
        !stowawayMissing.empty())                                                    \
    GTEST_SKIP() << stowawayMissing
