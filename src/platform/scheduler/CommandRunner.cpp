#include "platform/scheduler/CommandRunner.h"

#include "platform/os/Process.h"

namespace stowaway {

CommandResult SystemCommandRunner::run(const std::vector<std::string>& arguments,
                                       const std::string& input) {
    CommandResult result;
    if (arguments.empty()) return result;
    os::SpawnSpec spec;
    spec.arguments = arguments;
    spec.searchPath = true;
    spec.input = os::Stream::Pipe();
    spec.output = os::Stream::Pipe();
    spec.error = os::Stream::Pipe();
    os::Process process = os::Process::Start(spec);
    if (!process.started()) return result;
    result.started = true;
    os::Process::Finished finished = process.communicate(input);
    result.output = std::move(finished.output);
    result.errors = std::move(finished.errors);
    result.status = finished.ending.signalled ? -1 : finished.ending.status;
    return result;
}

}  // namespace stowaway
