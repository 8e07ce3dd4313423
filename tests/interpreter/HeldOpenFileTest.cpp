// A file another program holds open without letting others write or delete it
// (Windows share modes): the backup reports it and stores the rest. POSIX has no
// share modes, so there the test has nothing to hold.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/NativePlatform.h"
#include "platform/NativeText.h"
#include "platform/os/Process.h"
#include "support/TestPlatforms.h"

namespace stowaway::os {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
std::string In(const std::string& folder, const std::string& name) {
    return folder + "\\" + name;
}
std::string ProgramFolder() {
    return In(In(NativePlatform::ExecutableFolder(), ".."), "program");
}
std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

int CountLinesWith(const std::string& text, const std::string& part) {
    int count = 0;
    std::size_t at = 0;
    while ((at = text.find(part, at)) != std::string::npos) {
        ++count;
        at += part.size();
    }
    return count;
}
#endif

TEST(HeldOpenFile, TheBackupReportsItClearlyAndStoresTheRest) {
#ifndef _WIN32
    GTEST_SKIP() << "POSIX has no share modes: a file open elsewhere can always be read";
#else
    const std::string archiver = In(ProgramFolder(), "PKZIP25.EXE");
    if (!fs::exists(toPath(archiver)))
        GTEST_SKIP() << "the archiver is not built for this system: " << archiver;
    test::TempDir dir;
    const std::string a = In(dir.path(), "a.txt"), held = In(dir.path(), "held file.txt"),
                      b = In(dir.path(), "b.txt");
    for (const std::string& file : {a, held, b}) test::WriteFile(file, "contents of " + file);
    const std::string list = In(dir.path(), "SWTemp.lst"), header = In(dir.path(), "SWTemp.hdr"),
                      output = In(dir.path(), "SWTemp.out"), batch = In(dir.path(), "SWTemp.bat"),
                      archive = In(dir.path(), "backup.zip");
    test::WriteFile(list, a + "\r\n" + held + "\r\n" + b + "\r\n");
    test::WriteFile(header,
                    "\r\nStowaway Internal Crate Data\r\nVersion: 2.0\r\nCriticals:\r\n"
                    "  Name: Held\r\n  Backup Location: " +
                        archive +
                        "\r\n  Restore Location: C:\\restore\r\n  Compression Level: 5\r\n"
                        "Options:\r\n  Update Only: 0\r\n  Multi-Disk Mode: 0\r\nCrate Data:\r\n"
                        "  Max Folders: 0\r\n  Max Files: 0\r\n");

    // The holder: opened for reading and writing, shared with no one (a file a
    // program keeps to itself; one shared for reading is read as any other).
    SpawnSpec holding;
    holding.arguments = {In(NativePlatform::ExecutableFolder(), "stowaway_test_child.exe"), "hold",
                         held};
    holding.input = Stream::Pipe();
    holding.output = Stream::Pipe();
    Process holder = Process::Start(holding);
    ASSERT_TRUE(holder.started());
    std::string said;
    while (said.find("holding") == std::string::npos && !holder.outputEnded()) {
        said += holder.readOutput();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_NE(said.find("holding"), std::string::npos) << said;

    // As the program runs a backup: a batch line through the interpreter.
    test::WriteFile(batch, "@ECHO OFF\r\n" + Quoted(archiver) + " -default -add=all -header=@" +
                               Quoted(header) + " -temp=" + Quoted(dir.path()) +
                               " -lev=5 -path=full -nofix " + Quoted(archive) + " @" +
                               Quoted(list) + " > " + Quoted(output) + "\r\n");
    SpawnSpec run;
    run.arguments = {In(ProgramFolder(), "stowaway-cmd.exe"), "/c", batch};
    run.input = Stream::Null();
    run.output = Stream::Pipe();
    run.error = Stream::SameAsOutput();
    Process backup = Process::Start(run);
    ASSERT_TRUE(backup.started());
    const Process::Finished finished = backup.communicate({});
    holder.terminate();
    holder.wait();

    // Not a silent skip: a failing status and a line naming the file. Not a
    // crash: an exit status, not an exception code.
    const std::string out = test::ReadFile(output);
    EXPECT_GT(finished.ending.status, 0) << out;
    EXPECT_LT(finished.ending.status, 128) << out;
    EXPECT_EQ(CountLinesWith(out, "done."), 2) << out;
    bool named = false;
    for (std::size_t at = 0; (at = out.find("PKZIP: ", at)) != std::string::npos; ++at)
        named = named ||
                out.substr(at, out.find('\n', at) - at).find("held file.txt") != std::string::npos;
    EXPECT_TRUE(named) << out;
    EXPECT_TRUE(fs::exists(toPath(archive))) << out;
#endif
}

}  // namespace
}  // namespace stowaway::os
