#include "startup/LongOptions.h"

#include "startup/EncryptOption.h"
#include "startup/RestoreCommand.h"
#include "startup/ScheduleOption.h"

namespace stowaway {

bool IsLongOption(const std::vector<std::string>& arguments) {
    return !arguments.empty() && (arguments[0] == "--schedule" ||
                                  arguments[0] == "--fix-schedules" || IsRestoreCommand(arguments) ||
                                  arguments[0] == "--encrypt");
}

std::optional<int> RunLongOption(App& app, const std::vector<std::string>& arguments,
                                 std::ostream& out, std::ostream& err) {
    if (!IsLongOption(arguments)) return std::nullopt;
    if (arguments[0] == "--schedule") return RunScheduleOption(app, arguments, out, err);
    if (IsRestoreCommand(arguments)) return RunRestoreCommand(app, arguments, out, err);
    if (arguments[0] == "--encrypt") return RunEncryptOption(app, arguments, out, err);
    if (arguments.size() != 1) {
        err << "stowaway: --fix-schedules takes no arguments\n";
        return ScheduleBadUsage;
    }
    return RunFixSchedulesOption(app, out, err);
}

}  // namespace stowaway
