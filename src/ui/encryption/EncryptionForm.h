#pragma once

#include <vector>

#include "ui/controls/Controls.h"

namespace stowaway {

// Tools > Encryption...: the selected Crate's encryption, where its password is
// kept (the desktop keyring, a key file) and a word on what stays readable.
class EncryptionForm : public Form {
  public:
    EncryptionForm() : Form("FrmEncryption", "Encryption", {0, 0, 480, 318}) { setVisible(false); }

    Label LblCrate{"LblCrate", "", {8, 8, 464, 17}};
    CheckBox ChkEncrypt{
        "ChkEncrypt", "Encrypt archive (AES-256)", CheckBox::Unchecked, {8, 32, 464, 21}};
    Label LblPassword{"LblPassword", "Password:", {24, 62, 120, 17}};
    // Shown as dots; the text is cleared once it is applied or the dialog closes.
    TextBox TxtPassword{"TxtPassword", "", {152, 60, 320, 21}};
    Label LblConfirm{"LblConfirm", "Password again:", {24, 90, 120, 17}};
    TextBox TxtConfirm{"TxtConfirm", "", {152, 88, 320, 21}};
    CheckBox ChkRemember{
        "ChkRemember", "Remember in the desktop keyring", CheckBox::Unchecked, {24, 116, 448, 21}};
    Label LblKeyFile{"LblKeyFile",
                     "Key file (its first line is the password; for runs without the keyring):",
                     {24, 144, 448, 17}};
    TextBox TxtKeyFile{"TxtKeyFile", "", {24, 162, 448, 21}};
    Label LblReadable{"LblReadable",
                      "The files' contents are encrypted. Their names and the Crate's description "
                      "stay readable to anyone who has the archive, as in every ZIP file.",
                      {8, 192, 464, 34}};
    Label LblMessage{"LblMessage", "", {8, 230, 464, 46}};
    Button CmdApply{"CmdApply", "&Apply", {302, 284, 81, 25}};
    Button CmdClose{"CmdClose", "&Close", {391, 284, 81, 25}};

    std::vector<Control*> controls() {
        return {&LblCrate,   &ChkEncrypt,  &LblPassword, &TxtPassword, &LblConfirm,
                &TxtConfirm, &ChkRemember, &LblKeyFile,  &TxtKeyFile,  &LblReadable,
                &LblMessage, &CmdApply,    &CmdClose};
    }
    // The Crate the dialog was opened for.
    std::string crate;
};

}  // namespace stowaway
