#pragma once

namespace stowaway {

class App;

// Tools > Encryption...: opens the dialog for the selected Crate with its
// settings; says so when no Crate is selected.
void OpenEncryptionDialog(App& app);
// Apply: checks the two passwords and the key file, stores the password in the
// keyring when asked, then writes the Crate's settings; nothing is changed when
// a check fails, and the message says why.
void ApplyEncryption(App& app);
void ConnectEncryptionForm(App& app);

}  // namespace stowaway
