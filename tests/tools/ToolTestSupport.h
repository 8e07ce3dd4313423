// Helpers for driving the archiver and the command interpreter the way the
// backup program does: batch files with CR LF lines, captured output, and an
// item reader like the one that reads the archiver's listing.
#pragma once

#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/NativeText.h"
#include "platform/os/File.h"
#include "platform/os/Process.h"
#include "store/ItemReader.h"
#include "support/SecretPipe.h"
#include "support/SystemSupport.h"
#include "support/TestPlatforms.h"

namespace tooltest {

namespace fs = std::filesystem;

using stowaway::fromPath;
using stowaway::toPath;
using stowaway::test::Has;
using stowaway::test::ReadFile;
using stowaway::test::WriteFile;

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
inline const std::string kExe = ".exe";
#else
inline constexpr char kSeparator = '/';
inline const std::string kExe;
#endif

// A path under `folder`, `rel` written with '/' between its parts.
inline std::string Under(const std::string& folder, std::string rel) {
    for (char& c : rel)
        if (c == '/') c = kSeparator;
    return folder + kSeparator + rel;
}

inline std::string ProgramDir() {
#ifdef _WIN32
    // Beside the tests' folder, wherever the build was copied to.
    return Under(stowaway::NativePlatform::ExecutableFolder(), "../program");
#else
    return STOWAWAY_PROGRAM_DIR;
#endif
}
inline std::string Archiver() {
    return Under(ProgramDir(), "PKZIP25.EXE");
}
inline std::string InterpreterPath() {
    return Under(ProgramDir(), "stowaway-cmd" + kExe);
}

// A scratch folder whose path holds a blank and shell characters (all a
// system's names may hold), so every test also checks that no path is handed
// through a shell.
class ScratchDir {
  public:
    ScratchDir() {
#ifdef _WIN32
        // '*', '|' and '`'-quoted commands mean nothing to Windows names; '%' and '^' are cmd's.
        const std::string base = fromPath(fs::temp_directory_path()) + "Stow Tools $HOME;&%x%^-";
        std::random_device random;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::string name = base + std::to_string(random() % 1000000000u);
            std::error_code ec;
            if (fs::create_directory(toPath(name), ec)) path_ = name;
        }
#else
        std::string templ = fromPath(fs::temp_directory_path() / "Stow Tools $HOME;&|`x`*-XXXXXX");
        path_ = ::mkdtemp(templ.data());
#endif
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(toPath(path_), ec);
    }
    const std::string& Path() const {
        return path_;
    }
    std::string operator/(const std::string& rel) const {
        return Under(path_, rel);
    }

  private:
    std::string path_;
};

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string output;
};

// How RunWith starts a program. Without `input` standard input is the null
// device (no one to answer); with it, the text comes through a pipe (as the
// console window forwards typed lines) or a socket. `env` adds NAME=VALUE entries.
struct RunSetup {
    std::optional<std::string> input{};
    // The input through a socket, as the program's console window hands it over (POSIX).
    bool socketInput = false;
    std::vector<std::string> env{};
    // A file-size limit when > 0: a stand-in for a full disk (POSIX).
    long maxFileBytes = 0;
    // A password and a newline readable on this descriptor, as the program hands it over.
    std::optional<std::string> password{};
    int passwordFd = 9;
    // Runs in the child just before the program starts (limits, another user); the
    // output file is writable by anyone, so a program run as another user can fill it (POSIX).
    std::function<void()> inChild{};
};

