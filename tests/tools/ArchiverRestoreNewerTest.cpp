// -extract=all never replaces a file that is newer than the archive's copy
// without asking: on a console it asks per file (yes / no / all / none), and
// with nobody there it keeps the file and says so on a "Kept newer:" line.
#include <gtest/gtest.h>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

class ArchiverRestoreNewer : public RestoreFixture {
  protected:
    const time_t archived = MadeAt();  // the entries' time

    void SetUp() override { fs::create_directories(target + "/d"); }

    // Entries d/NAME with the content "archived" and a DOS time only.
    void MakeArchive(const std::vector<std::string>& names) {
        std::string entries;
        for (const std::string& n : names) entries += "add('d/" + n + "', 'archived')\n";
        Make(entries);
    }

    void OnDisk(const std::string& name, time_t mtime) {
        WriteFile(target + "/d/" + name, "disk");
        SetMtime(target + "/d/" + name, mtime);
    }
    std::string Content(const std::string& name) { return ReadFile(target + "/d/" + name); }

    // Without `input` nobody is at the console (standard input is /dev/null).
    RunResult RestoreAs(const std::string& mode, std::optional<std::string> input = std::nullopt) {
        RunSetup setup;
        setup.input = std::move(input);
#ifndef _WIN32
        setup.socketInput = true;  // as the program's console window hands lines over
#endif
        return RunWith({Archiver(), mode, "-dir=relative", archive, target}, setup);
    }
};

TEST_F(ArchiverRestoreNewer, WithNobodyToAskNewerFilesAreKeptAndNamedOlderOnesReplaced) {
    STOWAWAY_NEEDS(PeerTools);
    MakeArchive({"newer.txt", "older.txt", "same.txt", "within-dos-step.txt", "missing.txt"});
    OnDisk("newer.txt", archived + 3600);
    OnDisk("older.txt", archived - 3600);
    OnDisk("same.txt", archived);
    // A DOS time steps by 2 seconds; other tools round either way.
    OnDisk("within-dos-step.txt", archived + 2);

    const RunResult r = RestoreAs("-extract=all");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(ProblemLines(r.output).empty()) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Replace "), 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Inflating:"), 4) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Kept newer:"), 1) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "  Kept newer: d/newer.txt"), 1) << r.output;
    EXPECT_EQ(Content("newer.txt"), "disk");
    EXPECT_EQ(Mtime(target + "/d/newer.txt"), archived + 3600);
    for (const char* replaced : {"older.txt", "same.txt", "within-dos-step.txt", "missing.txt"})
        EXPECT_EQ(Content(replaced), "archived") << replaced;
}

TEST_F(ArchiverRestoreNewer, OnTheConsoleEachNewerFileIsAskedAboutUntilAllOrNone) {
    STOWAWAY_NEEDS(PeerTools);
    MakeArchive({"n1", "n2", "n3", "n4", "older"});
    for (const char* n : {"n1", "n2", "n3", "n4"}) OnDisk(n, archived + 100);
    OnDisk("older", archived - 100);

    // An answer it does not know asks again; "all" answers the rest.
    RunResult r = RestoreAs("-extract=all", "maybe\ny\nno\nALL\n");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Replace d/n"), 4) << r.output;  // n1 twice, n2, n3
    EXPECT_EQ(Content("n1"), "archived");
    EXPECT_EQ(Content("n2"), "disk");
    EXPECT_EQ(Content("n3"), "archived");
    EXPECT_EQ(Content("n4"), "archived");
    EXPECT_EQ(Content("older"), "archived");
    EXPECT_EQ(CountLinesWith(r.output, "Kept newer: d/n2"), 1) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Inflating:"), 4) << r.output;

    // "none" keeps this and every later newer file; older ones are still replaced.
    for (const char* n : {"n1", "n2", "n3", "n4"}) OnDisk(n, archived + 100);
    OnDisk("older", archived - 100);
    r = RestoreAs("-extract=all", "none\n");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Replace "), 1) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Kept newer:"), 4) << r.output;
    for (const char* n : {"n1", "n2", "n3", "n4"}) EXPECT_EQ(Content(n), "disk") << n;
    EXPECT_EQ(Content("older"), "archived");

    // A console whose input ends answers nothing: the files are kept.
    r = RestoreAs("-extract=all", "");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Replace "), 1) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Kept newer:"), 4) << r.output;
    for (const char* n : {"n1", "n2", "n3", "n4"}) EXPECT_EQ(Content(n), "disk") << n;
}

TEST_F(ArchiverRestoreNewer, UpdateStillKeepsNewerAndSameFilesSilentlyWithoutAsking) {
    STOWAWAY_NEEDS(PeerTools);
    MakeArchive({"newer.txt", "same.txt", "older.txt", "missing.txt"});
    OnDisk("newer.txt", archived + 3600);
    OnDisk("same.txt", archived);
    OnDisk("older.txt", archived - 3600);
    const RunResult r = RestoreAs("-extract=update", "all\n");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(Lines(r.output),
              (std::vector<std::string>{"  Inflating: d/older.txt", "  Inflating: d/missing.txt"}));
    EXPECT_EQ(Content("newer.txt"), "disk");
    EXPECT_EQ(Content("same.txt"), "disk");
    EXPECT_EQ(Content("older.txt"), "archived");
    EXPECT_EQ(Content("missing.txt"), "archived");
}

TEST_F(ArchiverRestoreNewer, ItsOwnArchivesTimesBelowTheSecondDoNotMakeAnUntouchedFileNewer) {
    // The disk keeps nanoseconds, the archive 100 ns steps: the source file and a
    // restored copy are as old as the archive's copy, not newer.
    const std::string file = dir / "src/data.txt";
    WriteFile(file, "archived");
    SetMtime(file, 1600000000, 123456789);
    WriteFile(dir / "list.lst", file + "\n");
    RunResult r =
        RunProgram({Archiver(), "-add=all", "-path=full", archive, "@" + (dir / "list.lst")});
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string restored = Beneath(target, file);
    for (int run = 0; run < 2; ++run) {
        r = RestoreAs("-extract=all");
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(CountLinesWith(r.output, "Inflating:"), 1) << run << r.output;
    }
    // Changed a second later, it is newer.
    WriteFile(restored, "changed");
    SetMtime(restored, 1600000001);
    r = RestoreAs("-extract=all");
    EXPECT_EQ(CountLinesWith(r.output, "Kept newer:"), 1) << r.output;
    EXPECT_EQ(ReadFile(restored), "changed");
}

TEST_F(ArchiverRestoreNewer, ALargeNewerFileIsAskedAboutBeforeItIsDecompressed) {
    STOWAWAY_NEEDS(PeerTools);
    // Larger than the archiver decompresses in memory: written straight to a work file.
    const RunResult made = MakeZip(archive, "add('d/big.bin', bytes(65 << 20))");
    ASSERT_EQ(made.status, 0) << made.output;
    OnDisk("big.bin", archived + 100);
    RunResult r = RestoreAs("-extract=all");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Kept newer: d/big.bin"), 1) << r.output;
    EXPECT_EQ(Content("big.bin"), "disk");

    r = RestoreAs("-extract=all", "yes\n");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Replace d/big.bin"), 1) << r.output;
    EXPECT_EQ(fs::file_size(toPath(target + "/d/big.bin")), 65u << 20);
    EXPECT_EQ(Mtime(target + "/d/big.bin"), archived);
}

}  // namespace
