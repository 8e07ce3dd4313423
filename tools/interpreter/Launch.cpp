#include "Launch.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "PathCase.h"

extern char** environ;

namespace interp {
namespace {

constexpr int kCannotStart = 127;

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

void Report(int fd, const std::string& text) {
    const std::string line = "stowaway-cmd: " + text + "\n";
    ssize_t ignored = ::write(fd, line.data(), line.size());
    (void)ignored;
}

}  // namespace

int PassedDescriptor(const std::vector<std::string>& args) {
    static const std::string option = "-password-fd=";
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() <= option.size() ||
            !std::equal(option.begin(), option.end(), arg.begin(), [](char a, char b) {
                return a == std::tolower(static_cast<unsigned char>(b));
            }))
            continue;
        int fd = 0;
        for (std::size_t at = option.size(); at < arg.size(); ++at) {
            if (!std::isdigit(static_cast<unsigned char>(arg[at])) || fd > 1000) return -1;
            fd = fd * 10 + (arg[at] - '0');
        }
        return fd >= 3 && ::fcntl(fd, F_GETFD) >= 0 ? fd : -1;
    }
    return -1;
}

void CloseOnExecAll() {
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) return;
    const int own = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd < 3 || fd == own) continue;
        const int flags = ::fcntl(static_cast<int>(fd), F_GETFD);
        if (flags >= 0) ::fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
    }
    ::closedir(dir);
}

std::string FindProgram(const std::string& name, const std::vector<std::string>& folders) {
    if (name.find('/') != std::string::npos) return tools::ResolvePathCase(name);
    for (const std::string& folder : folders) {
        const std::string candidate = tools::ResolvePathCase(folder + "/" + name);
        if (IsExecutableFile(candidate)) return candidate;
    }
    if (const char* path = std::getenv("PATH")) {
        std::string all = path;
        size_t pos = 0;
        while (pos <= all.size()) {
            size_t colon = all.find(':', pos);
            if (colon == std::string::npos) colon = all.size();
            const std::string dir = colon == pos ? "." : all.substr(pos, colon - pos);
            if (IsExecutableFile(dir + "/" + name)) return dir + "/" + name;
            pos = colon + 1;
        }
    }
    return {};
}

int RunCommand(const BatchCommand& cmd, const std::vector<std::string>& folders) {
    int outFd = -1;
    if (!cmd.outputFile.empty()) {
        const std::string file = tools::ResolvePathCase(cmd.outputFile);
        const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (cmd.append ? O_APPEND : O_TRUNC);
        outFd = ::open(file.c_str(), flags, 0666);
        if (outFd < 0) {
            Report(STDERR_FILENO,
                   "cannot open " + cmd.outputFile + " for output: " + std::strerror(errno));
            return 1;
        }
    }
    const int errFd = outFd >= 0 ? outFd : STDERR_FILENO;

    const std::string program = FindProgram(cmd.args[0], folders);
    if (program.empty()) {
        Report(errFd, "cannot start " + cmd.args[0] + ": program not found");
        if (outFd >= 0) ::close(outFd);
        return kCannotStart;
    }

    std::vector<char*> argv;
    for (const std::string& a : cmd.args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, outFd, STDERR_FILENO);
    }
    // A password descriptor named on the line reaches this program alone.
    const int secretFd = PassedDescriptor(cmd.args);
    if (secretFd >= 0) ::fcntl(secretFd, F_SETFD, 0);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (secretFd >= 0) ::close(secretFd);
    if (rc != 0) {
        Report(errFd, "cannot start " + cmd.args[0] + ": " + std::strerror(rc));
        if (outFd >= 0) ::close(outFd);
        return kCannotStart;
    }
    if (outFd >= 0) ::close(outFd);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return 1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return 1;
}

}  // namespace interp