#ifndef _WIN32
inline int WaitStatus(pid_t pid) {
    int st = 0;
    while (::waitpid(pid, &st, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(st)) return WEXITSTATUS(st);
    if (WIFSIGNALED(st)) return 128 + WTERMSIG(st);
    return -1;
}

// Starts argv with standard output and error going to `outFile`; with a
// file-size limit when `maxFileBytes` > 0 (a stand-in for a full disk).
inline pid_t Start(const std::vector<std::string>& argv, const std::string& outFile,
                   long maxFileBytes = 0) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        if (maxFileBytes > 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            struct rlimit rl {
                static_cast<rlim_t>(maxFileBytes), static_cast<rlim_t>(maxFileBytes)
            };
            ::setrlimit(RLIMIT_FSIZE, &rl);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

// Runs argv with standard output and error captured. The child is forked
// here rather than spawned, so that `setup` can limit it or change its user.
inline RunResult RunWith(const std::vector<std::string>& argv, const RunSetup& setup) {
    char templ[] = "/tmp/tooltest-out-XXXXXX";
    const int outFd = ::mkstemp(templ);
    ::fchmod(outFd, 0666);
    int fds[2];
    if ((setup.socketInput ? ::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) : ::pipe(fds)) != 0)
        return {};
    stowaway::test::SecretPipe secret;
    if (setup.password) {
        secret = stowaway::test::SecretPipe(*setup.password + "\n");
        if (secret.readEnd() == stowaway::os::NoHandle) return {};
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (setup.input) {
            ::dup2(fds[0], 0);
        } else {
            const int null = ::open("/dev/null", O_RDONLY);
            ::dup2(null, 0);
        }
        ::close(fds[0]);
        ::close(fds[1]);
        // The copy under the number is inherited; the pipe itself is close-on-exec.
        if (setup.password && secret.readEnd() != setup.passwordFd)
            ::dup2(secret.readEnd(), setup.passwordFd);
        else if (setup.password)
            ::fcntl(setup.passwordFd, F_SETFD, 0);
        ::dup2(outFd, 1);
        ::dup2(outFd, 2);
        for (const std::string& e : setup.env) ::putenv(const_cast<char*>(e.c_str()));
        ::signal(SIGXFSZ, setup.maxFileBytes > 0 ? SIG_IGN : SIG_DFL);
        if (setup.maxFileBytes > 0) {
            const auto limit = static_cast<rlim_t>(setup.maxFileBytes);
            struct rlimit rl {
                limit, limit
            };
            ::setrlimit(RLIMIT_FSIZE, &rl);
        }
        if (setup.inChild) setup.inChild();
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(fds[0]);
    secret = {};
    ::close(outFd);
    ::signal(SIGPIPE, SIG_IGN);
    if (setup.input && !setup.input->empty()) {
        (void)!::write(fds[1], setup.input->data(), setup.input->size());
    }
    ::close(fds[1]);
    RunResult r;
    r.status = WaitStatus(pid);
    r.output = ReadFile(templ);
    ::unlink(templ);
    return r;
}

// Runs argv in a child that `setup` prepares (limits, user) just before the program starts.
inline RunResult RunLimited(const std::vector<std::string>& argv, std::function<void()> setup) {
    return RunWith(argv, RunSetup{.inChild = std::move(setup)});
}

// A process id that no process has now: a child that has ended and been reaped.
inline pid_t DeadPid() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    WaitStatus(pid);
    return pid;
}
#else
// Runs argv with standard output and error captured, through the one spawn
// helper the program uses. What only POSIX can set up for a child (limits,
// another user, a socket) is refused: the tests that need it skip here first.
inline RunResult RunWith(const std::vector<std::string>& argv, const RunSetup& setup) {
    if (setup.socketInput || setup.maxFileBytes > 0 || setup.inChild) {
        ADD_FAILURE() << "a socket, a limit or a change of user needs a POSIX child";
        return {};
    }
    // A Unix peer (Wine would start the host's, with paths it cannot open).
    if (!argv.empty() && argv[0].rfind('/', 0) == 0) {
        ADD_FAILURE() << argv[0] << ": "
                      << stowaway::test::MissingFacility(stowaway::test::Facility::PeerTools);
        return {127, {}};
    }
    const stowaway::test::TempDir outDir;
    stowaway::os::SpawnSpec spec;
    spec.arguments = argv;
    spec.input = setup.input ? stowaway::os::Stream::Pipe() : stowaway::os::Stream::Null();
    spec.output = stowaway::os::Stream::ToFile(outDir / "output");
    spec.error = stowaway::os::Stream::SameAsOutput();
    spec.environment = setup.env;
    stowaway::test::SecretPipe secret;
    if (setup.password) {
        secret = stowaway::test::SecretPipe(*setup.password + "\n");
        spec.passed = secret.readEnd();
        spec.passedAs = setup.passwordFd;
    }
    stowaway::os::SpawnFailure failure;
    stowaway::os::Process process = stowaway::os::Process::Start(spec, &failure);
    secret = {};
    if (!process.started()) return {127, failure.file + ": " + failure.reason};
    if (setup.input) {
        process.writeInput(*setup.input);
        process.closeInput();
    }
    RunResult r;
    r.status = process.wait().status;
    r.output = ReadFile(outDir / "output");
    return r;
}
#endif

// The status of an archiver that its test hook ended as abruptly as a kill
// (128 + SIGKILL on POSIX; the same exit code on Windows).
inline constexpr int kKilledStatus = 137;
// The status of an archiver asked to end (SIGTERM; a console's Ctrl+C on Windows).
#ifdef _WIN32
inline constexpr int kInterruptedStatus = static_cast<int>(0xC000013Au);
#else
inline constexpr int kInterruptedStatus = 128 + SIGTERM;
#endif

// Where a restore with -dir=relative puts the file backed up from `absolute`
// (stored without its drive) under `target`.
inline std::string Beneath(const std::string& target, const std::string& absolute) {
    return target + absolute.substr(stowaway::os::DriveLength(absolute));
}

// The name a file backed up from `absolute` is stored under (-path=full): no
// drive, no leading separator, '/' between folders.
inline std::string Stored(const std::string& absolute) {
    std::string name = absolute.substr(stowaway::os::DriveLength(absolute));
    stowaway::os::UsePortableSeparators(name);
    return name.substr(name.find_first_not_of('/'));
}

// A program started with its output going to a file, to be ended from outside
// while it works.
#ifdef _WIN32
inline constexpr int kAbruptEnd = 0;  // the job ended: no handler runs
#else
inline constexpr int kAbruptEnd = SIGKILL;
#endif
class StartedProgram {
  public:
    StartedProgram(const std::vector<std::string>& argv, const std::string& outFile,
                   long maxFileBytes = 0) {
#ifdef _WIN32
        if (maxFileBytes > 0) ADD_FAILURE() << "a file-size limit needs a POSIX child";
        stowaway::os::SpawnSpec spec;
        spec.arguments = argv;
        spec.input = stowaway::os::Stream::Null();
        spec.output = stowaway::os::Stream::ToFile(outFile);
        spec.error = stowaway::os::Stream::SameAsOutput();
        process_ = stowaway::os::Process::Start(spec);
#else
        pid_ = Start(argv, outFile, maxFileBytes);
#endif
    }
    long Id() const {
#ifdef _WIN32
        return process_.id();
#else
        return pid_;
#endif
    }
    // Its status once ended, without waiting; nullopt while it runs.
    std::optional<int> Ended() {
#ifdef _WIN32
        const auto ending = process_.poll();
        return ending ? std::optional<int>(ending->status) : std::nullopt;
#else
        int st = 0;
        if (::waitpid(pid_, &st, WNOHANG) != pid_) return std::nullopt;
        reaped_ = true;
        return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
#endif
    }
    // Ends it with `signal` (kAbruptEnd: no chance to clean up) and waits.
    int End(int signal = kAbruptEnd) {
#ifdef _WIN32
        (void)signal;
        process_.terminate();
        return process_.wait().status;
#else
        if (reaped_) return -1;
        ::kill(pid_, signal);
        reaped_ = true;
        return WaitStatus(pid_);
#endif
    }

  private:
#ifdef _WIN32
    stowaway::os::Process process_;
#else
    pid_t pid_ = -1;
    bool reaped_ = false;
#endif
};

#ifdef _WIN32
// A process id that no process has now: a program that has ended.
inline long DeadPid() {
    stowaway::os::SpawnSpec spec;
    spec.arguments = {Archiver()};
    spec.input = spec.output = spec.error = stowaway::os::Stream::Null();
    stowaway::os::Process process = stowaway::os::Process::Start(spec);
    process.wait();
    return process.id();
}
#endif

// Runs argv with nobody at the console; `maxFileBytes` as for RunSetup.
inline RunResult RunProgram(const std::vector<std::string>& argv, long maxFileBytes = 0) {
    return RunWith(argv, RunSetup{.maxFileBytes = maxFileBytes});
}

// A file to back up, under DIR/data.
inline std::string AddDataFile(const ScratchDir& dir, const std::string& rel,
                               const std::string& content) {
    const std::string p = dir / ("data/" + rel);
    WriteFile(p, content);
    return p;
}

// The list file the archiver reads: one path a line, CR LF ended.
// Bytes that do not compress, the same for a seed on every run.
inline std::string Noise(size_t size, unsigned seed) {
    std::string noise(size, '\0');
    for (char& c : noise) c = static_cast<char>((seed = seed * 1103515245 + 12345) >> 24);
    return noise;
}

// 7-Zip with `options` on `archive`. It takes '*' in a path as a wildcard, and
// the scratch folder has one: it is given the archive through a plainly named
// link to its folder (which finds a set's other volumes too).
inline RunResult SevenZip(const std::string& archive, const std::vector<std::string>& options) {
#ifdef _WIN32
    (void)archive, (void)options;
    return {-1, stowaway::test::MissingFacility(stowaway::test::Facility::PeerTools)};
#else
    char plain[] = "/tmp/tooltest7z-XXXXXX";
    if (!::mkdtemp(plain)) return {};
    const std::string link = std::string(plain) + "/folder";
    fs::create_directory_symlink(toPath(archive).parent_path(), toPath(link));
    std::vector<std::string> argv = {"/usr/bin/7z"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(link + "/" + fromPath(toPath(archive).filename()));
    RunResult r = RunProgram(argv);
    fs::remove_all(toPath(plain));
    return r;
#endif
}

// unzip's test of an archive: its status; 0 where unzip cannot be called
// (Windows: there the interoperability run has unzip read that archiver's archives).
inline int UnzipTest(const std::string& archive) {
    if (!Has(stowaway::test::Facility::PeerTools)) return 0;
    const RunResult r = RunProgram({"/usr/bin/unzip", "-tq", archive});
    if (r.status != 0) ADD_FAILURE() << r.output;
    return r.status;
}

// Files (not folders) under `folder`, 0 when it is gone.
inline size_t CountFiles(const std::string& folder) {
    size_t n = 0;
    if (!fs::exists(stowaway::toPath(folder))) return 0;
    for (const auto& e : fs::recursive_directory_iterator(stowaway::toPath(folder)))
        n += !e.is_directory();
    return n;
}

inline void WriteListFile(const std::string& list, const std::vector<std::string>& paths) {
    std::string text;
    for (const std::string& p : paths) text += p + "\r\n";
    WriteFile(list, text);
}

// A scratch folder with an out/ folder for the archive and a list file: what
// most archiver tests start from.
class ArchiverFixture : public ::testing::Test {
  protected:
    explicit ArchiverFixture(const char* archiveName = "out/backup.zip")
        : archive(dir / archiveName) {}
    void SetUp() override {
        std::filesystem::create_directories(stowaway::toPath(dir / "out"));
        std::filesystem::create_directories(stowaway::toPath(dir / "data"));
    }
    std::string AddFile(const std::string& rel, const std::string& content) {
        return AddDataFile(dir, rel, content);
    }

    ScratchDir dir;
    std::string archive;
    std::string list = dir / "files.lst";
};

// Writes a batch file as the backup program does (echo line, then the
// command, CR LF endings) and runs it through the interpreter.
inline RunResult RunBatch(const std::string& batchPath, const std::string& echoLine,
                          const std::string& command) {
    WriteFile(batchPath, echoLine + "\r\n" + command + "\r\n");
    return RunProgram({InterpreterPath(), "/c", batchPath});
}

inline std::string Quoted(const std::string& s) {
    return "\"" + s + "\"";
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

inline int CountLinesWith(const std::string& text, const std::string& marker) {
    int n = 0;
    for (const std::string& l : Lines(text)) n += l.find(marker) != std::string::npos;
    return n;
}

// Error lines as the program finds them: "PKZIP:" in any letter case.
inline std::vector<std::string> ProblemLines(const std::string& text) {
    std::vector<std::string> out;
    for (const std::string& l : Lines(text)) {
        std::string upper = l;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper.find("PKZIP:") != std::string::npos) out.push_back(l);
    }
    return out;
}

// The program's own item reader over a listing's text.
class ItemReader {
  public:
    explicit ItemReader(std::string text) : in_(std::move(text)), reader_(in_) {}
    std::string Next() { return reader_.ReadItem(); }

  private:
    std::istringstream in_;
    stowaway::ItemReader reader_;
};

// The start of a Python script given a split set's last volume (argv[1]):
// `vols` holds every volume's bytes, disk 0 first.
inline const std::string kPyReadSet = R"PY(
import struct, sys, os
last = sys.argv[1]
base = last[:-4]
vols = []
d = 1
while os.path.exists('%s.z%02d' % (base, d)):
    vols.append(open('%s.z%02d' % (base, d), 'rb').read()); d += 1
vols.append(open(last, 'rb').read())
)PY";

// Runs a Python snippet with the given arguments (sys.argv[1:]).
inline RunResult Python(const std::string& script, const std::vector<std::string>& args = {}) {
    std::vector<std::string> argv = {"/usr/bin/python3", "-c", script};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv);
}

