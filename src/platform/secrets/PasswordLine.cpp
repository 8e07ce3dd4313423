#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/secrets/KeyFile.h"

namespace stowaway {

std::string ReadPasswordLine(int fd, const std::string& named, SecretText& password) {
    password.clear();
    std::array<char, SecretText::Capacity + 2> bytes{};
    struct Wipe {
        std::array<char, SecretText::Capacity + 2>& bytes;
        ~Wipe() { WipeMemory(bytes.data(), bytes.size()); }
    } wipe{bytes};
    std::size_t got = 0;
    // Byte by byte up to the line break: what follows it is not ours to take.
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return named + " cannot be read: " + std::strerror(errno) + ".";
        if (n == 0 || bytes[got] == '\n') break;
        ++got;
    }
    std::string_view text(bytes.data(), got);
    if (got == bytes.size() || got > SecretText::Capacity + 1)
        return named + " holds a first line longer than " + std::to_string(SecretText::Capacity) +
               " bytes; a password is at most that long.";
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (text.empty()) return named + " holds no password on its first line.";
    if (!password.assign(text))
        return named + " holds a first line longer than " + std::to_string(SecretText::Capacity) +
               " bytes; a password is at most that long.";
    return {};
}

}  // namespace stowaway
