#pragma once

namespace stowaway {

class App;

// Extracts the selected Crate's archive into the restore location after confirmation.
void RestoreCrate(App& app);

}  // namespace stowaway