// Python builds the archive at `path`: `body` runs with z (an open ZipFile),
// zipfile, struct and add(name, data, mode=0o100644, date=(2020,1,2,3,4,6),
// extra=b'', system=3, attr=None) at hand.
inline RunResult MakeZip(const std::string& path, const std::string& body) {
    return Python(
        "import sys, zipfile, struct\n"
        "z = zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED)\n"
        "def add(name, data, mode=0o100644, date=(2020, 1, 2, 3, 4, 6), extra=b'', "
        "system=3, attr=None):\n"
        "    i = zipfile.ZipInfo(name, date)\n"
        "    i.external_attr = (mode << 16) if attr is None else attr\n"
        "    i.create_system = system\n"
        "    i.extra = extra\n"
        "    i.compress_type = zipfile.ZIP_DEFLATED\n"
        "    z.writestr(i, data)\n" +
            body + "\nz.close()\n",
        {path});
}

// The local time MakeZip dates its entries by default: 2020-01-02 03:04:06.
inline time_t MadeAt() {
    struct tm tm {};
    tm.tm_year = 120, tm.tm_mon = 0, tm.tm_mday = 2, tm.tm_hour = 3, tm.tm_min = 4, tm.tm_sec = 6;
    tm.tm_isdst = -1;
    return ::mktime(&tm);
}

