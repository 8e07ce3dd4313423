#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace stowaway {

class App;

// The long options of later versions take their arguments as given, letter case
// kept; the classic switches (-main, -abu) keep their lower-casing whole line.
// True when the first argument is one of them: they need no display.
bool IsLongOption(const std::vector<std::string>& arguments);

// Runs a long option and returns the exit status; nullopt when the arguments are
// not one. Output goes to out, messages to err.
std::optional<int> RunLongOption(App& app, const std::vector<std::string>& arguments,
                                 std::ostream& out, std::ostream& err);

}  // namespace stowaway
