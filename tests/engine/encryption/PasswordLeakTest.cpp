// An encrypted Crate's automated run through the real interpreter, with a stand-in
// archiver that records what it was given: the password arrives on descriptor 3
// and nowhere else, not in a work file, the log, the data or settings files, nor
// the archiver's or the interpreter's command line and environment.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/NativePlatform.h"
#include "startup/App.h"
#include "startup/AutomatedBackup.h"
#include "support/FakeKeyring.h"
#include "support/PasswordProbe.h"
#include "support/ProgramFolder.h"
#include "support/RecordingNotifier.h"
#include "support/TestKeyring.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

constexpr const char* Canary = "Leak-Canary 8472";

class PasswordLeak : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string built = STOWAWAY_PROGRAM_DIR;
        if (!fs::exists(toPath(built + "/stowaway-cmd")))
            GTEST_SKIP() << "stowaway-cmd is not built yet";
        program = dir / "program";
        fs::create_directories(toPath(program));
        fs::copy_file(toPath(built + "/stowaway-cmd"), toPath(program + "/stowaway-cmd"));
        test::WritePasswordProbe(program + "/PKZIP25.EXE");
        test::WriteFile(dir / "data/a.txt", "alpha\n");
        test::WriteOneCrateDataFile(program, {.archive = dir / "out.zip",
                                              .restore = dir / "back",
                                              .level = 5,
                                              .folders = {"R+ " + (dir / "data") + "/*.*"}});
        platform = std::make_unique<PosixPlatform>(program);
    }

    int automated(std::unique_ptr<Keyring> keyring) {
        app = std::make_unique<App>(*platform, ui);
        app->notifier = std::make_unique<test::RecordingNotifier>();
        app->keyring = std::move(keyring);
        app->DataFilePath = program + "/Stowaway.dat";
        app->AbuCrateName = "docs";
        return RunAutomatedBackup(*app);
    }

    // Every file the run wrote or read, and what the probe saw of the processes.
    void expectNoLeak() {
        for (const char* name :
             {"SWTemp.bat", "SWTemp.lst", "SWTemp.dat", "SWHeader.dat", "Log.txt", "Stowaway.dat",
              "Stowaway.ini", "Stowaway.state", "probe-cmdline", "probe-environ",
              "probe-parent-cmdline", "probe-parent-environ"}) {
            const std::string path = program + "/" + name;
            ASSERT_TRUE(fs::exists(toPath(path))) << name;
            EXPECT_EQ(test::ReadFile(path).find("Leak-Canary"), std::string::npos) << name;
        }
        const std::string archiver = test::ReadFile(program + "/probe-cmdline");
        EXPECT_NE(archiver.find(std::string("-password-fd=3\0", 15)), std::string::npos);
        EXPECT_NE(test::ReadFile(program + "/probe-parent-cmdline").find("stowaway-cmd"),
                  std::string::npos);
    }

    test::TempDir dir;
    std::string program;
    std::unique_ptr<NativePlatform> platform;
    test::FakeUi ui;
    std::unique_ptr<App> app;
};

TEST_F(PasswordLeak, AKeyFilesPasswordReachesTheArchiverAloneOnItsDescriptor) {
    const std::string key = dir / "docs.key";
    test::WriteFile(key, std::string(Canary) + "\n");
    ::chmod(key.c_str(), 0600);
    test::WriteFile(program + "/Stowaway.ini",
                    "[crate \"Docs\"]\nencrypt = aes256\nkey_file = " + key + "\n");
    auto none = std::make_unique<test::FakeKeyring>();
    none->answer = KeyringStatus::Unavailable;
    ASSERT_EQ(automated(std::move(none)), 0) << test::ReadFile(program + "/Log.txt");
    const std::vector<test::ProbeRun> runs = test::ReadProbeReport(program);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].secret, Canary);
    EXPECT_EQ(runs[0].descriptors, (std::vector<int>{0, 1, 2, 3}));
    expectNoLeak();
}

TEST_F(PasswordLeak, TheDesktopKeyringsPasswordTakesTheSameWay) {
    test::TestKeyring& daemon = test::TestKeyring::Shared();
    if (!daemon.missing().empty()) GTEST_SKIP() << daemon.missing();
    test::WriteFile(program + "/Stowaway.ini", "[crate \"Docs\"]\nencrypt = aes256\n");
    SecretServiceKeyring keyring;
    SecretText canary;
    canary.assign(Canary);
    std::string problem;
    ASSERT_TRUE(keyring.store(program, "Docs", canary, problem)) << problem;
    ASSERT_EQ(automated(std::make_unique<SecretServiceKeyring>()), 0)
        << test::ReadFile(program + "/Log.txt");
    const std::vector<test::ProbeRun> runs = test::ReadProbeReport(program);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].secret, Canary);
    expectNoLeak();
}

}  // namespace
}  // namespace stowaway
