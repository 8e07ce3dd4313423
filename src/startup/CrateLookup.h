#pragma once

#include <string>

namespace stowaway {

class App;

// Loads the data file of the program folder and finds the Crate named `wanted`
// as -abu finds it: trimmed, without regard to case, the last of equal names.
// Returns its slot, or -1 when there is none.
short LoadAndFindCrate(App& app, const std::string& wanted);

}  // namespace stowaway
