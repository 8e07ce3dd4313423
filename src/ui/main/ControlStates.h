#pragma once

namespace stowaway {

class App;

// Switches the controls that edit one Crate on or off as a group, and puts both
// folder filters back to off.
void SetCrateControlsEnabled(App& app, bool enable);

}  // namespace stowaway
