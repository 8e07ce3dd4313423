// The archiver's backup and listing, driven through batch files as the
// backup program writes them.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

std::string MakeHeader(const std::string& archive, int files) {
    std::string h = "\r\nStowaway Internal Crate Data\r\nVersion: 2.0\r\nCriticals:\r\n";
    h += "  Name: Documents\r\n  Backup Location: " + archive + "\r\n";
    h += "  Restore Location: /home/user/restore\r\n  Compression Level: 5\r\n";
    h += "Options:\r\n  Update Only: 0\r\n  Multi-Disk Mode: 0\r\nCrate Data:\r\n";
    h += "  Max Folders: 1\r\n    Folder: R+ /home/user/My Documents/*.*\r\n";
    h += "  Max Files: " + std::to_string(files) + "\r\n";
    for (int i = 0; i < files; ++i) {
        h += "    File: /home/user/some rather long folder name/document number " +
             std::to_string(i) + ".txt\r\n";
    }
    return h;
}

class ArchiverBackup : public ::testing::Test {
  protected:
    ScratchDir dir;
    std::string program = dir / "Program";
    std::string header = program + "/SWHeader.dat";
    std::string list = program + "/SWTemp.lst";
    std::string output = program + "/SWTemp.dat";
    std::string batch = program + "/SWTemp.bat";
    std::string archive = dir / "Backups/My Backup.zip";

    void SetUp() override {
        fs::create_directories(toPath(program));
        fs::create_directories(toPath(dir / "Backups"));
    }

    std::string AddFile(const std::string& rel, const std::string& content) {
        return AddDataFile(dir, rel, content);
    }

    void WriteList(const std::vector<std::string>& paths) { WriteListFile(list, paths); }

    // The backup line, quoted as the backup job composes it, with the output captured.
    std::string BackupLine(bool update, int level) {
        return Quoted(Archiver()) + " -default " + (update ? "-add=update " : "-add=all ") +
               "-header=@" + Quoted(header) + " " + "-temp=" + Quoted(program) +
               " -lev=" + std::to_string(level) + " -path=full -nofix " + Quoted(archive) + " @" +
               Quoted(list) + " > " + Quoted(output);
    }

    RunResult Backup(bool update, int level = 5) {
        WriteFile(output, "");
        RunResult r = RunBatch(batch, "@ECHO OFF", BackupLine(update, level));
        r.output = ReadFile(output);
        return r;
    }

    // Runs Python's zipfile on the archive: prints the comment check and every
    // name with its UTF-8 flag, and fails on any damaged entry.
    RunResult PythonCheck() {
        return Python(
            "import sys, zipfile\n"
            "z = zipfile.ZipFile(sys.argv[1])\n"
            "assert z.testzip() is None\n"
            "print('comment-equal' if z.comment == open(sys.argv[2], 'rb').read() else "
            "'comment-differs')\n"
            "for i in z.infolist(): print(i.filename, bool(i.flag_bits & 0x800))\n",
            {archive, header});
    }

    std::ptrdiff_t FilesInBackups() {
        return std::distance(fs::directory_iterator(toPath(dir / "Backups")),
                             fs::directory_iterator());
    }

    // Reads the listing back: the magic line after eight items, then every header
    // line after the magic line, without its leading blanks.
    void ExpectListingHolds(const std::string& text) {
        ItemReader items(ListingFile());
        for (int i = 0; i < 8; ++i) items.Next();
        ASSERT_EQ(items.Next(), "Stowaway Internal Crate Data");
        const std::vector<std::string> lines = Lines(text);
        for (size_t i = 2; i < lines.size(); ++i) {
            items.Next();
            ASSERT_EQ(items.Next(), lines[i].substr(lines[i].find_first_not_of(' ')))
                << "header line " << i + 1;
        }
    }

    std::string ListingFile() {
        const std::string listing = program + "/listing.dat";
        WriteFile(listing, "");
        // The import's line: archive path unquoted.
        RunBatch(batch, "@ECHO ON",
                 Quoted(Archiver()) + " -view=brief " + archive + " > " + listing);
        return ReadFile(listing);
    }
};

