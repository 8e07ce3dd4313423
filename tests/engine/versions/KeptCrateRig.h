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
#include "support/TestPlatforms.h"

namespace stowaway::test {

class KeptCrateRig : public ::testing::Test {
  protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        const std::string built = STOWAWAY_PROGRAM_DIR;
        for (const char* tool : {"PKZIP25.EXE", "stowaway-cmd"})
            if (!fs::exists(toPath(built + "/" + tool)))
                GTEST_SKIP() << tool << " is not built yet";
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        program = dir / "Program Files";
        fs::create_directories(toPath(program));
        for (const char* tool : {"PKZIP25.EXE", "stowaway-cmd"})
            fs::copy_file(toPath(built + "/" + tool), toPath(program + "/" + tool));
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
        WriteFile(program + "/Stowaway.dat",
                  "\"MAX=0\"\r\n\"LOGPATH=" + program +
                      "/Log.txt\"\r\n\"LOGVIEW=x\"\r\n"
                      "\"SNAME=Docs\"\r\n\"SBLOC=" +
                      archive + "\"\r\n\"SRLOC=" + (dir / "back") +
                      "\"\r\n\"SCOMP=9\"\r\n\"SUPDATE=" + std::to_string(updateOnly) +
                      "\"\r\n\"SMULTI=" + std::to_string(multiDisk) +
                      "\"\r\n\"SFOLDMAX=1\"\r\n\"SFILEMAX=0\"\r\n"
                      "\"SFOLD=R+ " +
                      data + "/*.*\"\r\n");
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
