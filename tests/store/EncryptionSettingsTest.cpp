// A Crate's encryption keys in Stowaway.ini: never the password, only where it is.
#include <gtest/gtest.h>

#include "store/settings/EncryptionSettings.h"

namespace stowaway {
namespace {

Settings Read(const std::string& text) {
    std::vector<std::string> problems;
    return Settings::Parse(text, problems);
}

TEST(EncryptionSettings, ReadsOnOffAndTheKeyFileAndNeverTurnsOffOnASlip) {
    const Settings settings = Read(
        "[crate \"Docs\"]\nencrypt = aes256\nkey_file = /home/ann/.docs.key\n"
        "[crate \"Music\"]\nencrypt = off\nkey_file = /k\n"
        "[crate \"Typo\"]\nencrypt = AES-256\n"
        "[crate \"Plain\"]\nschedule = daily 02:30\n");
    EXPECT_EQ(CrateEncryptionOf(settings, "docs"), (CrateEncryption{true, "/home/ann/.docs.key"}));
    EXPECT_EQ(CrateEncryptionOf(settings, "Music"), (CrateEncryption{false, "/k"}));
    EXPECT_EQ(CrateEncryptionOf(settings, "Plain"), CrateEncryption{});
    EXPECT_EQ(CrateEncryptionOf(settings, "Nobody"), CrateEncryption{});
    std::string problem;
    EXPECT_TRUE(CrateEncryptionOf(settings, "Typo", &problem).on);
    EXPECT_NE(problem.find("\"AES-256\", not \"aes256\" or \"off\""), std::string::npos) << problem;
}

TEST(EncryptionSettings, WritesOnlyTheKeysItNeedsAndKeepsTheOthers) {
    Settings settings = Read("; mine\n[crate \"Docs\"]\nschedule = daily 02:30\ncolour = blue\n");
    SetCrateEncryption(settings, "Docs", {true, "/home/ann/my key"});
    EXPECT_EQ(settings.format(),
              "; mine\n[crate \"Docs\"]\nschedule = daily 02:30\ncolour = blue\n"
              "encrypt = aes256\nkey_file = /home/ann/my key\n");
    SetCrateEncryption(settings, "Docs", {false, ""});
    EXPECT_EQ(settings.format(),
              "; mine\n[crate \"Docs\"]\nschedule = daily 02:30\ncolour = blue\n");
}

}  // namespace
}  // namespace stowaway
