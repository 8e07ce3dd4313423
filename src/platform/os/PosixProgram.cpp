#include <unistd.h>

#include "platform/os/Program.h"

namespace stowaway::os {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::string ExecutablePath() {
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= path.size()) return {};
    path.resize(static_cast<std::size_t>(n));
    return path;
}

}  // namespace stowaway::os
