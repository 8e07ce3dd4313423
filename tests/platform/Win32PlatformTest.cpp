// The Win32 platform layer, checked where it runs: built for Windows only and run
// under Wine by scripts/windows.sh (and on a real Windows machine as it is).
#include "platform/Win32Platform.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/Display.h"
#include "platform/InstanceLock.h"
#include "platform/NativeText.h"
#include "platform/Notifier.h"
#include "platform/Text.h"
#include "platform/Win32Folder.h"
#include "platform/Win32Text.h"
#include "platform/scheduler/CommandRunner.h"
#include "platform/secrets/KeyFile.h"
#include "platform/secrets/Keyring.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

// Polls a started program until it ends, as the jobs do.
std::uint32_t WaitForExit(Win32Platform& platform, long pid, std::string& output) {
    const long handle = platform.openProcess(pid);
    std::uint32_t code = Platform::StillActive;
    while (platform.getExitCodeProcess(handle, code) && code == Platform::StillActive) {
        output += platform.takeConsoleOutput(pid);
        platform.sleepMilliseconds(10);
    }
    // What it wrote before it ended is still in the pipe.
    for (std::string more; !(more = platform.takeConsoleOutput(pid)).empty();) output += more;
    platform.closeHandle(handle);
    return code;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

TEST(Win32Platform, TheProgramFolderHoldsTheRunningProgram) {
    Win32Platform platform;
    EXPECT_TRUE(platform.style().isWindows());
    EXPECT_TRUE(platform.fileExists(platform.programFolder() + "\\stowaway_tests.exe"))
        << platform.programFolder();
    EXPECT_NE(platform.programFolder().back(), '\\');
    EXPECT_TRUE(platform.folderExists(platform.windowsDir())) << platform.windowsDir();
}

TEST(Win32Platform, DrivesAreRootsWithTheSystemDriveFirst) {
    Win32Platform platform;
    const std::vector<std::string> drives = platform.drives();
    ASSERT_FALSE(drives.empty());
    EXPECT_TRUE(EqualsIgnoreCase(drives.front(), platform.style().rootOf(platform.windowsDir())))
        << drives.front();
    for (const std::string& drive : drives) {
        EXPECT_EQ(drive.size(), 3u) << drive;
        EXPECT_EQ(drive.substr(1), ":\\") << drive;
    }
}

TEST(Win32Platform, FileTimesAreSecondsSince1970RoundedDown) {
    const auto at = [](std::int64_t ticks) {
        FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        return FileTimeToUnix(time);
    };
    constexpr std::int64_t Epoch = 116444736000000000;  // 1970-01-01 in 100 ns since 1601
    EXPECT_EQ(at(Epoch), 0);
    EXPECT_EQ(at(Epoch + 17649084610000000), 1764908461);
    EXPECT_EQ(at(Epoch + 9999999), 0);
    EXPECT_EQ(at(Epoch - 1), -1);
    EXPECT_EQ(at(Epoch - 10000000), -1);
    EXPECT_EQ(at(Epoch - 10000001), -2);
}

TEST(Win32Platform, AFolderListsUtf8NamesKindsAndDates) {
    test::TempDir dir;
    Win32Platform platform(dir.path());
    const std::string folder = dir.path() +
                               "\\Br\xC3\xBC"
                               "cke";
    ASSERT_TRUE(::CreateDirectoryW(toWide(folder).c_str(), nullptr));
    const std::string file = folder + "\\\xC3\x84rger \xE2\x82\xAC.txt";
    ASSERT_EQ(platform.createNewFile(file, "twelve bytes"), CreateStatus::Created);
    ASSERT_TRUE(::CreateDirectoryW(toWide(folder + "\\Sub").c_str(), nullptr));
    const std::string hidden = folder + "\\secret.txt";
    ASSERT_EQ(platform.createNewFile(hidden, "x"), CreateStatus::Created);
    ASSERT_TRUE(::SetFileAttributesW(toWide(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN));
    // 2025-12-05 04:21:01 UTC
    const std::time_t when = 1764908461;
    {
        HANDLE handle = ::CreateFileW(toWide(file).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        const std::int64_t ticks = static_cast<std::int64_t>(when) * 10000000 + 116444736000000000;
        FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        EXPECT_TRUE(::SetFileTime(handle, nullptr, nullptr, &time));
        ::CloseHandle(handle);
    }

    std::vector<DirEntry> entries;
    ASSERT_TRUE(platform.listDirectory(folder, entries));
    std::sort(entries.begin(), entries.end(),
              [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "Sub");
    EXPECT_TRUE(entries[0].isFolder);
    EXPECT_EQ(entries[1].name, "secret.txt");
    EXPECT_TRUE(entries[1].hidden);
    EXPECT_FALSE(entries[1].isFolder);
    EXPECT_EQ(entries[2].name, "\xC3\x84rger \xE2\x82\xAC.txt");
    EXPECT_FALSE(entries[2].hidden);

    EXPECT_EQ(platform.fileModified(file), when);
    EXPECT_EQ(platform.fileSize(file), 12u);
    EXPECT_TRUE(platform.fileExists(file));
    EXPECT_FALSE(platform.folderExists(file));
    EXPECT_TRUE(platform.folderExists(folder + "\\Sub"));
    std::unique_ptr<OpenFolder> open = platform.openFolder(folder);
    ASSERT_TRUE(open);
    EXPECT_EQ(open->modified("\xC3\x84rger \xE2\x82\xAC.txt"), when);
    EXPECT_TRUE(open->holdsFolder("Sub"));
    EXPECT_FALSE(open->holdsFolder("secret.txt"));
    EXPECT_FALSE(platform.openFolder(file)) << "a file is no folder";
    EXPECT_FALSE(platform.openFolder(folder + "\\missing"));
}

TEST(Win32Platform, FilesAreCreatedReadReplacedAndLinked) {
    test::TempDir dir;
    Win32Platform platform(dir.path());
    const std::string file = dir.path() + "\\Stowaway.dat";
    EXPECT_EQ(platform.createNewFile(file, "first"), CreateStatus::Created);
    EXPECT_EQ(platform.createNewFile(file, "second"), CreateStatus::Exists);
    std::string contents;
    EXPECT_EQ(platform.readWholeFile(file, contents), ReadStatus::Read);
    EXPECT_EQ(contents, "first");
    EXPECT_EQ(platform.readWholeFile(dir.path() + "\\none", contents), ReadStatus::Missing);
    EXPECT_EQ(platform.readWholeFile(dir.path(), contents), ReadStatus::NotAFile);
    EXPECT_TRUE(platform.readFileRange(file, 1, 3, contents));
    EXPECT_EQ(contents, "irs");

    // A replace leaves no temporary file, and one an earlier run left is removed.
    ASSERT_EQ(platform.createNewFile(file + ".tmp-abc123", "left"), CreateStatus::Created);
    EXPECT_TRUE(platform.replaceFile(file, [](std::ostream& out) { return bool(out << "new"); }));
    EXPECT_EQ(platform.readWholeFile(file, contents), ReadStatus::Read);
    EXPECT_EQ(contents, "new");
    EXPECT_FALSE(platform.fileExists(file + ".tmp-abc123"));
    // A writer that fails changes nothing.
    EXPECT_FALSE(platform.replaceFile(file, [](std::ostream&) { return false; }));
    EXPECT_EQ(platform.readWholeFile(file, contents), ReadStatus::Read);
    EXPECT_EQ(contents, "new");
    // A read-only file is refused.
    ASSERT_TRUE(::SetFileAttributesW(toWide(file).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(platform.replaceFile(file, [](std::ostream& out) { return bool(out << "x"); }));
    ASSERT_TRUE(::SetFileAttributesW(toWide(file).c_str(), FILE_ATTRIBUTE_NORMAL));

    const std::string link = dir.path() + "\\Stowaway-2025.dat";
    EXPECT_EQ(platform.makeHardLink(file, link), LinkStatus::Linked);
    EXPECT_EQ(platform.makeHardLink(file, link), LinkStatus::Exists);
    const auto a = platform.fileInfo(file), b = platform.fileInfo(link);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->inode, b->inode);
    EXPECT_EQ(a->links, 2u);
    EXPECT_TRUE(a->regular);
    EXPECT_TRUE(platform.removeFile(link));
    EXPECT_FALSE(platform.fileInfo(link));
    EXPECT_FALSE(platform.fileExists(std::string("nul\0x", 5)));
}

// Wine does not hold paths to 260 characters, but Windows does without the prefix.
TEST(Win32Platform, PathsLongerThan260CharactersWork) {
    test::TempDir dir;
    Win32Platform platform(dir.path());
    std::string folder = dir.path();
    while (folder.size() < 300) {
        folder += "\\a folder with a long name, part " + std::to_string(folder.size());
        ASSERT_TRUE(::CreateDirectoryW(ApiPath(folder).c_str(), nullptr)) << folder.size();
    }
    const std::string file = folder + "\\Stowaway.dat";
    ASSERT_GT(file.size(), 300u);
    EXPECT_EQ(platform.createNewFile(file, "deep"), CreateStatus::Created);
    std::string contents;
    EXPECT_EQ(platform.readWholeFile(file, contents), ReadStatus::Read);
    EXPECT_EQ(contents, "deep");
    EXPECT_TRUE(
        platform.replaceFile(file, [](std::ostream& out) { return bool(out << "deeper"); }));
    std::vector<DirEntry> entries;
    EXPECT_TRUE(platform.listDirectory(folder, entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "Stowaway.dat");
    EXPECT_EQ(platform.fileSize(file), 6u);
    EXPECT_TRUE(platform.removeFile(file));
}

// The child program is built beside the tests (tests/child).
class Win32Processes : public ::testing::Test {
  protected:
    test::TempDir dir;
    Win32Platform platform{dir.path()};
    std::string child = Win32Platform::ExecutableFolder() + "\\stowaway_test_child.exe";
};

TEST_F(Win32Processes, ANormalWindowsProgramIsPolledItsConsoleCapturedAndFed) {
    const long pid =
        platform.startProcess(Quoted(child) + " 3 \"two words\"", WindowStyle::NormalFocus);
    ASSERT_NE(pid, 0);
    EXPECT_TRUE(platform.writeConsoleInput(pid, "typed line\r\n"));
    std::string output;
    EXPECT_EQ(WaitForExit(platform, pid, output), 3u);
    EXPECT_NE(output.find("argument: two words"), std::string::npos) << output;
    EXPECT_NE(output.find("got: typed line"), std::string::npos) << output;
}

TEST_F(Win32Processes, AHiddenProgramReadsNothingAndShowsNothing) {
    const long pid = platform.startProcess(Quoted(child) + " 5", WindowStyle::Hidden);
    ASSERT_NE(pid, 0);
    EXPECT_FALSE(platform.writeConsoleInput(pid, "ignored\n"));
    std::string output;
    EXPECT_EQ(WaitForExit(platform, pid, output), 5u);
    EXPECT_EQ(output, "");
}

TEST_F(Win32Processes, StoppingAProgramEndsIt) {
    const long pid = platform.startProcess(Quoted(child) + " wait", WindowStyle::NormalFocus);
    ASSERT_NE(pid, 0);
    const long handle = platform.openProcess(pid);
    std::uint32_t code = 0;
    ASSERT_TRUE(platform.getExitCodeProcess(handle, code));
    EXPECT_EQ(code, Platform::StillActive);
    EXPECT_TRUE(platform.stopProcess(pid));
    std::string output;
    EXPECT_NE(WaitForExit(platform, pid, output), Platform::StillActive);
    EXPECT_FALSE(platform.stopProcess(pid)) << "it has ended";
    platform.closeHandle(handle);
}

TEST_F(Win32Processes, TheInterpreterNamesStartTheProgramFoldersInterpreter) {
    Win32Platform inFolder{"C:\\Program Files\\Stowaway"};
    EXPECT_EQ(inFolder.resolveProgram("COMMAND.COM"),
              "C:\\Program Files\\Stowaway\\stowaway-cmd.exe");
    EXPECT_EQ(inFolder.resolveProgram("cmd"), "C:\\Program Files\\Stowaway\\stowaway-cmd.exe");
    EXPECT_EQ(inFolder.resolveProgram("C:\\Tools\\x.exe"), "C:\\Tools\\x.exe");
    EXPECT_EQ(inFolder.resolveProgram("notepad.exe"), "notepad.exe");
    EXPECT_EQ(platform.startProcess("\"C:\\no such folder\\none.exe\" x", WindowStyle::Hidden), 0);
}

TEST(Win32InstanceLock, OneHolderAtATimeAndFreeOnceItGoes) {
    test::TempDir dir;
    const std::string path = dir.path() + "\\window.lock";
    auto first = std::make_unique<InstanceLock>(path);
    EXPECT_EQ(first->state(), InstanceLock::State::Owned);
    InstanceLock second(path);
    EXPECT_EQ(second.state(), InstanceLock::State::HeldElsewhere);
    EXPECT_FALSE(second.tryAgain());
    first.reset();
    EXPECT_TRUE(second.tryAgain());
    EXPECT_EQ(second.state(), InstanceLock::State::Owned);
    InstanceLock nowhere(dir.path() + "\\no such folder\\window.lock");
    EXPECT_EQ(nowhere.state(), InstanceLock::State::Unavailable);
}

TEST(Win32Desktop, TheWindowNeedsNoDisplayVariable) {
    ::SetEnvironmentVariableW(L"DISPLAY", nullptr);
    ::SetEnvironmentVariableW(L"WAYLAND_DISPLAY", nullptr);
    ::SetEnvironmentVariableW(L"QT_QPA_PLATFORM", nullptr);
    _putenv("DISPLAY=");
    EXPECT_TRUE(DisplayAvailable());
}

// The Linux-only services say plainly that they are missing: nothing passes for done.
TEST(Win32Desktop, ServicesWindowsLacksSaySoAndDoNothing) {
    EXPECT_NE(MakeDesktopNotifier()->notify({"Stowaway", "Backup failed", true}), "");
    std::unique_ptr<Keyring> keyring = MakeDesktopKeyring();
    SecretText password;
    std::string problem;
    EXPECT_EQ(keyring->lookup("C:\\Backup", "Documents", password, problem),
              KeyringStatus::Unavailable);
    EXPECT_NE(problem.find("not available"), std::string::npos) << problem;
    ASSERT_TRUE(password.assign("secret"));
    EXPECT_FALSE(keyring->store("C:\\Backup", "Documents", password, problem));
    SystemCommandRunner runner;
    const CommandResult crontab = runner.run({"crontab", "-l"});
    EXPECT_FALSE(crontab.succeeded());
    EXPECT_NE(crontab.describe({"crontab", "-l"}).find("not available on this system"),
              std::string::npos)
        << crontab.describe({"crontab", "-l"});

    test::TempDir dir;
    std::ofstream(toPath(dir.path() + "\\key.txt")) << "secret\n";
    EXPECT_NE(ReadKeyFile(dir.path() + "\\key.txt", password), "");
    EXPECT_TRUE(password.empty());
}

}  // namespace
}  // namespace stowaway
