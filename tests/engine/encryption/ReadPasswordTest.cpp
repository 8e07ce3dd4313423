// Restore and import of an encrypted archive: found by its central directory,
// the password asked for (or the Crate's own), handed on like a backup's.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "../EngineRig.h"
#include "engine/ImportJob.h"
#include "engine/RestoreJob.h"
#include "engine/encryption/EncryptedArchive.h"
#include "support/FakeKeyring.h"

namespace stowaway {
namespace {

// Not a piece of any temporary folder's name, which the batch file holds.
const std::string Password = "pass word #1";

// Archives written by other tools: 7-Zip's AES-256, zip's traditional encryption
// and a plain one.
class EncryptedArchives : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::system("command -v 7z >/dev/null && command -v zip >/dev/null") != 0)
            GTEST_SKIP() << "7z and zip are needed to write the sample archives";
        test::WriteFile(dir / "in/a.txt", "alpha\n");
        test::WriteFile(dir / "in/b.txt", std::string(3000, 'b'));
        ASSERT_EQ(sh("cd in && 7z a -tzip -mem=AES256 -pPW ../aes.zip a.txt b.txt"), 0);
        ASSERT_EQ(sh("cd in && zip -q -P PW ../zipcrypto.zip a.txt"), 0);
        ASSERT_EQ(sh("cd in && zip -q ../plain.zip a.txt b.txt"), 0);
        // Encrypted only in the last entry of many.
        ASSERT_EQ(sh("cp plain.zip mixed.zip && cd in && cp a.txt c.txt && "
                     "7z a -tzip -mem=AES256 -pPW ../mixed.zip c.txt"),
                  0);
    }
    int sh(const std::string& command) {
        return std::system(
            ("cd '" + dir.path() + "' && (" + command + ") >/dev/null 2>&1").c_str());
    }
    test::TempDir dir;
};

TEST_F(EncryptedArchives, AreFoundByTheirCentralDirectory) {
    NativePlatform platform(dir.path());
    EXPECT_EQ(ArchiveEncryptionOf(platform, dir / "aes.zip"), ArchiveEncryption::Encrypted);
    EXPECT_EQ(ArchiveEncryptionOf(platform, dir / "zipcrypto.zip"), ArchiveEncryption::Encrypted);
    EXPECT_EQ(ArchiveEncryptionOf(platform, dir / "mixed.zip"), ArchiveEncryption::Encrypted);
    EXPECT_EQ(ArchiveEncryptionOf(platform, dir / "plain.zip"), ArchiveEncryption::Plain);
    EXPECT_EQ(ArchiveEncryptionOf(platform, dir / "missing.zip"), ArchiveEncryption::Unreadable);
    EXPECT_EQ(ArchiveEncryptionOf(platform, dir / "in/a.txt"), ArchiveEncryption::Unreadable);
    // A directory cut short is no answer either.
    std::string cut = test::ReadFile(dir / "plain.zip");
    const std::size_t central = cut.find(std::string("PK\x01\x02", 4));
    cut.erase(central + 10, 40);
    test::WriteFile(dir / "cut.zip", cut);
    EXPECT_EQ(ArchiveEncryptionOf(platform, dir / "cut.zip"), ArchiveEncryption::Unreadable);
}

class EncryptedRestore : public EncryptedArchives {
  protected:
    void SetUp() override {
        EncryptedArchives::SetUp();
        if (IsSkipped()) return;
        auto fake = std::make_unique<test::FakeKeyring>();
        keyring = fake.get();
        rig.app->keyring = std::move(fake);
        CrateRecord& c = rig.crate("Docs");
        c.BackupLocation = dir / "aes.zip";
        rig.show();
    }
    void restore() { RestoreCrate(rig.app->jobContext(), rig.dir / "restored", true); }
    test::Rig rig{false};
    test::FakeKeyring* keyring = nullptr;
};

TEST_F(EncryptedRestore, AsksForThePasswordAndHandsItOnLikeABackup) {
    rig.ui.passwords = {Password};
    restore();
    ASSERT_EQ(rig.script->secrets.size(), 1u);
    EXPECT_EQ(rig.script->secrets[0], (std::pair<int, std::string>{3, Password}));
    ASSERT_EQ(rig.ui.passwordPrompts.size(), 1u);
    EXPECT_EQ(rig.ui.passwordPrompts[0], "Archive Password: The archive " + (dir / "aes.zip") +
                                             " is encrypted. Its password:");
    const std::string batch = rig.read(rig.programFile("SWTemp.bat"));
    EXPECT_NE(batch.find(rig.dir / "restored -password-fd=3"), std::string::npos) << batch;
    EXPECT_EQ(batch.find(Password), std::string::npos);
}

TEST_F(EncryptedRestore, TakesTheCratesOwnPasswordWithoutAsking) {
    rig.write(rig.programFile("Stowaway.ini"), "[crate \"Docs\"]\nencrypt = aes256\n");
    keyring->items[{rig.app->ProgramFolder, "docs"}] = Password;
    restore();
    ASSERT_EQ(rig.script->secrets.size(), 1u);
    EXPECT_EQ(rig.script->secrets[0].second, Password);
    EXPECT_TRUE(rig.ui.passwordPrompts.empty());
}

TEST_F(EncryptedRestore, ACancelledPromptRestoresNothingAndSaysWhy) {
    restore();
    EXPECT_TRUE(rig.script->started.empty());
    ASSERT_FALSE(rig.ui.messages.empty());
    EXPECT_EQ(rig.ui.messages.back().text, "The archive " + (dir / "aes.zip") +
                                               " is encrypted, and no password was given. "
                                               "Nothing was read.");
    EXPECT_EQ(rig.app->FrmMain.StBMain.panelText(), "Restore Aborted");
}

TEST_F(EncryptedRestore, APlainArchiveIsRestoredWithoutAnyPassword) {
    rig.app->store.CrateTable[0].BackupLocation = dir / "plain.zip";
    restore();
    EXPECT_EQ(rig.script->started.size(), 1u);
    EXPECT_TRUE(rig.script->secrets.empty());
    EXPECT_TRUE(rig.ui.passwordPrompts.empty());
}

TEST_F(EncryptedRestore, ImportAsksToListAnEncryptedArchive) {
    rig.ui.passwords = {Password};
    ReadArchiveHeader(rig.app->jobContext(), dir / "aes.zip");
    ASSERT_EQ(rig.script->secrets.size(), 1u);
    EXPECT_EQ(rig.script->secrets[0].second, Password);
    const std::string batch = rig.read(rig.programFile("SWTemp.bat"));
    EXPECT_NE(batch.find("-view=brief " + (dir / "aes.zip") + " -password-fd=3 > "),
              std::string::npos)
        << batch;
}

}  // namespace
}  // namespace stowaway
