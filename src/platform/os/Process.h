// Starting a program and waiting for it: the one way the program, the
// interpreter, the scheduler's command runner and the tests start processes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stowaway::os {

#ifdef _WIN32
using NativeHandle = void*;  // a HANDLE
inline NativeHandle const NoHandle = reinterpret_cast<void*>(static_cast<long long>(-1));
#else
using NativeHandle = int;  // a descriptor
inline constexpr NativeHandle NoHandle = -1;
#endif

// Where one of the program's standard streams goes.
struct Stream {
    enum class Kind {
        Inherit,       // ours
        Null,          // the null device: empty input, output thrown away
        File,          // a file, by its UTF-8 path (output: created or truncated, or appended to)
        Pipe,          // a pipe to us: Process::writeInput, readOutput, readErrors
        SameAsOutput,  // standard error only: wherever standard output goes
    };
    Kind kind = Kind::Inherit;
    std::string file;
    bool append = false;

    static Stream Inherit() { return {}; }
    static Stream Null() { return {Kind::Null, {}, false}; }
    static Stream ToFile(std::string path, bool append = false) {
        return {Kind::File, std::move(path), append};
    }
    static Stream FromFile(std::string path) { return {Kind::File, std::move(path), false}; }
    static Stream Pipe() { return {Kind::Pipe, {}, false}; }
    static Stream SameAsOutput() { return {Kind::SameAsOutput, {}, false}; }
};

struct SpawnSpec {
    // UTF-8. The first names the program: a path, or with searchPath a bare name
    // looked for in PATH. On Windows the arguments become one command line quoted
    // by the rules the C runtime splits it with (QuoteCommandLine).
    std::vector<std::string> arguments;
    bool searchPath = false;
    Stream input, output, error;
    // One more descriptor for the program, under the number passedAs (3 or more):
    // the password's pipe. On Windows an inheritable handle that the program's C
    // runtime opens as descriptor passedAs, as it does for a handle its parent
    // passed on that way. Nothing else of ours is inherited, close-on-exec or not.
    NativeHandle passed = NoHandle;
    int passedAs = -1;
    // NAME=VALUE entries added to ours (a name we have is replaced).
    std::vector<std::string> environment;
    // On Windows the program and all it starts are ended when the Process goes
    // (the job's handle closes): unless it may outlive us, as a viewer may.
    bool mayOutliveUs = false;
};

// Why Start did not start a program.
struct SpawnFailure {
    std::string file;    // a stream's file that could not be opened; empty: the program failed
    std::string reason;  // the system's words for it
};

// How a program ended: its exit status, or on POSIX 128 + the signal that ended it.
struct Ending {
    int status = -1;
    bool signalled = false;
};

class Process {
  public:
    Process() = default;
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts it; !started() when it could not be, and then why in *failure.
    static Process Start(const SpawnSpec& spec, SpawnFailure* failure = nullptr);

    bool started() const { return id_ != 0; }
    long id() const { return id_; }

    // Its ending once it has ended, without waiting.
    std::optional<Ending> poll();
    Ending wait();
    // Ends it and every program it started: on POSIX a termination request to the
    // programs it started first (so each can clean up), then to it; on Windows its
    // job ends. False when it had already ended.
    bool terminate();

    // The pipes, without waiting: what is there now ("" also when nothing is yet);
    // outputEnded() once every writer has gone and everything was read.
    std::string readOutput();
    std::string readErrors();
    bool outputEnded() const { return output_ == NoHandle; }
    bool errorsEnded() const { return errors_ == NoHandle; }
    // False when the program does not take the text now (it has ended, closed its
    // input or does not read it): nothing of it is then sent. Never a SIGPIPE.
    bool writeInput(std::string_view text);
    void closeInput();

    // Writes `input` whole (then closes it) and reads both outputs to their end
    // together, so that neither side waits on a full pipe, then waits.
    struct Finished {
        Ending ending;
        std::string output;
        std::string errors;
    };
    Finished communicate(std::string_view input);

  private:
    void release();

    long id_ = 0;
    NativeHandle input_ = NoHandle;
    NativeHandle output_ = NoHandle;
    NativeHandle errors_ = NoHandle;
    std::optional<Ending> ending_;
#ifdef _WIN32
    NativeHandle process_ = NoHandle;
    NativeHandle job_ = NoHandle;
#endif
};

// One command line from arguments, quoted so that the C runtime's rules
// (CommandLineToArgvW's) give the same arguments back; the program name first,
// which those rules read quoted or up to a blank.
std::string QuoteCommandLine(const std::vector<std::string>& arguments);

}  // namespace stowaway::os
