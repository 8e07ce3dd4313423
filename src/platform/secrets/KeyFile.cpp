#include "platform/secrets/KeyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace stowaway {

namespace {

std::string Mode(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

struct ReadBuffer {
    int fd = -1;
    ~ReadBuffer() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::string ReadKeyFile(const std::string& path, SecretText& password) {
    password.clear();
    const std::string named = "The key file " + path;
    if (path.empty()) return "No key file is set.";
    ReadBuffer buffer;
    buffer.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (buffer.fd < 0) return named + " cannot be opened: " + std::strerror(errno) + ".";
    struct stat st {};
    if (::fstat(buffer.fd, &st) != 0)
        return named + " cannot be read: " + std::strerror(errno) + ".";
    if (!S_ISREG(st.st_mode)) return named + " is not a regular file.";
    if (st.st_uid != ::geteuid())
        return named + " belongs to another user (" + std::to_string(st.st_uid) +
               "); it must be your own.";
    if ((st.st_mode & 077) != 0)
        return named + " may be read or changed by others (mode " + Mode(st.st_mode) +
               "); make it yours alone: chmod 600 " + path;
    return ReadPasswordLine(buffer.fd, named, password);
}

}  // namespace stowaway

namespace stowaway {

std::string ReadPasswordFromInput(const std::string& prompt, SecretText& password) {
    termios before{};
    const bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &before) == 0;
    if (terminal) {
        termios quiet = before;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        const ssize_t shown = ::write(STDERR_FILENO, prompt.data(), prompt.size());
        (void)shown;
    }
    std::string problem = ReadPasswordLine(STDIN_FILENO, "Standard input", password);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
        const ssize_t shown = ::write(STDERR_FILENO, "\n", 1);
        (void)shown;
    }
    return problem;
}

}  // namespace stowaway
