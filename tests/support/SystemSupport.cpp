#include "support/SystemSupport.h"

namespace stowaway::test {

namespace {

#ifdef _WIN32
constexpr bool OnWindows = true;
#else
constexpr bool OnWindows = false;
#endif

}  // namespace

std::string MissingFacility(Facility facility) {
    if (!OnWindows) return {};
    switch (facility) {
        case Facility::OtherUsers:
            return "Windows has no user to drop to and no POSIX permission bits";
        case Facility::Fifos:
            return "Windows has no FIFOs, devices or sockets with names in folders";
        case Facility::FileSizeLimit:
            return "Windows has no RLIMIT_FSIZE";
        case Facility::Systemd:
            return "Windows has no systemd user manager and no crontab";
        case Facility::SessionBus:
            return "Windows has no D-Bus session bus";
        case Facility::Keyring:
            return "Windows has no Secret Service keyring";
        case Facility::KeyFiles:
            return "key files are not read on Windows yet (their access list is not checked)";
        case Facility::Shell:
            return "Windows has no /bin/sh and Unix tools for the test to call";
        case Facility::PeerTools:
            return "Windows has no unzip, 7-Zip, bsdtar or Python of its own to check archives "
                   "with (the interoperability run has the host's read this archiver's)";
        case Facility::PosixPaths:
            return "the program's paths are Windows ones here, not the POSIX ones checked";
        case Facility::SymbolicLinks:
            return "symbolic links need a privilege on Windows (and Wine makes none)";
    }
    return {};
}

}  // namespace stowaway::test
