#pragma once

// A program whose processes are scripted: the "archiver" is a callback that writes
// its output between polls, so runs can be checked without starting anything.

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/NativeText.h"
#include "startup/App.h"
#include "support/RecordingNotifier.h"
#include "support/TestPlatforms.h"
#include "ui/editor/CrateEditing.h"

namespace stowaway::test {

struct ProcessScript {
    static constexpr long Pid = 4242;
    // Polls answered "still active" before the process ends.
    int pollsUntilExit = 0;
    // Called at every poll with the poll's number (0 first).
    std::function<void(int poll)> onPoll;
    // Called when the process starts (the archiver's work when it needs no polls).
    std::function<void(const std::string& commandLine)> onStart;
    bool failStart = false;
    std::uint32_t exitStatus = 0;  // the status the process ends with
    std::string console;           // what the console shows next

    std::vector<std::string> started;
    std::vector<WindowStyle> styles;
    // The descriptor and secret of each start that passed one.
    std::vector<std::pair<int, std::string>> secrets;
    mutable int sleeps = 0;
    int polls = 0;
    int handlesOpen = 0;
};

template <class Base>
class Scripted : public Base {
  public:
    using Base::Base;
    ProcessScript script;

    long startProcess(const std::string& commandLine, WindowStyle style) override {
        if (script.failStart) return 0;
        script.started.push_back(commandLine);
        script.styles.push_back(style);
        script.polls = 0;
        if (script.onStart) script.onStart(commandLine);
        return ProcessScript::Pid;
    }
    long startProcessWithSecret(const std::string& commandLine, WindowStyle style, int descriptor,
                                std::string_view secret) override {
        if (script.failStart) return 0;
        script.secrets.push_back({descriptor, std::string(secret)});
        return startProcess(commandLine, style);
    }
    long openProcess(long pid) override {
        if (pid != ProcessScript::Pid) return 0;
        ++script.handlesOpen;
        return pid;
    }
    bool getExitCodeProcess(long, std::uint32_t& code) override {
        int poll = script.polls++;
        if (script.onPoll) script.onPoll(poll);
        code = poll < script.pollsUntilExit ? Platform::StillActive : script.exitStatus;
        return true;
    }
    void closeHandle(long) override { --script.handlesOpen; }
    std::string takeConsoleOutput(long) override { return std::exchange(script.console, ""); }
    void sleepMilliseconds(int) const override { ++script.sleeps; }
};

// Records every status text the job shows while it yields to the window.
class RecordingUi : public FakeUi {
  public:
    std::function<void()> onEvents;
    void processEvents() override {
        FakeUi::processEvents();
        if (onEvents) onEvents();
    }
};

struct Rig {
    explicit Rig(bool windowsFlavour = true, const std::string& programFolder = "C:\\Backup") {
        if (windowsFlavour) {
            auto p = std::make_unique<Scripted<WindowsFlavourPlatform>>(dir.path(), programFolder);
            std::filesystem::create_directories(toPath(p->native(p->programFolder())));
            script = &p->script;
            platform = std::move(p);
        } else {
            auto p = std::make_unique<Scripted<NativePlatform>>(dir.path());
            script = &p->script;
            platform = std::move(p);
        }
        app = std::make_unique<App>(*platform, ui);
        auto recorder = std::make_unique<RecordingNotifier>();
        notifier = recorder.get();
        app->notifier = std::move(recorder);
        app->WindowsDir = platform->windowsDir();
        app->DataFilePath = platform->style().join(app->ProgramFolder, "Stowaway.dat");
        app->store.LogPath = platform->style().join(app->ProgramFolder, "Log.txt");
        ui.onEvents = [this] { noteStatus(); };
    }

    std::string native(const std::string& path) const { return platform->native(path); }
    std::string read(const std::string& path) const { return ReadFile(native(path)); }
    void write(const std::string& path, const std::string& bytes) const {
        WriteFile(native(path), bytes);
    }
    std::string programFile(const std::string& name) const { return app->programFile(name); }

    // Appends a line to the captured output, as the archiver does.
    void emit(const std::string& line) const {
        std::string now = read(programFile("SWTemp.dat"));
        write(programFile("SWTemp.dat"), now + line + "\r\n");
    }

    // Appends a Crate to the table and the Crate list and selects it.
    CrateRecord& crate(const std::string& name) {
        MainForm& f = app->FrmMain;
        short slot = static_cast<short>(f.LstCrate.count());
        f.LstCrate.addItem(name);
        CrateRecord& r = app->store.CrateTable[static_cast<std::size_t>(slot)];
        r = CrateRecord{};
        r.Name = name;
        r.BackupLocation = app->programFile("SWBackup.zip");
        r.RestoreLocation = app->ProgramFolder;
        app->store.CrateMax = slot;
        app->store.CurrentIndex = slot;
        return r;
    }
    // Shows the selected Crate and the options in the window, as selecting it does.
    void show() {
        app->FrmMain.TxtLogPath.setText(app->store.LogPath);
        app->FrmMain.TxtLogViewer.setText(app->store.LogViewer);
        ShowCurrentCrate(*app);
    }

    void noteStatus() {
        const std::string& text =
            app->AbuMode ? app->FrmABU.StBMain.panelText() : app->FrmMain.StBMain.panelText();
        if (statuses.empty() || statuses.back() != text) statuses.push_back(text);
    }

    TempDir dir;
    std::unique_ptr<NativePlatform> platform;
    ProcessScript* script = nullptr;
    RecordingUi ui;
    std::unique_ptr<App> app;
    RecordingNotifier* notifier = nullptr;
    std::vector<std::string> statuses;
};

// The lines of a CR LF text.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

}  // namespace stowaway::test
