#pragma once

namespace stowaway {

class App;

// Connects every control and menu item of the main window to its command.
void ConnectMainForm(App& app);

}  // namespace stowaway