TEST_F(ArchiverBackup, StoresEveryListedFileWithTheHeaderAsComment) {
    STOWAWAY_NEEDS(PeerTools);
    const std::string a = AddFile("plain.txt", "plain text\n");
    const std::string b =
        AddFile("with blank & $dollar;semi|pipe`tick`*star.txt", std::string(200000, 'x') + "end");
    const std::string c = AddFile("Ünïcödé folder/naïve.txt", "utf-8 name");
    const std::string d = AddFile("empty.txt", "");
    WriteList({a, b, c, d});
    WriteFile(header, MakeHeader(archive, 2));

    const RunResult r = Backup(false);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "done."), 4) << r.output;
    EXPECT_TRUE(ProblemLines(r.output).empty()) << r.output;

    EXPECT_EQ(UnzipTest(archive), 0);
    const RunResult py = PythonCheck();
    ASSERT_EQ(py.status, 0) << py.output;
    EXPECT_NE(py.output.find("comment-equal"), std::string::npos) << py.output;
    EXPECT_NE(py.output.find(Stored(a) + " False"), std::string::npos) << py.output;
    EXPECT_NE(py.output.find(Stored(b) + " False"), std::string::npos) << py.output;
    EXPECT_NE(py.output.find(Stored(c) + " True"), std::string::npos) << py.output;
    EXPECT_NE(py.output.find(Stored(d) + " False"), std::string::npos) << py.output;

    // Content comes back byte for byte through a standard tool.
    const RunResult content = Python(
        "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\n"
        "sys.stdout.write(z.read(sys.argv[2]).decode())",
        {archive, Stored(b)});
    EXPECT_EQ(content.output, ReadFile(b));
    const RunResult seven = SevenZip(archive, {"t"});
    EXPECT_EQ(seven.status, 0) << seven.output;
}

TEST_F(ArchiverBackup, LowerCasedLineStillFindsProgramFilesAndFolders) {
    // The runner writes the whole batch line in lower case.
    const std::string a = AddFile("Mixed Case.TXT", "mixed");
    WriteList({a});
    WriteFile(header, MakeHeader(archive, 0));
    WriteFile(output, "");
    std::string line = BackupLine(false, 6);
    for (char& ch : line) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const RunResult r = RunBatch(batch, "@ECHO OFF", line);
    EXPECT_EQ(r.status, 0);
    const std::string out = ReadFile(output);
    EXPECT_EQ(CountLinesWith(out, "done."), 1) << out;
    // The archive lands in the existing folder, under the lower-cased name.
    std::string lowerArchive = dir / "Backups/my backup.zip";
    EXPECT_TRUE(fs::exists(toPath(lowerArchive)));
    archive = lowerArchive;
    if (Has(stowaway::test::Facility::PeerTools)) {
        EXPECT_NE(PythonCheck().output.find("comment-equal"), std::string::npos);
    }
}

TEST_F(ArchiverBackup, UnreadableFilesAreReportedAndTheRestStored) {
    const std::string a = AddFile("a.txt", "a");
    const std::string missing = dir / "data/gone done. pkzip: file.txt";
    const std::string folderless = dir / "data/no such folder/x.txt";
    const std::string b = AddFile("b.txt", "b");
    WriteList({a, missing, folderless, b});
    WriteFile(header, MakeHeader(archive, 0));

    const RunResult r = Backup(false);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(CountLinesWith(r.output, "done."), 2) << r.output;
    const auto problems = ProblemLines(r.output);
    ASSERT_EQ(problems.size(), 2u) << r.output;
    for (const std::string& p : problems) EXPECT_EQ(p.rfind("PKZIP: ", 0), 0u) << p;
    EXPECT_EQ(UnzipTest(archive), 0);
}

TEST_F(ArchiverBackup, UpdateAddsOnlyNewerFilesWhileAllReplacesEveryListedFile) {
    STOWAWAY_NEEDS(PeerTools);
    const time_t old = 1500000000;
    const std::string same = AddFile("same.txt", "version 1");
    const std::string newer = AddFile("newer.txt", "version 1");
    const std::string unlisted = AddFile("unlisted.txt", "kept");
    SetMtime(same, old);
    SetMtime(newer, old);
    WriteList({same, newer, unlisted});
    WriteFile(header, MakeHeader(archive, 0));
    ASSERT_EQ(Backup(false).status, 0);

    // Changed content, but "same" keeps its old time, "newer" gets a later one;
    // the third file is no longer listed.
    WriteFile(same, "version 2");
    WriteFile(newer, "version 2");
    SetMtime(same, old);
    SetMtime(newer, old + 3600);
    const std::string added = AddFile("added.txt", "new file");
    WriteList({same, newer, added});

    RunResult r = Backup(true);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "done."), 2) << r.output;
    const std::string readAll =
        "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\n"
        "for n in sorted(z.namelist()): print(n.split('/')[-1], z.read(n).decode())\n";
    EXPECT_EQ(Python(readAll, {archive}).output,
              "added.txt new file\nnewer.txt version 2\nsame.txt version 1\nunlisted.txt kept\n");

    r = Backup(false);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "done."), 3) << r.output;
    EXPECT_EQ(Python(readAll, {archive}).output,
              "added.txt new file\nnewer.txt version 2\nsame.txt version 2\nunlisted.txt kept\n");
    EXPECT_EQ(UnzipTest(archive), 0);
}

