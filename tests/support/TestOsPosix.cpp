#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "platform/os/Process.h"
#include "support/SecretPipe.h"
#include "support/TestPlatforms.h"

namespace stowaway::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::string pattern = fromPath(fs::temp_directory_path() / "stowaway-test-XXXXXX");
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

bool RunAsOrdinaryUser(const std::function<bool()>& check) {
    if (::geteuid() != 0) return check();
    pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

ShellRun RunShell(const std::string& command) {
    ShellRun run;
    os::SpawnSpec spec;
    spec.arguments = {"/bin/sh", "-c", command};
    spec.output = os::Stream::Pipe();
    os::Process shell = os::Process::Start(spec);
    if (!shell.started()) return run;
    const os::Process::Finished finished = shell.communicate({});
    run.output = finished.output;
    run.status = finished.ending.signalled ? -1 : finished.ending.status;
    return run;
}

SecretPipe::SecretPipe(const std::string& text, bool inheritable) {
    int fds[2];
    if (::pipe2(fds, inheritable ? 0 : O_CLOEXEC) != 0) return;
    const bool whole = text.size() <= 65536 && ::write(fds[1], text.data(), text.size()) ==
                                                   static_cast<ssize_t>(text.size());
    ::close(fds[1]);
    if (whole)
        read_ = fds[0];
    else
        ::close(fds[0]);
}

void SecretPipe::Close(os::NativeHandle handle) {
    if (handle != os::NoHandle) ::close(handle);
}

}  // namespace stowaway::test
