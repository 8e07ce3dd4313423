#include "ui/encryption/EncryptionCommands.h"

#include "platform/Text.h"
#include "platform/secrets/KeyFile.h"
#include "startup/App.h"
#include "store/settings/EncryptionSettings.h"
#include "store/settings/SettingsFile.h"

namespace stowaway {

namespace {

constexpr const char* Title = "Encryption";

void Warn(App& app, const std::string& text) {
    app.FrmEncryption.LblMessage.setCaption(text);
    app.ui.messageBox(text, Title, MsgButtons::OK, MsgIcon::Exclamation);
}

void ClearPasswords(EncryptionForm& f) {
    f.TxtPassword.setText("");
    f.TxtConfirm.setText("");
}

void ShowEnabled(EncryptionForm& f) {
    const bool on = f.ChkEncrypt.checked();
    for (Control* c : std::initializer_list<Control*>{&f.TxtPassword, &f.TxtConfirm, &f.ChkRemember,
                                                      &f.TxtKeyFile})
        c->setEnabled(on);
}

// Whether a run will find the password without the one typed now.
bool KeptSomewhere(App& app, const std::string& crate) {
    SecretText found;
    std::string problem;
    return app.keyring &&
           app.keyring->lookup(app.ProgramFolder, crate, found, problem) == KeyringStatus::Found;
}

}  // namespace

void OpenEncryptionDialog(App& app) {
    EncryptionForm& f = app.FrmEncryption;
    const short slot = app.store.CurrentIndex;
    const std::string crate = slot >= 0 && slot <= MaxCrateIndex
                                  ? app.store.CrateTable[static_cast<std::size_t>(slot)].Name
                                  : std::string();
    if (crate.empty()) {
        app.ui.messageBox("Select a Crate first: encryption is set for each Crate.", Title,
                          MsgButtons::OK, MsgIcon::Information);
        return;
    }
    f.crate = crate;
    f.LblCrate.setCaption("Crate: " + crate);
    const CrateEncryption encryption =
        CrateEncryptionOf(LoadSettings(app.platform, app.settingsPath()).settings, crate);
    f.ChkEncrypt.setValue(encryption.on ? CheckBox::Checked : CheckBox::Unchecked);
    f.TxtKeyFile.setText(encryption.keyFile);
    f.ChkRemember.setValue(CheckBox::Unchecked);
    ClearPasswords(f);
    f.LblMessage.setCaption("");
    ShowEnabled(f);
    f.show();
}

void ApplyEncryption(App& app) {
    EncryptionForm& f = app.FrmEncryption;
    const std::string& crate = f.crate;
    if (crate.empty()) return;
    CrateEncryption encryption{f.ChkEncrypt.checked(), Trim(f.TxtKeyFile.text())};
    SecretText password;
    if (encryption.on) {
        if (f.TxtPassword.text() != f.TxtConfirm.text()) {
            Warn(app, "The two passwords differ; type the same one twice. Nothing was changed.");
            ClearPasswords(f);
            return;
        }
        if (!password.assign(f.TxtPassword.text())) {
            Warn(app, "The password is longer than " + std::to_string(SecretText::Capacity) +
                          " bytes. Nothing was changed.");
            ClearPasswords(f);
            return;
        }
        ClearPasswords(f);
        if (!encryption.keyFile.empty()) {
            SecretText fromFile;
            const std::string problem =
                ReadKeyFile(app.platform.native(encryption.keyFile), fromFile);
            if (!problem.empty()) {
                Warn(app, problem + " Nothing was changed.");
                return;
            }
        }
        const bool remember = f.ChkRemember.checked();
        if (remember && password.empty()) {
            Warn(app,
                 "Type the password twice to remember it in the desktop keyring. Nothing "
                 "was changed.");
            return;
        }
        if (!remember && encryption.keyFile.empty() && !KeptSomewhere(app, crate) &&
            password.empty()) {
            Warn(app,
                 "Give the password a place: tick \"Remember in the desktop keyring\" and "
                 "type it twice, or name a key file. Nothing was changed.");
            return;
        }
        std::string problem;
        if (remember &&
            (!app.keyring || !app.keyring->store(app.ProgramFolder, crate, password, problem))) {
            Warn(app, "The password was not stored: " +
                          (app.keyring ? problem : std::string("no desktop keyring")) +
                          ". Nothing was changed.");
            return;
        }
    } else {
        ClearPasswords(f);
    }
    const std::string path = app.settingsPath();
    SettingsLoad load = LoadSettings(app.platform, path);
    std::string error;
    if (load.unreadable) {
        Warn(app, "The settings file " + path + " cannot be read; nothing was changed.");
        return;
    }
    SetCrateEncryption(load.settings, crate, encryption);
    if (!SaveSettings(app.platform, path, load.settings, error)) {
        Warn(app, "The settings file " + path + " was not written: " + error);
        return;
    }
    if (!encryption.on)
        f.LblMessage.setCaption(crate +
                                " is not encrypted: its next backup writes the archive "
                                "in the clear.");
    else if (f.ChkRemember.checked() || !encryption.keyFile.empty() || KeptSomewhere(app, crate))
        f.LblMessage.setCaption(crate + " is encrypted with AES-256 from its next backup on.");
    else
        f.LblMessage.setCaption(crate +
                                " is encrypted with AES-256. The password is kept nowhere: "
                                "each backup asks for it, and scheduled runs fail.");
}

void ConnectEncryptionForm(App& app) {
    EncryptionForm& f = app.FrmEncryption;
    App* a = &app;
    f.ChkEncrypt.onClick = [&f] { ShowEnabled(f); };
    f.CmdApply.onClick = [a] { ApplyEncryption(*a); };
    f.CmdClose.onClick = [&f] {
        ClearPasswords(f);
        f.hide();
    };
}

}  // namespace stowaway
