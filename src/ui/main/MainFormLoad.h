#pragma once

namespace stowaway {

class App;

// The status text the load leaves.
inline constexpr const char* LoadedStatusText = "Stowaway Loaded Successfully";

// The main window's load sequence, run once when it is created.
void LoadMainForm(App& app);

}  // namespace stowaway