inline void SetMtime(const std::string& path, time_t t, std::uint32_t nanos = 0) {
    namespace os = stowaway::os;
    const os::Handle h = os::Open(path, os::kWrite);
    EXPECT_TRUE(os::SetModified(h, os::MakeTime(t, nanos))) << path;
    os::Close(h);
}

// A file's modification time in nanoseconds since 1970 (0 when it is missing).
inline stowaway::os::FileTime MtimeNanos(const std::string& path) {
    stowaway::os::FileInfo info;
    return stowaway::os::StatPath(path, info) ? info.modified : 0;
}

inline time_t Mtime(const std::string& path) {
    return static_cast<time_t>(stowaway::os::Seconds(MtimeNanos(path)));
}

// A scratch folder with an archive for the read side (made by Python's zipfile
// through Make) and a target folder to restore into.
class RestoreFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(toPath(target));
        // Python's zipfile makes and damages these archives.
        STOWAWAY_NEEDS(PeerTools);
    }

    // Python builds the archive, or `path`: `body` as for MakeZip.
    void Make(const std::string& body, const std::string& path = "") {
        const RunResult r = MakeZip(path.empty() ? archive : path, body);
        ASSERT_EQ(r.status, 0) << r.output;
    }
    // Changes the archive's bytes with a Python snippet over `b` (a bytearray).
    void Patch(const std::string& body) {
        const RunResult r =
            Python("import sys, struct\nb = bytearray(open(sys.argv[1], 'rb').read())\n" + body +
                       "\nopen(sys.argv[1], 'wb').write(b)\n",
                   {archive});
        ASSERT_EQ(r.status, 0) << r.output;
    }
    // A whole restore of the archive, or of `which`, into the target; nobody at the console.
    RunResult Restore(const std::string& which = "") {
        return RunProgram(
            {Archiver(), "-extract=all", "-dir=relative", which.empty() ? archive : which, target});
    }
    RunResult List(const std::string& which = "") {
        return RunProgram({Archiver(), "-view=brief", which.empty() ? archive : which});
    }

    ScratchDir dir;
    std::string archive = dir / "backup.zip";
    std::string target = dir / "target";
};

}  // namespace tooltest
