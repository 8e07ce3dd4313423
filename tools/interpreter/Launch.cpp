#include "Launch.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
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
