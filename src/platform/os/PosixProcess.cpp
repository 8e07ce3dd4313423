#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <utility>

#include "platform/os/Process.h"

extern char** environ;

namespace stowaway::os {

namespace {

// Descriptors closed when they go.
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int value) : fd(value) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    int release() { return std::exchange(fd, -1); }
};

struct SpawnActions {
    posix_spawn_file_actions_t actions;
    SpawnActions() { posix_spawn_file_actions_init(&actions); }
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions); }
};

void Fail(SpawnFailure* failure, std::string file, int error) {
    if (failure) *failure = {std::move(file), std::strerror(error)};
}

// Sets up descriptor `target` of the program; `ours` keeps our end of a pipe.
bool SetUpStream(const Stream& stream, int target, posix_spawn_file_actions_t* actions,
                 Fd& childEnd, Fd& ours, SpawnFailure* failure) {
    const bool input = target == 0;
    switch (stream.kind) {
        case Stream::Kind::Inherit:
            return true;
        case Stream::Kind::SameAsOutput:
            posix_spawn_file_actions_adddup2(actions, 1, target);
            return true;
        case Stream::Kind::Null:
            posix_spawn_file_actions_addopen(actions, target, "/dev/null",
                                             input ? O_RDONLY : O_WRONLY, 0);
            return true;
        case Stream::Kind::File: {
            // Opened here, so that a file that cannot be opened is told apart from a
            // program that cannot start.
            const int flags =
                input ? O_RDONLY | O_CLOEXEC
                      : O_WRONLY | O_CREAT | O_CLOEXEC | (stream.append ? O_APPEND : O_TRUNC);
            childEnd.fd = ::open(stream.file.c_str(), flags, 0666);
            if (childEnd.fd < 0) {
                Fail(failure, stream.file, errno);
                return false;
            }
            posix_spawn_file_actions_adddup2(actions, childEnd.fd, target);
            return true;
        }
        case Stream::Kind::Pipe: {
            int fds[2] = {-1, -1};
            // The input is a socket: a write to a program that has gone can then ask
            // for no SIGPIPE (MSG_NOSIGNAL).
            const bool made = input ? ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0
                                    : ::pipe2(fds, O_CLOEXEC) == 0;
            if (!made) {
                Fail(failure, {}, errno);
                return false;
            }
            childEnd.fd = fds[1];  // a pipe's write end; either end of the socket
            ours.fd = fds[0];
            if (!input) ::fcntl(ours.fd, F_SETFL, O_NONBLOCK);
            posix_spawn_file_actions_adddup2(actions, childEnd.fd, target);
            return true;
        }
    }
    return true;
}

std::vector<std::string> Environment(const std::vector<std::string>& added) {
    std::vector<std::string> all;
    for (char** entry = environ; *entry; ++entry) {
        const std::string_view text = *entry;
        const std::string_view name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const std::string& mine : added)
            replaced = replaced || (mine.size() > name.size() && mine[name.size()] == '=' &&
                                    std::string_view(mine).substr(0, name.size()) == name);
        if (!replaced) all.emplace_back(text);
    }
    all.insert(all.end(), added.begin(), added.end());
    return all;
}

Ending FromWaitStatus(int status) {
    if (WIFEXITED(status)) return {WEXITSTATUS(status), false};
    if (WIFSIGNALED(status)) return {128 + WTERMSIG(status), true};
    return {1, false};
}

// The programs `pid` started, and theirs, the deepest first.
void Descendants(long pid, std::vector<long>& out, int depth = 0) {
    if (depth > 64) return;
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                           "/children");
    long child = 0;
    while (children >> child) {
        if (child <= 0) continue;
        Descendants(child, out, depth + 1);
        out.push_back(child);
    }
}

std::string ReadAvailable(int& fd) {
    std::string out;
    if (fd < 0) return out;
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            out.append(buffer.data(), static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n == 0 || errno != EAGAIN) {  // every writer has gone
            ::close(fd);
            fd = -1;
        }
        return out;
    }
}

}  // namespace

