// An encrypted Crate with the real archiver and interpreter: the archive opens
// with 7-Zip and the password, restores and imports through the program, and a
// wrong password restores nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "engine/encryption/EncryptedArchive.h"
#include "engine/encryption/EncryptedCrateRig.h"
#include "ui/editor/CrateEditing.h"
#include "ui/main/DataFileCommands.h"
#include "ui/main/JobCommands.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

using test::CratePassword;

class EncryptedEndToEnd : public test::EncryptedCrateRig {
  protected:
    App& restoreInto(const std::string& target) {
        App& a = fresh();
        LoadDataFile(a);
        a.FrmMain.LstCrate.setListIndex(0);
        a.store.CurrentIndex = 0;
        ShowCurrentCrate(a);
        fs::create_directories(toPath(target));
        a.FrmMain.TxtRestoreLocation.setText(target);
        return a;
    }
    int sh(const std::string& command) {
        return std::system(("(" + command + ") >/dev/null 2>&1").c_str());
    }
    std::string restored(const std::string& target, const std::string& name) {
        return test::ReadFile(target + data + "/" + name);
    }
};

TEST_F(EncryptedEndToEnd, ABackupOpensWithSevenZipAndThePasswordOnly) {
    ASSERT_EQ(backup(), 0) << test::ReadFile(program + "/Log.txt");
    EXPECT_EQ(ArchiveEncryptionOf(*platform, archive), ArchiveEncryption::Encrypted);
    if (sh("command -v 7z") != 0) GTEST_SKIP() << "7z is not installed (p7zip-full)";
    EXPECT_EQ(sh("7z t '-p" + std::string(CratePassword) + "' '" + archive + "'"), 0);
    EXPECT_NE(sh("7z t -pwrong '" + archive + "'"), 0);
    const std::string out = dir / "by7z";
    ASSERT_EQ(sh("7z x '-p" + std::string(CratePassword) + "' -o'" + out + "' '" + archive + "'"),
              0);
    EXPECT_EQ(test::ReadFile(out + data + "/sub/big.txt"), test::ReadFile(data + "/sub/big.txt"));
    // The Crate's description and the names stay readable without it.
    EXPECT_NE(test::ReadFile(archive).find("letter.txt"), std::string::npos);
    EXPECT_EQ(test::ReadFile(archive).find("Dear Ann"), std::string::npos);
}

TEST_F(EncryptedEndToEnd, RestoreTakesTheCratesPasswordOrAsksAndAWrongOneRestoresNothing) {
    ASSERT_EQ(backup(), 0) << test::ReadFile(program + "/Log.txt");
    // The Crate's own key file: no question.
    const std::string first = dir / "first";
    RestoreCrate(restoreInto(first));
    EXPECT_EQ(app->FrmMain.StBMain.panelText(), "Restore Complete");
    EXPECT_TRUE(ui->passwordPrompts.empty());
    EXPECT_EQ(restored(first, "letter.txt"), "Dear Ann,\nall well.\n");
    EXPECT_EQ(restored(first, "sub/big.txt"), test::ReadFile(data + "/sub/big.txt"));
    EXPECT_TRUE(fs::exists(toPath(first + data + "/empty.txt")));

    // Without the settings the archive asks; a wrong answer restores nothing.
    fs::remove(toPath(program + "/Stowaway.ini"));
    const std::string wrong = dir / "wrong";
    App& w = restoreInto(wrong);
    ui->passwords = {"not it"};
    RestoreCrate(w);
    EXPECT_EQ(ui->passwordPrompts.size(), 1u);
    EXPECT_NE(w.FrmMain.StBMain.panelText(), "Restore Complete");
    EXPECT_FALSE(fs::exists(toPath(wrong + data + "/letter.txt")));
    EXPECT_NE(test::ReadFile(program + "/Log.txt").find("    Error: "), std::string::npos);

    const std::string right = dir / "right";
    App& r = restoreInto(right);
    ui->passwords = {CratePassword};
    RestoreCrate(r);
    EXPECT_EQ(r.FrmMain.StBMain.panelText(), "Restore Complete");
    EXPECT_EQ(restored(right, "sub/big.txt"), test::ReadFile(data + "/sub/big.txt"));
}

TEST_F(EncryptedEndToEnd, ImportReadsTheCrateOfAnEncryptedArchive) {
    ASSERT_EQ(backup(), 0) << test::ReadFile(program + "/Log.txt");
    App& b = fresh();
    fs::remove(toPath(program + "/Stowaway.dat"));
    LoadDataFile(b);
    ui->passwords = {CratePassword};
    ImportCrate(b, archive);
    EXPECT_EQ(b.FrmMain.StBMain.panelText(), "Added Crate Data Successfully");
    EXPECT_EQ(ui->passwordPrompts.size(), 1u);
    EXPECT_EQ(b.store.CrateTable[0].Name, "Docs");
    EXPECT_EQ(b.store.CrateTable[0].BackupLocation, archive);
}

}  // namespace
}  // namespace stowaway
