// The store and the engine on their own: these tests link only the engine layer
// and below, with no form model, no App and no user interface behind them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/BackupJob.h"
#include "engine/JobContext.h"
#include "platform/NativePlatform.h"
#include "platform/NativeText.h"
#include "store/DamagedCopy.h"
#include "store/DataFile.h"
#include "store/StoreContext.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

struct Folder {
    Folder() {
        std::string templ = fromPath(fs::temp_directory_path() / "stowaway-layers-XXXXXX");
        path = ::mkdtemp(templ.data());
    }
    ~Folder() { fs::remove_all(toPath(path)); }
    std::string path;
};

// Records what a store or a job tells the user and shows.
class Recorder : public JobServices, public JobDisplay {
  public:
    MsgResult messageBox(const std::string& text, const std::string&, MsgButtons,
                         MsgIcon) override {
        messages.push_back(text);
        return MsgResult::OK;
    }
    void processEvents() override {}
    void consoleStarted(const std::string&, const std::string&) override {}
    void consoleOutput(const std::string&) override {}
    void showStatus(const std::string& text) override { statuses.push_back(text); }
    double progress() const override { return bar; }
    void setProgress(double value) override { bar = value; }
    void setBusy(bool busy) override { busyChanges.push_back(busy); }
    void showCommand(const std::string&) override {}
    OutputMode outputMode() const override { return OutputMode::Captured; }

    std::vector<std::string> messages, statuses;
    std::vector<bool> busyChanges;
    double bar = 0;
};

// Nothing can be started: a job runs up to the archiver and reports that.
class NoProcesses : public NativePlatform {
  public:
    using NativePlatform::NativePlatform;
    long startProcess(const std::string&, WindowStyle) override { return 0; }
};

TEST(StoreLayer, LoadsAndReportsThroughItsContextAlone) {
    Folder dir;
    NativePlatform platform(dir.path);
    Recorder boxes;
    CrateStore store;
    const StoreContext ctx{platform,  boxes, store, dir.path, dir.path + "/Stowaway.dat",
                           "/usr/bin"};
    std::ofstream(toPath(ctx.DataFilePath))
        << "\"MAX=0\"\r\n\"LOGPATH=/l.txt\"\r\n\"LOGVIEW=v\"\r\n"
           "\"SNAME=Solo\"\r\n\"SFOLDMAX=0\"\r\n\"SFILEMAX=0\"\r\n";
    EXPECT_EQ(LoadCrateFile(ctx), LoadOutcome::Loaded);
    EXPECT_EQ(store.CrateTable[0].Name, "Solo");
    EXPECT_EQ(store.CrateTable[0].BackupLocation, dir.path + "/SWBackup.zip");
    EXPECT_TRUE(boxes.messages.empty());

    std::ofstream(toPath(ctx.DataFilePath)) << "hello\r\nworld\r\n";
    store.clearTable();
    EXPECT_EQ(LoadCrateFile(ctx), LoadOutcome::Damaged);
    EXPECT_EQ(boxes.messages,
              (std::vector<std::string>{LoadErrorText,
                                        DamagedCopyText(dir.path + "/Stowaway.dat.damaged")}));
}

TEST(EngineLayer, ABackupShowsItselfThroughTheJobDisplay) {
    Folder dir;
    NoProcesses platform(dir.path);
    Recorder ui;
    CrateStore store;
    JobState job;
    store.LogPath = dir.path + "/Log.txt";
    store.CrateTable[0].Name = "Solo";
    store.CrateTable[0].BackupLocation = dir.path + "/Solo.zip";
    store.CrateMax = store.CurrentIndex = 0;
    const JobContext ctx{platform, ui, ui, store, job, dir.path, true};
    EXPECT_FALSE(RunBackup(ctx));
    EXPECT_EQ(ui.statuses, (std::vector<std::string>{"Initalizing...", "Starting...", "Working...",
                                                     BackupErrorText}));
    EXPECT_EQ(ui.busyChanges, (std::vector<bool>{true, false}));
    EXPECT_FALSE(job.Running);
}

}  // namespace
}  // namespace stowaway
