#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TestPlatforms.h"

namespace {

using stowaway::fromPath;
using stowaway::toPath;

using stowaway::test::ShellRun;

const std::string Program = std::string(STOWAWAY_PROGRAM_DIR) + "/stowaway";

// Starts the built program without a display and collects what it prints.
ShellRun RunProgram(const std::string& arguments, const std::string& environment = "") {
    return stowaway::test::RunShell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                    environment + "'" + Program + "' " + arguments +
                                    " 2>&1 </dev/null");
}

TEST(Program, WindowWithoutADisplayExplainsItselfAndFails) {
    if (!std::filesystem::exists(toPath(Program))) GTEST_SKIP() << "program not built";
    ShellRun run = RunProgram("-main");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("display"), std::string::npos) << run.output;
}

// "--help" and "--version" print and succeed, with a display as without one; any
// other spelling is still a command line that is not understood.
TEST(Program, HelpAndVersionPrintAndExitZero) {
    if (!std::filesystem::exists(toPath(Program))) GTEST_SKIP() << "program not built";
    for (const char* display : {"", "QT_QPA_PLATFORM=offscreen "}) {
        ShellRun help = RunProgram(std::string("--help"), display);
        EXPECT_EQ(help.status, 0) << display;
        for (const char* part :
             {"Usage: stowaway [-main]", "stowaway -abu NAME", "--status", "/Stowaway.state",
              "Exit status:", "  2  the command line was not understood", "/Stowaway.dat",
              "/Log.txt"})
            EXPECT_NE(help.output.find(part), std::string::npos) << part << "\n" << help.output;
        ShellRun version = RunProgram("--version", display);
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.output, "Stowaway 2.0\n");
    }
    for (const char* other : {"--HELP", "-help", "--help me", "-version"}) {
        ShellRun run = RunProgram(other);
        EXPECT_EQ(run.status, 2) << other;
        EXPECT_NE(run.output.find("are not understood"), std::string::npos) << run.output;
    }
}

// Starts a copy of the program in a window (offscreen) with its own runtime folder.
pid_t StartWindow(const std::string& program, const std::string& runtime) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        std::freopen("/dev/null", "w", stderr);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

// The socket in a folder: 0 when there is none, 1 when it is there but nobody
// listens (a dead window's), 2 when a window listens on it.
int SocketState(const std::string& folder) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(toPath(folder), error)) {
        struct stat st {};
        if (::lstat(entry.path().c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, entry.path().c_str(), sizeof address.sun_path - 1);
        const bool listening =
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        return listening ? 2 : 1;
    }
    return 0;
}

// Waits until a window listens, or the process ended (false). The bound only
// stops a hang.
bool Listens(const std::string& runtime, pid_t pid) {
    int status = 0;
    for (int i = 0; i < 6000; ++i) {
        if (SocketState(runtime) == 2) return true;
        if (::waitpid(pid, &status, WNOHANG) == pid) return false;
        ::usleep(10000);
    }
    return false;
}

// Waits for the process to end; one still running after the bound (a window
// that stayed open) is killed and reported.
bool EndsOnItsOwn(pid_t pid, int& status) {
    for (int i = 0; i < 6000; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return true;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return false;
}

// Two windows on one data file would each save over the other's Crates: a second
// start ends at once, leaving the first; a SIGTERM then ends the first as its
// close box does, saving the data file.
TEST(Program, ASecondWindowStartEndsAndATermSignalClosesTheFirstWithASave) {
    if (!std::filesystem::exists(toPath(Program))) GTEST_SKIP() << "program not built";
    stowaway::test::TempDir dir;
    const std::string folder = dir / "program";
    const std::string runtime = dir / "run";
    std::filesystem::create_directories(toPath(folder));
    std::filesystem::create_directories(toPath(runtime));
    ::chmod(runtime.c_str(), 0700);
    const std::string program = folder + "/stowaway";
    std::filesystem::copy_file(toPath(Program), toPath(program));

    const pid_t first = StartWindow(program, runtime);
    ASSERT_GT(first, 0);
    ASSERT_TRUE(Listens(runtime, first));

    const pid_t second = StartWindow(program, runtime);
    int status = -1;
    EXPECT_TRUE(EndsOnItsOwn(second, status)) << "a second window opened";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(::waitpid(first, &status, WNOHANG), 0);  // still running

    ASSERT_EQ(::kill(first, SIGTERM), 0);
    ASSERT_EQ(::waitpid(first, &status, 0), first);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    // The load made it empty; the save on closing wrote the options.
    const std::string saved = stowaway::test::ReadFile(folder + "/Stowaway.dat");
    EXPECT_EQ(saved.rfind("\"MAX=-1\"\r\n", 0), 0u) << saved;

    // Killed, a window leaves its lock file and its socket behind; neither blocks
    // the next start, which listens in its place.
    const pid_t third = StartWindow(program, runtime);
    ASSERT_TRUE(Listens(runtime, third));
    ::kill(third, SIGKILL);
    ::waitpid(third, &status, 0);
    ASSERT_EQ(SocketState(runtime), 1);
    const pid_t fourth = StartWindow(program, runtime);
    const bool listens = Listens(runtime, fourth);
    EXPECT_TRUE(listens) << "the dead window's lock refused the start";
    if (listens) {
        ::kill(fourth, SIGTERM);
        ::waitpid(fourth, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
}

}  // namespace
