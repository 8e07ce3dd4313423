// stowaway --encrypt NAME --key-file PATH | --keyring | off
#include "startup/EncryptOption.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "startup/LongOptions.h"
#include "support/FakeKeyring.h"
#include "support/SystemSupport.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

using test::ReadFile;
using test::WriteFile;

struct EncryptRig {
    EncryptRig() : p(false) {
        WriteFile(p.dir / "Stowaway.dat",
                  "\"MAX=0\"\r\n\"SNAME=My Docs\"\r\n\"SBLOC=" + (p.dir / "out.zip") +
                      "\"\r\n\"SRLOC=/tmp\"\r\n\"SCOMP=5\"\r\n\"SUPDATE=0\"\r\n\"SMULTI=0\"\r\n"
                      "\"SFOLDMAX=0\"\r\n\"SFILEMAX=0\"\r\n");
        WriteFile(p.dir / "Stowaway.ini", "[crate \"My Docs\"]\nschedule = daily 02:30\n");
        auto fake = std::make_unique<test::FakeKeyring>();
        keyring = fake.get();
        p.app->keyring = std::move(fake);
    }
    int run(const std::vector<std::string>& arguments, const std::string& typed = {}) {
        out.str("");
        err.str("");
        return RunEncryptOption(*p.app, arguments, out, err, [&](SecretText& password) {
            return typed.empty() ? std::string(
                                       "Standard input holds no password on its first "
                                       "line.")
                                 : (password.assign(typed), std::string());
        });
    }
    std::string settings() const { return ReadFile(p.dir / "Stowaway.ini"); }
    std::string keyFile(mode_t mode) {
        const std::string path = p.dir / "docs.key";
        WriteFile(path, "file pw\n");
        ::chmod(path.c_str(), mode);
        return path;
    }
    test::TestProgram p;
    test::FakeKeyring* keyring = nullptr;
    std::ostringstream out, err;
};

TEST(EncryptOption, AKeyFileOfTheUsersOwnTurnsEncryptionOnAndOff) {
    STOWAWAY_NEEDS(KeyFiles);
    EncryptRig r;
    EXPECT_TRUE(IsLongOption({"--encrypt", "x", "off"}));
    const std::string key = r.keyFile(0600);
    EXPECT_EQ(r.run({"--encrypt", "MY DOCS", "--key-file", key}), EncryptDone) << r.err.str();
    EXPECT_EQ(r.settings(),
              "[crate \"My Docs\"]\nschedule = daily 02:30\nencrypt = aes256\n"
              "key_file = " +
                  key + "\n");
    EXPECT_EQ(r.out.str(),
              "My Docs: encrypted with AES-256; each backup takes the password from the key file " +
                  key +
                  ".\nNote: the names of the files and the Crate's description stay readable in "
                  "the archive; the files' contents are encrypted.\n");
    EXPECT_EQ(r.settings().find("file pw"), std::string::npos);
    EXPECT_EQ(r.run({"--encrypt", "My Docs", "OFF"}), EncryptDone);
    EXPECT_EQ(r.settings(),
              "[crate \"My Docs\"]\nschedule = daily 02:30\nkey_file = " + key + "\n");
    EXPECT_EQ(r.out.str(),
              "My Docs: not encrypted; its next backup writes the archive in the clear.\n");
}

TEST(EncryptOption, RefusesAKeyFileOthersMayReadAndChangesNothing) {
    STOWAWAY_NEEDS(KeyFiles);
    EncryptRig r;
    const std::string before = r.settings();
    const std::string key = r.keyFile(0644);
    EXPECT_EQ(r.run({"--encrypt", "My Docs", "--key-file", key}), EncryptFailed);
    EXPECT_EQ(r.err.str(), "stowaway: The key file " + key +
                               " may be read or changed by others (mode 0644); make it yours "
                               "alone: chmod 600 " +
                               key + " Nothing was changed.\n");
    EXPECT_EQ(r.settings(), before);
}

TEST(EncryptOption, KeyringTakesThePasswordFromInputAndStoresItThere) {
    EncryptRig r;
    EXPECT_EQ(r.run({"--encrypt", "my docs", "--keyring"}, "typed pw"), EncryptDone) << r.err.str();
    EXPECT_EQ((r.keyring->items[{r.p.app->ProgramFolder, "my docs"}]), "typed pw");
    EXPECT_EQ(r.settings(), "[crate \"My Docs\"]\nschedule = daily 02:30\nencrypt = aes256\n");
    EXPECT_EQ(r.settings().find("typed"), std::string::npos);
    // No password typed, or a keyring that refuses: nothing changes.
    r.keyring->items.clear();
    WriteFile(r.p.dir / "Stowaway.ini", "");
    EXPECT_EQ(r.run({"--encrypt", "My Docs", "--keyring"}), EncryptFailed);
    EXPECT_EQ(
        r.err.str(),
        "stowaway: Standard input holds no password on its first line. Nothing was changed.\n");
    r.keyring->refuse = true;
    EXPECT_EQ(r.run({"--encrypt", "My Docs", "--keyring"}, "pw"), EncryptFailed);
    EXPECT_EQ(r.err.str(),
              "stowaway: the password of My Docs was not stored: the test keyring "
              "refuses. Nothing was changed.\n");
    EXPECT_EQ(r.settings(), "");
}

TEST(EncryptOption, UnknownCratesAndUsageHaveTheirOwnStatus) {
    EncryptRig r;
    EXPECT_EQ(r.run({"--encrypt", "Nobody", "off"}), EncryptFailed);
    EXPECT_NE(r.err.str().find("there is no Crate named \"Nobody\""), std::string::npos);
    for (const std::vector<std::string>& wrong :
         std::vector<std::vector<std::string>>{{"--encrypt"},
                                               {"--encrypt", "My Docs"},
                                               {"--encrypt", "My Docs", "on"},
                                               {"--encrypt", "My Docs", "--key-file"},
                                               {"--encrypt", "My Docs", "--keyring", "x"}})
        EXPECT_EQ(r.run(wrong), EncryptUsage) << wrong.size();
    EXPECT_NE(r.err.str().find("--encrypt NAME --key-file PATH"), std::string::npos);
}

}  // namespace
}  // namespace stowaway
