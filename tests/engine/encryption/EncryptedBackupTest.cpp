// An encrypted Crate's backup: where its password comes from, how it reaches the
// archiver (descriptor 3, never the line), and a run with none found.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "../EngineRig.h"
#include "engine/encryption/CratePassword.h"
#include "store/RunStateFile.h"
#include "support/FakeKeyring.h"
#include "ui/main/JobCommands.h"

namespace stowaway {
namespace {

using test::Lines;

class EncryptedBackup : public ::testing::Test {
  protected:
    EncryptedBackup() : rig(false) {
        auto fake = std::make_unique<test::FakeKeyring>();
        keyring = fake.get();
        rig.app->keyring = std::move(fake);
        CrateRecord& c = rig.crate("Docs");
        c.FileMax = 1;
        CrateRecord::SetEntry(c.Files, 0, rig.dir / "a.txt");
        rig.write(rig.dir / "a.txt", "12345");
        rig.show();
        rig.script->onStart = [this](const std::string&) {
            rig.emit("  Adding: a.txt ... done.");
            rig.write(rig.programFile("SWBackup.zip"), std::string(300, 'z'));
        };
    }
    void settings(const std::string& keys) {
        rig.write(rig.programFile("Stowaway.ini"), "[crate \"Docs\"]\n" + keys);
    }
    std::string keyFile(const std::string& text, mode_t mode = 0600) {
        const std::string path = rig.dir / "docs.key";
        rig.write(path, text);
        ::chmod(path.c_str(), mode);
        return path;
    }
    bool run(bool automated) {
        rig.app->AbuMode = automated;
        return BackupSelectedCrate(*rig.app);
    }
    std::string log() const { return rig.read(rig.programFile("Log.txt")); }
    std::string batch() const { return rig.read(rig.programFile("SWTemp.bat")); }

    test::Rig rig;
    test::FakeKeyring* keyring = nullptr;
};

TEST_F(EncryptedBackup, AKeyFilesPasswordTravelsOnDescriptorThreeAndTheLineOnlySaysSo) {
    settings("encrypt = aes256\nkey_file = " + keyFile("s3cret pw\nnot this\n") + "\n");
    ASSERT_TRUE(run(true));
    ASSERT_EQ(rig.script->secrets.size(), 1u);
    EXPECT_EQ(rig.script->secrets[0], (std::pair<int, std::string>{3, "s3cret pw"}));
    EXPECT_NE(batch().find("\" -password-fd=3 @\""), std::string::npos) << batch();
    for (const std::string& file : {batch(), log(), rig.read(rig.programFile("SWTemp.lst")),
                                    rig.read(rig.programFile("SWTemp.dat"))})
        EXPECT_EQ(file.find("s3cret"), std::string::npos) << file;
    // Handed over and wiped: the job keeps nothing of it.
    EXPECT_TRUE(rig.app->job.Password.empty());
    EXPECT_FALSE(SecretsHeld());
}

TEST_F(EncryptedBackup, TheKeyringComesFirstAndALockedOneFallsBackToTheKeyFile) {
    settings("encrypt = aes256\nkey_file = " + keyFile("from the file\n") + "\n");
    keyring->items[{rig.app->ProgramFolder, "docs"}] = "from the keyring";
    ASSERT_TRUE(run(true));
    keyring->answer = KeyringStatus::Locked;
    ASSERT_TRUE(run(true));
    ASSERT_EQ(rig.script->secrets.size(), 2u);
    EXPECT_EQ(rig.script->secrets[0].second, "from the keyring");
    EXPECT_EQ(rig.script->secrets[1].second, "from the file");
}

TEST_F(EncryptedBackup, NoPasswordFoundFailsTheRunBeforeAnythingIsWrittenAndAlerts) {
    settings("encrypt = aes256\n");
    EXPECT_FALSE(run(true));
    EXPECT_TRUE(rig.script->started.empty());
    EXPECT_FALSE(rig.platform->fileExists(rig.programFile("SWBackup.zip")));
    const std::string why =
        "The Crate Docs is encrypted, but no password was found: the desktop keyring holds no "
        "password for it; no key file is set. Nothing was backed up.";
    EXPECT_NE(log().find("    Error: " + why), std::string::npos) << log();
    const RunStateParse state = ReadRunState(
        *rig.platform, rig.platform->style().join(rig.app->ProgramFolder, "Stowaway.state"));
    ASSERT_NE(state.table.find("Docs"), nullptr);
    EXPECT_EQ(state.table.find("Docs")->error, why);
    EXPECT_EQ(rig.notifier->alerts.size(), 1u);
    // An automated run asks no one.
    EXPECT_TRUE(rig.ui.passwordPrompts.empty());
}

TEST_F(EncryptedBackup, AKeyFileOthersMayReadIsRefusedWithTheReason) {
    const std::string path = keyFile("pw\n", 0644);
    settings("encrypt = aes256\nkey_file = " + path + "\n");
    EXPECT_FALSE(run(true));
    EXPECT_TRUE(rig.script->started.empty());
    EXPECT_NE(log().find("the desktop keyring holds no password for it; the key file " + path +
                         " may be read or changed by others (mode 0644); make it yours alone: "
                         "chmod 600 " +
                         path + ". Nothing was backed up."),
              std::string::npos)
        << log();
}

TEST_F(EncryptedBackup, TheWindowAsksWhenNeitherHasItAndACancelRunsNothing) {
    settings("encrypt = aes256\n");
    rig.ui.passwords = {"typed pw"};
    ASSERT_TRUE(run(false));
    ASSERT_EQ(rig.script->secrets.size(), 1u);
    EXPECT_EQ(rig.script->secrets[0].second, "typed pw");
    ASSERT_EQ(rig.ui.passwordPrompts.size(), 1u);
    EXPECT_EQ(rig.ui.passwordPrompts[0],
              "Backup Password: The Crate Docs is encrypted. Its password:");
    EXPECT_FALSE(run(false));
    EXPECT_EQ(rig.script->started.size(), 1u);
}

TEST_F(EncryptedBackup, APlainCrateNeedsNoPasswordAndAnUnreadableSettingsFileStopsTheRun) {
    settings("schedule = daily 02:30\n");
    ASSERT_TRUE(run(true));
    EXPECT_TRUE(rig.script->secrets.empty());
    EXPECT_EQ(keyring->lookups, 0);
    EXPECT_EQ(batch().find("-password-fd"), std::string::npos);
    // Whether to encrypt is not known: nothing is written in the clear.
    rig.platform->removeFile(rig.programFile("Stowaway.ini"));
    ::mkdir(rig.programFile("Stowaway.ini").c_str(), 0700);
    EXPECT_FALSE(run(true));
    EXPECT_EQ(rig.script->started.size(), 1u);
    EXPECT_NE(log().find("cannot be read, so it is not known whether the Crate Docs is to be "
                         "encrypted. Nothing was backed up."),
              std::string::npos);
}

}  // namespace
}  // namespace stowaway