Process Process::Start(const SpawnSpec& spec, SpawnFailure* failure) {
    if (spec.arguments.empty()) {
        Fail(failure, {}, ENOENT);
        return {};
    }
    for (const std::string& argument : spec.arguments)
        if (argument.find('\0') != std::string::npos) {
            Fail(failure, {}, EINVAL);
            return {};
        }
    if (spec.passed >= 0 && (spec.passedAs < 3 || spec.passedAs > 1000)) {
        Fail(failure, {}, EBADF);
        return {};
    }
    SpawnActions spawn;
    posix_spawn_file_actions_t* actions = &spawn.actions;
    Fd inChild, outChild, errChild, in, out, err;
    if (!SetUpStream(spec.input, 0, actions, inChild, in, failure) ||
        !SetUpStream(spec.output, 1, actions, outChild, out, failure) ||
        !SetUpStream(spec.error, 2, actions, errChild, err, failure))
        return {};

    // Nothing else of ours reaches the program, close-on-exec or not: a descriptor
    // it inherited could pass for a password's.
    Fd moved;
    if (spec.passed >= 0) {
        int passed = spec.passed;
        // Not already the number it moves to: a move onto itself would keep its
        // close-on-exec flag.
        if (passed <= spec.passedAs) {
            moved.fd = ::fcntl(passed, F_DUPFD_CLOEXEC, spec.passedAs + 1);
            if (moved.fd < 0) {
                Fail(failure, {}, errno);
                return {};
            }
            passed = moved.fd;
        }
        for (int below = 3; below < spec.passedAs; ++below)
            posix_spawn_file_actions_addclose(actions, below);
        posix_spawn_file_actions_adddup2(actions, passed, spec.passedAs);
        posix_spawn_file_actions_addclosefrom_np(actions, spec.passedAs + 1);
    } else {
        posix_spawn_file_actions_addclosefrom_np(actions, 3);
    }

    std::vector<std::string> arguments = spec.arguments;
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    std::vector<char*> envp;
    if (!spec.environment.empty()) {
        environment = Environment(spec.environment);
        for (std::string& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);
    }
    char** env = spec.environment.empty() ? environ : envp.data();
    pid_t pid = 0;
    const int rc = spec.searchPath
                       ? ::posix_spawnp(&pid, argv[0], actions, nullptr, argv.data(), env)
                       : ::posix_spawn(&pid, argv[0], actions, nullptr, argv.data(), env);
    if (rc != 0) {
        Fail(failure, {}, rc);
        return {};
    }
    Process process;
    process.id_ = pid;
    process.input_ = in.release();
    process.output_ = out.release();
    process.errors_ = err.release();
    return process;
}

Process::~Process() {
    release();
}

Process::Process(Process&& other) noexcept {
    *this = std::move(other);
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        release();
        id_ = std::exchange(other.id_, 0);
        input_ = std::exchange(other.input_, NoHandle);
        output_ = std::exchange(other.output_, NoHandle);
        errors_ = std::exchange(other.errors_, NoHandle);
        ending_ = std::exchange(other.ending_, std::nullopt);
    }
    return *this;
}

void Process::release() {
    for (int* fd : {&input_, &output_, &errors_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    // One that has ended is reaped; one still running is left to run.
    if (id_ != 0 && !ending_) ::waitpid(static_cast<pid_t>(id_), nullptr, WNOHANG);
    id_ = 0;
}

std::optional<Ending> Process::poll() {
    if (ending_ || id_ == 0) return ending_;
    int status = 0;
    const pid_t r = ::waitpid(static_cast<pid_t>(id_), &status, WNOHANG);
    if (r == static_cast<pid_t>(id_))
        ending_ = FromWaitStatus(status);
    else if (r < 0 && errno != EINTR)
        ending_ = Ending{1, false};
    // Its input goes with it: a write could not reach it any more.
    if (ending_) closeInput();
    return ending_;
}

Ending Process::wait() {
    if (ending_ || id_ == 0) return ending_.value_or(Ending{});
    int status = 0;
    pid_t r = 0;
    while ((r = ::waitpid(static_cast<pid_t>(id_), &status, 0)) < 0 && errno == EINTR) {
    }
    ending_ = r < 0 ? Ending{1, false} : FromWaitStatus(status);
    closeInput();
    return *ending_;
}

bool Process::terminate() {
    if (id_ == 0 || poll()) return false;
    // The interpreter waits for the program it started: that one first, so that it
    // ends on its own signal handling (work files removed), then the interpreter.
    std::vector<long> below;
    Descendants(id_, below);
    for (long child : below) ::kill(static_cast<pid_t>(child), SIGTERM);
    return ::kill(static_cast<pid_t>(id_), SIGTERM) == 0;
}

std::string Process::readOutput() {
    return ReadAvailable(output_);
}

std::string Process::readErrors() {
    return ReadAvailable(errors_);
}

bool Process::writeInput(std::string_view text) {
    if (input_ < 0) return false;
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n =
            ::send(input_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            sent += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return false;
    }
    return true;
}

void Process::closeInput() {
    if (input_ >= 0) ::close(input_);
    input_ = -1;
}

Process::Finished Process::communicate(std::string_view input) {
    Finished finished;
    std::size_t written = 0;
    if (input.empty()) closeInput();
    while (input_ >= 0 || output_ >= 0 || errors_ >= 0) {
        pollfd fds[3] = {{input_, POLLOUT, 0}, {output_, POLLIN, 0}, {errors_, POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (input_ >= 0 && fds[0].revents) {
            const ssize_t n = ::send(input_, input.data() + written, input.size() - written,
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) written += static_cast<std::size_t>(n);
            // A reader that ended early takes no more.
            if (n < 0 && errno != EINTR && errno != EAGAIN) written = input.size();
            if (written >= input.size()) closeInput();
        }
        if (output_ >= 0 && fds[1].revents) finished.output += readOutput();
        if (errors_ >= 0 && fds[2].revents) finished.errors += readErrors();
    }
    finished.ending = wait();
    return finished;
}

}  // namespace stowaway::os
