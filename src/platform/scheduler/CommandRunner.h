#pragma once

#include <string>
#include <vector>

namespace stowaway {

// How a helper program (systemctl, crontab) ended.
struct CommandResult {
    bool started = false;  // false: the program could not be run at all
    int status = -1;       // exit status; -1 when it was killed by a signal
    std::string output;    // standard output
    std::string errors;    // standard error

    bool succeeded() const { return started && status == 0; }
    // The program and the first line it wrote to standard error, for a message.
    std::string describe(const std::vector<std::string>& arguments) const;
};

// Runs helper programs with arguments (no shell) and a text on standard input.
class CommandRunner {
  public:
    virtual ~CommandRunner() = default;
    virtual CommandResult run(const std::vector<std::string>& arguments,
                              const std::string& input = {}) = 0;
};

// The real one: searches PATH, waits for the program to end.
class SystemCommandRunner : public CommandRunner {
  public:
    CommandResult run(const std::vector<std::string>& arguments,
                      const std::string& input = {}) override;
};

}  // namespace stowaway
