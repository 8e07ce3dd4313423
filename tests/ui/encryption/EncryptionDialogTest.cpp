// Tools > Encryption...: the selected Crate's encryption set from the window.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/NativeText.h"
#include "support/FakeKeyring.h"
#include "support/SystemSupport.h"
#include "ui/encryption/EncryptionCommands.h"
#include "ui/main/StartedProgram.h"

namespace stowaway {
namespace {

using test::ReadFile;
using test::StartedProgram;

namespace fs = std::filesystem;

struct EncryptionRig {
    EncryptionRig() : s({"Docs", "Mail"}, false) {
        auto fake = std::make_unique<test::FakeKeyring>();
        keyring = fake.get();
        s.app.keyring = std::move(fake);
        s.f.LstCrate.setListIndex(0);
    }
    std::string settings() {
        const std::string path = s.app.settingsPath();
        return fs::exists(toPath(path)) ? ReadFile(path) : "";
    }
    void open() {
        s.f.MnuToolsEncryption.click();
        ASSERT_TRUE(d.visible());
    }
    void typeTwice(const std::string& first, const std::string& second) {
        d.TxtPassword.setText(first);
        d.TxtConfirm.setText(second);
    }
    StartedProgram s;
    test::FakeKeyring* keyring = nullptr;
    EncryptionForm& d = s.app.FrmEncryption;
};

TEST(EncryptionDialog, RemembersThePasswordInTheKeyringAndOnlyTheSettingInTheFile) {
    EncryptionRig r;
    r.open();
    EXPECT_EQ(r.d.LblCrate.caption(), "Crate: Docs");
    EXPECT_FALSE(r.d.ChkEncrypt.checked());
    EXPECT_FALSE(r.d.TxtPassword.enabled());
    EXPECT_NE(r.d.LblReadable.caption().find("names and the Crate's description stay readable"),
              std::string::npos);
    r.d.ChkEncrypt.click();
    EXPECT_TRUE(r.d.TxtPassword.enabled());
    r.typeTwice("window pw", "window pw");
    r.d.ChkRemember.click();
    r.d.CmdApply.click();
    EXPECT_EQ(r.d.LblMessage.caption(), "Docs is encrypted with AES-256 from its next backup on.");
    EXPECT_EQ((r.keyring->items[{r.s.app.ProgramFolder, "docs"}]), "window pw");
    EXPECT_EQ(r.settings(), "[crate \"Docs\"]\nencrypt = aes256\n");
    // What was typed is gone from the form.
    EXPECT_EQ(r.d.TxtPassword.text(), "");
    EXPECT_EQ(r.d.TxtConfirm.text(), "");
    // Opened again, it shows the setting; turned off, the key goes.
    r.d.CmdClose.click();
    r.open();
    EXPECT_TRUE(r.d.ChkEncrypt.checked());
    r.d.ChkEncrypt.click();
    r.d.CmdApply.click();
    EXPECT_EQ(r.settings(), "");
    EXPECT_EQ(r.d.LblMessage.caption(),
              "Docs is not encrypted: its next backup writes the archive in the clear.");
}

TEST(EncryptionDialog, ChecksThePasswordsAndTheKeyFileBeforeChangingAnything) {
    STOWAWAY_NEEDS(KeyFiles);
    EncryptionRig r;
    r.open();
    r.d.ChkEncrypt.click();
    r.typeTwice("one", "two");
    r.d.ChkRemember.click();
    r.d.CmdApply.click();
    EXPECT_EQ(r.d.LblMessage.caption(),
              "The two passwords differ; type the same one twice. Nothing was changed.");
    EXPECT_TRUE(r.keyring->items.empty());
    EXPECT_EQ(r.settings(), "");
    // Nowhere to keep it.
    r.d.ChkRemember.click();
    r.d.CmdApply.click();
    EXPECT_NE(r.d.LblMessage.caption().find("Give the password a place"), std::string::npos);
    // A key file others may read.
    const std::string key = r.s.p.dir / "docs.key";
    test::WriteFile(key, "file pw\n");
    ::chmod(key.c_str(), 0644);
    r.d.TxtKeyFile.setText(key);
    r.d.CmdApply.click();
    EXPECT_NE(r.d.LblMessage.caption().find("(mode 0644); make it yours alone"), std::string::npos);
    EXPECT_EQ(r.settings(), "");
    ::chmod(key.c_str(), 0600);
    r.d.CmdApply.click();
    EXPECT_EQ(r.settings(), "[crate \"Docs\"]\nencrypt = aes256\nkey_file = " + key + "\n");
    // A keyring that refuses: the settings stay as they were.
    r.keyring->refuse = true;
    r.d.ChkRemember.click();
    r.typeTwice("pw", "pw");
    r.s.app.FrmEncryption.crate = "Mail";
    r.d.CmdApply.click();
    EXPECT_EQ(r.d.LblMessage.caption(),
              "The password was not stored: the test keyring refuses. Nothing was changed.");
    EXPECT_EQ(r.settings(), "[crate \"Docs\"]\nencrypt = aes256\nkey_file = " + key + "\n");
}

}  // namespace
}  // namespace stowaway
