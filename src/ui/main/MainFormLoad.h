#pragma once

namespace stowaway {

class App;

// The main window's load sequence, run once when it is created.
void LoadMainForm(App& app);

}  // namespace stowaway
