#pragma once

#include <string>

namespace stowaway {

class App;

// Adds a Crate with the defaults of a new one and makes it current. An empty name,
// one already listed (any letter case) or a full table adds nothing; the name box
// is cleared either way. A name with a double quote is refused with a message and
// changes nothing.
void AddCrate(App& app, const std::string& name);
// Gives the current Crate the name typed in TxtAddCrate. With no current Crate it
// changes nothing.
void RenameCrate(App& app);
// Deletes the selected Crate after confirmation and saves the data file.
void DeleteCrate(App& app);

}  // namespace stowaway
