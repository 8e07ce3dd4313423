#pragma once

namespace stowaway {

class App;

// "&About": loads the box the first time (version text, the Ok button) and shows it
// without blocking the main window.
void ShowAbout(App& app);

}  // namespace stowaway
