// Chosen files from an encrypted Crate with the real archiver and interpreter:
// headless with the Crate's key file, headless with no password anywhere, and
// from the browser, which asks for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "engine/encryption/EncryptedCrateRig.h"
#include "startup/RestoreCommand.h"
#include "startup/Startup.h"
#include "ui/browse/BrowseCommands.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

using test::CratePassword;

class EncryptedFileRestore : public test::EncryptedCrateRig {
  protected:
    void SetUp() override {
        EncryptedCrateRig::SetUp();
        if (IsSkipped()) return;
        ASSERT_EQ(backup(), 0) << test::ReadFile(program + "/Log.txt");
    }
    int restore(std::vector<std::string> arguments) {
        out.str("");
        err.str("");
        arguments.insert(arguments.begin(), "--restore");
        return RunRestoreCommand(fresh(), arguments, out, err);
    }
    // The browser open on the Crate, the letter's only version chosen.
    BrowseForm& browseToLetter() {
        App& a = fresh();
        RunInteractiveStartup(a);
        a.FrmMain.LstCrate.setListIndex(0);
        a.FrmMain.MnuToolsBrowse.click();
        BrowseForm& b = a.FrmBrowse;
        b.TxtSearch.setText("letter.txt");
        b.CmdSearch.click();
        b.TblResults.select(0);
        b.TblHistory.select(0);
        return b;
    }

    std::ostringstream out, err;
};

TEST_F(EncryptedFileRestore, HeadlessTakesTheKeyFileAndRestoresByteForByte) {
    const std::string target = dir / "back";
    ASSERT_EQ(restore({"Docs", "--to", target, data + "/sub/big.txt"}), RestoreDone) << err.str();
    EXPECT_EQ(test::ReadFile(target + data + "/sub/big.txt"), big);
    EXPECT_FALSE(fs::exists(toPath(target + letter)));
    EXPECT_TRUE(ui->passwordPrompts.empty());
    // The line names the descriptor, never the password.
    EXPECT_EQ(test::ReadFile(program + "/SWTemp.bat").find(CratePassword), std::string::npos);
}

TEST_F(EncryptedFileRestore, HeadlessWithoutAPasswordFailsSaysWhyAndWritesNothing) {
    const std::string target = dir / "back";
    // Encrypted in the settings, but no key file and no keyring.
    test::WriteFile(program + "/Stowaway.ini", "[crate \"Docs\"]\nencrypt = aes256\n");
    EXPECT_EQ(restore({"Docs", "--to", target, letter}), RestoreFailed);
    EXPECT_NE(err.str().find("The Crate Docs is encrypted, but no password was found"),
              std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("Nothing was restored."), std::string::npos) << err.str();
    // No settings at all: the archive itself says it is encrypted.
    fs::remove(toPath(program + "/Stowaway.ini"));
    EXPECT_EQ(restore({"Docs", "--to", target, letter}), RestoreFailed);
    EXPECT_NE(err.str().find("is encrypted, but the Crate Docs has no password"), std::string::npos)
        << err.str();
    EXPECT_TRUE(ui->passwordPrompts.empty());
    EXPECT_TRUE(!fs::exists(toPath(target)) || fs::is_empty(toPath(target)));
    EXPECT_NE(test::ReadFile(program + "/Log.txt").find("no password"), std::string::npos);
}

TEST_F(EncryptedFileRestore, TheBrowserAsksAndAWrongAnswerRestoresNothing) {
    fs::remove(toPath(letter));
    fs::remove(toPath(program + "/Stowaway.ini"));  // no Crate password: it must ask

    BrowseForm& wrong = browseToLetter();
    ASSERT_EQ(wrong.TblHistory.rows().size(), 1u) << wrong.LblMessage.caption();
    ui->passwords = {"not it"};
    wrong.CmdRestoreOriginal.click();
    ASSERT_EQ(ui->passwordPrompts.size(), 1u);
    EXPECT_NE(ui->passwordPrompts[0].find("is encrypted"), std::string::npos);
    EXPECT_FALSE(fs::exists(toPath(letter)));
    // The archiver's own line for the entry is the reason given.
    EXPECT_NE(wrong.LblMessage.caption().find("The restore stopped after 0 of 1 file"),
              std::string::npos)
        << wrong.LblMessage.caption();
    EXPECT_NE(wrong.LblMessage.caption().find("the password is wrong"), std::string::npos)
        << wrong.LblMessage.caption();

    // Nobody answers: nothing is run.
    BrowseForm& none = browseToLetter();
    none.CmdRestoreOriginal.click();
    EXPECT_NE(none.LblMessage.caption().find("no password was given"), std::string::npos)
        << none.LblMessage.caption();
    EXPECT_FALSE(fs::exists(toPath(letter)));

    BrowseForm& right = browseToLetter();
    ui->passwords = {CratePassword};
    right.CmdRestoreOriginal.click();
    EXPECT_EQ(right.LblMessage.caption(), "Restored 1 of 1 file to their original place.");
    EXPECT_EQ(test::ReadFile(letter), "Dear Ann,\nall well.\n");
}

}  // namespace
}  // namespace stowaway
