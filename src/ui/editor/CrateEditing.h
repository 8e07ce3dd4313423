#pragma once

namespace stowaway {

class App;

// Copies the window's editing controls into the current Crate.
void StoreCurrentCrate(App& app);
// Fills the window's editing controls from the current Crate.
void ShowCurrentCrate(App& app);
// The Crate list's selection handler: stores the shown Crate, shows the chosen one.
void SelectCrate(App& app);

}  // namespace stowaway
