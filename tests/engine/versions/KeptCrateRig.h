// A program folder with the real archiver and interpreter and one Crate, "Docs",
// that backs up `data` into out/Docs.zip and keeps its earlier archives: the
// ground the end-to-end tests of kept versions stand on.
#pragma once

#include <gtest/gtest.h>
#include <utime.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/NativePlatform.h"
#include "startup/App.h"
#include "startup/AutomatedBackup.h"
#include "support/FakeUi.h"
#include "support/ProgramFolder.h"
#include "support/TestPlatforms.h"

namespace stowaway::test {

class KeptCrateRig : public ::testing::Test {
  protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        program = dir / "Program Files";
        fs::create_directories(program);
        if (!CopyBuiltTools(program)) GTEST_SKIP() << "the archiver is not built yet";
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        data = dir / "data";
        archive = dir / "out/Docs.zip";
        fs::create_directories(toPath(dir / "out"));
        platform = std::make_unique<NativePlatform>(program);
        writeDataFile(0);
        WriteFile(program + "/Stowaway.ini", "[crate \"docs\"]\nkeep = 10\n");
    }
    void TearDown() override {
        ::unsetenv("TZ");
        ::tzset();
    }

    void writeDataFile(int updateOnly, int multiDisk = 0) {
        WriteOneCrateDataFile(program, {.archive = archive,
                                        .restore = dir / "back",
                                        .level = 9,
                                        .updateOnly = updateOnly,
                                        .multiDisk = multiDisk,
                                        .folders = {"R+ " + data + "/*.*"}});
    }
    App& fresh() {
        ui = std::make_unique<FakeUi>();
        app = std::make_unique<App>(*platform, *ui);
        app->DataFilePath = platform->style().join(program, "Stowaway.dat");
        return *app;
    }
    // An automated backup whose archive is then dated `writtenAt`, as a run of
    // that day left it.
    void backUp(std::time_t writtenAt) {
        App& a = fresh();
        a.AbuCrateName = "docs";
        ASSERT_EQ(RunAutomatedBackup(a), 0) << ReadFile(program + "/SWTemp.dat");
        struct utimbuf times {};
        times.actime = times.modtime = writtenAt;
        ::utime(archive.c_str(), &times);
    }

    TempDir dir;
    std::string program, data, archive;
    std::unique_ptr<NativePlatform> platform;
    std::unique_ptr<FakeUi> ui;
    std::unique_ptr<App> app;
};

}  // namespace stowaway::test
