#include "WorkOwner.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace pkzip {

const std::string& ThisHost() {
    static const std::string host = [] {
        char raw[256] = {};
        if (::gethostname(raw, sizeof raw - 1) != 0 || raw[0] == '\0') return std::string("host");
        std::string h;
        for (const char* p = raw; *p && h.size() < kHostNameMax; ++p) {
            const char c = *p;
            const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                               (c >= '0' && c <= '9') || c == '.' || c == '_';
            h += plain ? c : '_';
        }
        return h;
    }();
    return host;
}

bool ProcessAlive(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace pkzip
