// A program folder with the real archiver and interpreter and one encrypted Crate,
// "Docs", that backs up `data` (a letter, an empty file and a larger one below
// `sub`) into out/Docs.zip with the password in its key file: the ground the
// end-to-end tests of encryption stand on. No keyring answers.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/NativePlatform.h"
#include "platform/NativeText.h"
#include "startup/App.h"
#include "startup/AutomatedBackup.h"
#include "support/FakeKeyring.h"
#include "support/FakeUi.h"
#include "support/ProgramFolder.h"
#include "support/RecordingNotifier.h"
#include "support/SystemSupport.h"
#include "support/TestPlatforms.h"

namespace stowaway::test {

// Blanks, quotes and shell characters: it goes through no shell on its way.
constexpr const char* CratePassword = "E2E pass: \"quoted\" $HOME;&";

class EncryptedCrateRig : public ::testing::Test {
  protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        STOWAWAY_NEEDS(KeyFiles);
        program = dir / "program";
        fs::create_directories(program);
        if (!CopyBuiltTools(program)) GTEST_SKIP() << "the archiver is not built yet";
        data = dir / "data";
        letter = data + "/letter.txt";
        WriteFile(letter, "Dear Ann,\nall well.\n");
        WriteFile(data + "/empty.txt", "");
        for (int i = 0; i < 100000; ++i) big += std::to_string(i * 7919) + (i % 13 ? " " : "\n");
        WriteFile(data + "/sub/big.txt", big);
        archive = dir / "out/Docs.zip";
        fs::create_directories(dir / "out");
        WriteOneCrateDataFile(
            program,
            {.archive = archive, .restore = dir / "back", .folders = {"R+ " + data + "/*.*"}});
        const std::string key = dir / "docs.key";
        WriteFile(key, std::string(CratePassword) + "\n");
        fs::permissions(toPath(key), fs::perms::owner_read | fs::perms::owner_write);
        WriteFile(program + "/Stowaway.ini",
                  "[crate \"Docs\"]\nencrypt = aes256\nkey_file = " + key + "\n");
        platform = std::make_unique<NativePlatform>(program);
    }

    // A fresh program run, as a new process would make it.
    App& fresh() {
        ui = std::make_unique<FakeUi>();
        app = std::make_unique<App>(*platform, *ui);
        app->notifier = std::make_unique<RecordingNotifier>();
        auto none = std::make_unique<FakeKeyring>();
        none->answer = KeyringStatus::Unavailable;
        app->keyring = std::move(none);
        app->DataFilePath = program + "/Stowaway.dat";
        app->ProgramFolder = program;
        return *app;
    }
    int backup() {
        App& a = fresh();
        a.AbuCrateName = "Docs";
        return RunAutomatedBackup(a);
    }

    TempDir dir;
    std::string program, data, letter, big, archive;
    std::unique_ptr<NativePlatform> platform;
    std::unique_ptr<FakeUi> ui;
    std::unique_ptr<App> app;
};

}  // namespace stowaway::test
