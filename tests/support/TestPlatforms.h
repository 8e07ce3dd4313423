#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/NativePlatform.h"
#include "platform/NativeText.h"
#include "startup/App.h"
#include "support/FakeUi.h"
#include "support/RecordingNotifier.h"

namespace stowaway::test {

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // Joined with the system's own separator, as the program writes its paths.
    std::string operator/(const std::string& name) const { return path_ + kSeparator + name; }

  private:
#ifdef _WIN32
    static constexpr const char* kSeparator = "\\";
#else
    static constexpr const char* kSeparator = "/";
#endif
    std::string path_;
};

// Windows paths on a POSIX disk: "C:\Backup\x" lives at ROOT/C/Backup/x. Lets the
// classic examples be checked text for text while the files are real.
class WindowsFlavourPlatform : public NativePlatform {
  public:
    WindowsFlavourPlatform(std::string root, std::string programFolder = "C:\\Backup");
    std::string windowsDir() const override { return "C:\\WINDOWS"; }
    std::string native(const std::string& path) const override;
    std::time_t now() const override { return fixedNow; }
    std::time_t fixedNow = 1764908461;  // 12/5/2025, early morning

  private:
    std::string root_;
};

std::string ReadFile(const std::string& nativePath);
// The classic example Crate "Documents" of a program in C:\Backup.
CrateRecord Documents();
// Runs a check as an ordinary user (in a child process when the tests run as root,
// whose writes no permission bit stops); LetEveryoneIn opens a folder up for it first.
void LetEveryoneIn(const std::string& folder);
bool RunAsOrdinaryUser(const std::function<bool()>& check);
void WriteFile(const std::string& nativePath, const std::string& bytes);

// A command line run by /bin/sh: its exit status (-1 when it did not exit) and
// what it wrote to standard output.
struct ShellRun {
    int status = -1;
    std::string output;
};
ShellRun RunShell(const std::string& command);

// A fresh program: a platform of the chosen flavour whose program folder is a
// temporary folder (POSIX) or C:\Backup mapped into one (Windows), a scripted UI,
// and the App with DataFilePath and WindowsDir set as start-up sets them.
struct TestProgram {
    explicit TestProgram(bool windowsFlavour = false, std::string programFolder = {});
    TempDir dir;
    std::unique_ptr<NativePlatform> platform;
    FakeUi ui;
    std::unique_ptr<App> app;
    RecordingNotifier* notifier = nullptr;  // the App's, installed for every test
    // The real path of a path written in the program's style.
    std::string native(const std::string& path) const { return platform->native(path); }
};

}  // namespace stowaway::test