TEST_F(ArchiverBackup, ListingOfAnArchiveWithoutHeaderDoesNotShowTheMagicLine) {
    STOWAWAY_NEEDS(PeerTools);
    ASSERT_EQ(Python("import sys, zipfile\nzipfile.ZipFile(sys.argv[1], 'w').writestr('x', 'y')",
                     {archive})
                  .status,
              0);
    ItemReader items(ListingFile());
    for (int i = 0; i < 8; ++i) items.Next();
    EXPECT_NE(items.Next(), "Stowaway Internal Crate Data");
}

TEST_F(ArchiverBackup, HeaderBeyondCommentSizeIsKeptWholeAndNeverRestored) {
    const std::string a = AddFile("a.txt", "a");
    WriteList({a});
    const std::string text = MakeHeader(archive, 1500);  // about 100 KB
    ASSERT_GT(text.size(), 65535u);
    WriteFile(header, text);
    const RunResult r = Backup(false);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(UnzipTest(archive), 0);
    ExpectListingHolds(text);

    // An update keeps the header whole too, and a restore writes only user files.
    ASSERT_EQ(Backup(true).status, 0);
    const std::string target = dir / "restored";
    const RunResult restore =
        RunProgram({Archiver(), "-extract=all", "-dir=relative", archive, target});
    EXPECT_EQ(restore.status, 0) << restore.output;
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(toPath(target)))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1u);
    EXPECT_EQ(ReadFile(Beneath(target, a)), "a");
    EXPECT_NE(ListingFile().find(
                  "File: /home/user/some rather long folder name/document number 1499.txt"),
              std::string::npos);
}

TEST_F(ArchiverBackup, DamagedOldArchiveIsLeftAsItWas) {
    const std::string a = AddFile("a.txt", "a");
    WriteList({a});
    WriteFile(header, MakeHeader(archive, 0));
    const std::string garbage = "PK\x03\x04 this is not really an archive";
    WriteFile(archive, garbage);
    const RunResult r = Backup(true);
    EXPECT_NE(r.status, 0);
    ASSERT_EQ(ProblemLines(r.output).size(), 1u) << r.output;
    EXPECT_EQ(ReadFile(archive), garbage);
    EXPECT_EQ(FilesInBackups(), 1);
}

TEST_F(ArchiverBackup, KilledMidBackupLeavesTheOldArchiveByteIdentical) {
    const std::string a = AddFile("a.txt", "first");
    WriteList({a});
    WriteFile(header, MakeHeader(archive, 0));
    ASSERT_EQ(Backup(false).status, 0);
    const std::string before = ReadFile(archive);

    const std::string big = AddFile("big.bin", Noise(48 << 20, 99));
    WriteList({a, big});

#ifdef _WIN32
    // Ended from outside as Task Manager ends a program: no chance to clean up.
    const std::vector<int> endings = {0};
#else
    const std::vector<int> endings = {SIGKILL, SIGTERM};
#endif
    for (int sig : endings) {
        StartedProgram run({Archiver(), "-add=all", "-header=@" + header, "-lev=9", "-path=full",
                            archive, "@" + list},
                           dir / "kill.out");
        // Wait until the new archive is being written, then end it.
        bool writing = false;
        for (int i = 0; i < 2000 && !writing; ++i) {
            for (const auto& e : fs::directory_iterator(toPath(dir / "Backups"))) {
                if (fromPath(e.path().filename())
                            .find(".pkzip-" + std::to_string(run.Id()) + "@") !=
                        std::string::npos &&
                    fs::file_size(e.path()) > 0) {
                    writing = true;
                }
            }
            if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const int status = run.End(sig);
        EXPECT_TRUE(writing);
        if (sig != 0) {
            EXPECT_EQ(status, 128 + sig);
        }
        EXPECT_NE(status, 0);
        EXPECT_EQ(ReadFile(archive), before) << "signal " << sig;
        // An abrupt end leaves the work file beside the archive, SIGTERM removes it.
        EXPECT_EQ(FilesInBackups(), sig == kAbruptEnd ? 2 : 1) << "signal " << sig;
    }
    if (Has(stowaway::test::Facility::PeerTools)) {
        EXPECT_EQ(UnzipTest(archive), 0);
    }
    // The next run clears the work file that the killed run left.
    WriteList({a});
    ASSERT_EQ(Backup(false).status, 0);
    EXPECT_EQ(FilesInBackups(), 1);
    if (Has(stowaway::test::Facility::PeerTools)) {
        EXPECT_EQ(UnzipTest(archive), 0);
    }
}

}  // namespace
