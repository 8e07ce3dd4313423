#include "WorkOwner.h"

#include "platform/os/Self.h"

namespace pkzip {

const std::string& ThisHost() {
    static const std::string host = [] {
        const std::string raw = stowaway::os::HostName();
        if (raw.empty()) return std::string("host");
        std::string h;
        for (size_t i = 0; i < raw.size() && h.size() < kHostNameMax; ++i) {
            const char c = raw[i];
            const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                               (c >= '0' && c <= '9') || c == '.' || c == '_';
            h += plain ? c : '_';
        }
        return h;
    }();
    return host;
}

bool ProcessAlive(long pid) {
    return stowaway::os::ProcessAlive(pid);
}

}  // namespace pkzip
