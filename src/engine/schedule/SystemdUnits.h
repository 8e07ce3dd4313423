#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/settings/Schedule.h"

namespace stowaway {

// systemd-escape's escaping of a text for a unit name: "/" becomes "-", every
// byte but ASCII letters, digits, ":", "_" and "." (and a leading ".") becomes \xHH.
std::string SystemdEscape(std::string_view text);

// The units of a Crate: "stowaway-" + the escaped name in lower case (cut to keep
// the name short enough) + "-" + eight hex digits of a hash of that lower-case
// name. Names that match without case share units, as they are the same Crate;
// any two other names get different ones.
std::string UnitBaseName(std::string_view crate);
inline constexpr std::string_view UnitPrefix = "stowaway-";

// One word of ExecStart=: double-quoted, with \, " and control characters as C
// escapes, "%" as "%%" and "$" as "$$", so systemd passes it on as it is.
std::string ExecArgument(std::string_view word);
// The program of ExecStart=: systemd takes it literally but for "%" specifiers,
// and refuses one holding quotes, a backslash or a control character (nullopt).
std::optional<std::string> ExecProgram(std::string_view path);
// Reads back a line that ExecArgument's words make up; nullopt when it is not one.
std::optional<std::vector<std::string>> SplitExecLine(std::string_view line);

// The files' texts. The service runs "<program> -abu <Crate name>"; the program
// must pass ExecProgram.
std::string ServiceUnitText(std::string_view crate, std::string_view program);
std::string TimerUnitText(std::string_view crate, const Schedule& schedule);

// What a service file of ours runs: the program and the Crate; nullopt for a file
// that is not one of ours.
struct ServiceCommand {
    std::string program;
    std::string crate;
};
std::optional<ServiceCommand> ReadServiceCommand(std::string_view serviceText);

}  // namespace stowaway
