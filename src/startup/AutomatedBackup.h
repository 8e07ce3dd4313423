#pragma once

namespace stowaway {

class App;

// Backs up the Crate named by AbuCrateName without a person; returns the
// process's exit status: 0 when the backup ran and reported success.
int RunAutomatedBackup(App& app);

}  // namespace stowaway
