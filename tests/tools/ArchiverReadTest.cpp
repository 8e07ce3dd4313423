// The archiver's restore and listing: through the batch line, on archives made
// by other tools or damaged on purpose (split sets, bytes before the archive,
// foreign hosts and times), what it refuses to write, and every kind of damage
// that must not pass as a sound restore.
#include <gtest/gtest.h>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

// Runs argv with `input` on its standard input, as the console window forwards
// what the user types.
RunResult RunWithInput(const std::vector<std::string>& argv, const std::string& input) {
    RunSetup setup;
    setup.input = input;
    return RunWith(argv, setup);
}

using ArchiverRead = RestoreFixture;

// ---- Through the batch line ----

TEST_F(ArchiverRead, RecreatesFilesFoldersTimesAndPermissionsThroughTheBatch) {
    Make(
        "add('home/u/doc.txt', 'document')\n"
        "add('home/u/script.sh', '#!/bin/sh\\n', mode=0o100750)\n"
        "add('home/u/empty folder/', '', mode=0o40700)\n"
        "add('home/u/deep/er/file.txt', 'x' * 100000, mode=0o100600)\n");
    // The restore line carries no quotes; the output is captured with "> ".
    const std::string batch = dir / "SWTemp.bat";
    const std::string output = dir / "SWTemp.dat";
    const std::string plainTarget = "/tmp/stowaway-restore-" + std::to_string(::getpid());
    fs::remove_all(plainTarget);
    const RunResult r = RunBatch(batch, "@ECHO OFF",
                                 Archiver() + " -extract=all -dir=relative " + Quoted(archive) +
                                     " " + plainTarget + "> " + Quoted(output));
    const std::string out = ReadFile(output);
    EXPECT_EQ(r.status, 0) << out;
    EXPECT_EQ(CountLinesWith(out, "Inflating:"), 3) << out;
    EXPECT_TRUE(ProblemLines(out).empty()) << out;

    EXPECT_EQ(ReadFile(plainTarget + "/home/u/doc.txt"), "document");
    EXPECT_EQ(ReadFile(plainTarget + "/home/u/deep/er/file.txt"), std::string(100000, 'x'));
    EXPECT_EQ(fs::status(plainTarget + "/home/u/script.sh").permissions(), fs::perms(0750));
    EXPECT_EQ(fs::status(plainTarget + "/home/u/deep/er/file.txt").permissions(), fs::perms(0600));
    EXPECT_TRUE(fs::is_directory(plainTarget + "/home/u/empty folder"));
    EXPECT_EQ(fs::status(plainTarget + "/home/u/empty folder").permissions(), fs::perms(0700));
    EXPECT_EQ(Mtime(plainTarget + "/home/u/doc.txt"), MadeAt());
    fs::remove_all(plainTarget);
}

TEST_F(ArchiverRead, ArchivePathWithBlanksArrivesUnquotedAndIsStillFound) {
    // The restore line passes the archive and target unquoted, so both may arrive
    // split at their blanks.
    archive = dir / "My Backups/the backup.zip";
    fs::create_directories(dir / "My Backups");
    Make("add('a.txt', 'a')\n");
    const std::string batch = dir / "SWTemp.bat";
    const RunResult r = RunBatch(
        batch, "@ECHO ON",
        Archiver() + " -extract=all -dir=relative " + archive + " " + target + "/new folder");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFile(target + "/new folder/a.txt"), "a");
}

// ---- Archives other tools read and so must we ----

TEST_F(ArchiverRead, BytesBeforeTheArchiveAreSkippedAsUnzipDoes) {
    Make("add('a/one.txt', 'one ' * 1000)\nadd('two.txt', 'two')\n");
    for (const std::string& prefix :
         {std::string("#!/bin/sh\nexit 0\n"), std::string(70000, '\x90'), std::string("PK")}) {
        const std::string prefixed = dir / "prefixed.zip";
        WriteFile(prefixed, prefix + ReadFile(archive));
        fs::remove_all(toPath(target));
        const RunResult r = Restore(prefixed);
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(ReadFile(target + "/a/one.txt"), [] {
            std::string s;
            for (int i = 0; i < 1000; ++i) s += "one ";
            return s;
        }());
        EXPECT_EQ(ReadFile(target + "/two.txt"), "two");
        EXPECT_EQ(List(prefixed).status, 0);
    }
}

TEST_F(ArchiverRead, SplitSetIsListedAndRestoredAndAMissingVolumeIsNamedOrAskedFor) {
    const std::string src = dir / "src";
    const std::string random = Noise(300000, 88);
    WriteFile(src + "/random.bin", random);
    WriteFile(src + "/text.txt", std::string(200000, 't'));
    WriteFile(src + "/sub/small.txt", "small");
    RunResult r =
        RunProgram({"/bin/sh", "-c", "cd \"$1\" && zip -q -r -s 64k \"$2\" random.bin text.txt sub",
                    "sh", src, archive});
    ASSERT_EQ(r.status, 0) << r.output;
    ASSERT_TRUE(fs::exists(toPath(dir / "backup.z02")));

    r = List();
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("random.bin"), std::string::npos);
    r = Restore();
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Inflating:"), 3);
    EXPECT_TRUE(ReadFile(target + "/random.bin") == random);
    EXPECT_EQ(ReadFile(target + "/sub/small.txt"), "small");

    // A missing volume: named, with no one to ask.
    const std::string moved = dir / "elsewhere";
    fs::create_directories(toPath(moved));
    fs::rename(toPath(dir / "backup.z02"), toPath(moved + "/backup.z02"));
    fs::remove_all(toPath(target));
    r = RunWithInput({Archiver(), "-extract=all", "-dir=relative", archive, target}, "");
    EXPECT_EQ(r.status, 2) << r.output;
    ASSERT_EQ(ProblemLines(r.output).size(), 1u) << r.output;
    EXPECT_NE(ProblemLines(r.output)[0].find("cannot find volume " + dir / "backup.z02"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(CountFiles(target), 0u);

    // "q" stops; an empty line looks again; a folder is looked in.
    r = RunWithInput({Archiver(), "-view=brief", archive}, "q\n");
    EXPECT_EQ(r.status, 2) << r.output;
    r = RunWithInput({Archiver(), "-extract=all", "-dir=relative", archive, target},
                     "\n" + moved + "\n");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Cannot find the volume"), 2) << r.output;
    EXPECT_TRUE(ReadFile(target + "/random.bin") == random);
}

TEST_F(ArchiverRead, AStreamStoredAsAFifoWithDataRestoresAsAFile) {
    const RunResult made =
        RunProgram({"/bin/sh", "-c", "printf 'data\\n' | zip -q - - > \"$1\"", "sh", archive});
    ASSERT_EQ(made.status, 0) << made.output;
    Make(
        "add('pipe-with-data', 'payload', mode=0o010644)\n"
        "add('empty-fifo', '', mode=0o010644)\n",
        dir / "fifo.zip");
    RunResult r = Restore();
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFile(target + "/-"), "data\n");
    r = Restore(dir / "fifo.zip");
    EXPECT_EQ(ReadFile(target + "/pipe-with-data"), "payload");
    EXPECT_TRUE(fs::is_regular_file(toPath(target + "/pipe-with-data")));
    EXPECT_FALSE(fs::exists(toPath(target + "/empty-fifo")));  // a fifo as such is still not made
    EXPECT_EQ(ProblemLines(r.output).size(), 1u) << r.output;
}

TEST_F(ArchiverRead, BackslashesFromDosAndWindowsHostsSeparateFolders) {
    Make(
        "add('dir\\\\sub\\\\file.txt', 'fat', system=0, attr=0x20)\n"
        "add('ntfs\\\\file.txt', 'ntfs', system=11, attr=0x20)\n"
        "add('vfat\\\\file.txt', 'vfat', system=14, attr=0x20)\n"
        "add('unix\\\\name.txt', 'unix')\n"
        "add('..\\\\escape.txt', 'evil', system=0, attr=0x20)\n");
    const RunResult r = Restore();
    EXPECT_EQ(ReadFile(target + "/dir/sub/file.txt"), "fat");
    EXPECT_EQ(ReadFile(target + "/ntfs/file.txt"), "ntfs");
    EXPECT_EQ(ReadFile(target + "/vfat/file.txt"), "vfat");
    EXPECT_EQ(ReadFile(target + "/unix\\name.txt"), "unix");   // a legal name made on Unix
    EXPECT_EQ(ProblemLines(r.output).size(), 1u) << r.output;  // the escape is refused
    EXPECT_FALSE(fs::exists(toPath(dir / "escape.txt")));
}

// ---- Times ----

TEST_F(ArchiverRead, TimesComeFromNtfsThenExtendedThenInfoZipUnixThenDos) {
    struct Case {
        const char* name;
        const char* extra;  // Python expression
        const char* date;
        int64_t expect;
        long nsec;
    };
    // t(x): NTFS field for Unix time x plus 0.1234567 s; u(x): extended; x(x): Info-ZIP Unix.
    const std::vector<Case> cases = {
        {"ntfs.txt", "t(1500000000) + u(1400000000)", "(2000, 1, 1, 0, 0, 0)", 1500000000,
         123456700},
        {"ntfs-1960.txt", "t(-302486400)", "(1980, 1, 1, 0, 0, 0)", -302486400, 123456700},
        {"ntfs-2100.txt", "t(4102444800)", "(2099, 12, 31, 23, 0, 0)", 4102444800, 123456700},
        {"ext-1960.txt", "u(-302486400)", "(1980, 1, 1, 0, 0, 0)", -302486400, 0},
        {"ext-2070-unsigned.txt", "u(3155760000)", "(2070, 1, 1, 0, 0, 0)", 3155760000, 0},
        {"infozip-unix.txt", "x(1300000000)", "(2000, 1, 1, 0, 0, 0)", 1300000000, 0},
        {"ext-over-unix.txt", "x(1300000000) + u(1200000000)", "(2000, 1, 1, 0, 0, 0)", 1200000000,
         0},
    };
    std::string body =
        "def t(x): return struct.pack('<HHIHHQQQ', 10, 32, 0, 1, 24, *[(x + 11644473600) * "
        "10000000 + 1234567] * 3)\n"
        "def u(x): return struct.pack('<HHB', 0x5455, 5, 1) + struct.pack('<I', x & "
        "0xFFFFFFFF)\n"
        "def x(v): return struct.pack('<HHii', 0x5855, 8, v, v)\n";
    for (const Case& c : cases)
        body +=
            std::string("add('") + c.name + "', 'x', date=" + c.date + ", extra=" + c.extra + ")\n";
    body += "add('dos.txt', 'x', date=(2001, 2, 3, 4, 5, 6))\n";
    Make(body);
    const RunResult r = Restore();
    EXPECT_EQ(r.status, 0) << r.output;
    for (const Case& c : cases) {
        const std::string restored = target + "/" + c.name;
        ASSERT_TRUE(fs::exists(toPath(restored))) << c.name;
        EXPECT_EQ(stowaway::os::Seconds(MtimeNanos(restored)), c.expect) << c.name;
        EXPECT_EQ(stowaway::os::SubsecondNanos(MtimeNanos(restored)), c.nsec) << c.name;
    }
    struct tm tm {};
    tm.tm_year = 101, tm.tm_mon = 1, tm.tm_mday = 3, tm.tm_hour = 4, tm.tm_min = 5, tm.tm_sec = 6;
    tm.tm_isdst = -1;
    EXPECT_EQ(Mtime(target + "/dos.txt"), mktime(&tm));
}

// ---- Damage ----

TEST_F(ArchiverRead, BrokenArchivesGiveAProblemLineOnRestoreAndListing) {
    Make("add('a.txt', 'x' * 5000)\nadd('b.txt', 'y' * 5000)\n");
    const std::string whole = ReadFile(archive);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"missing", ""},
        {"empty", ""},
        {"garbage", "this is no archive at all, not even close"},
        {"truncated", whole.substr(0, whole.size() / 2)},
        {"no end record", whole.substr(0, whole.size() - 10)},
    };
    for (const auto& [what, bytes] : cases) {
        if (what == "missing") {
            fs::remove(archive);
        } else {
            WriteFile(archive, bytes);
        }
        for (const std::vector<std::string>& argv :
             {std::vector<std::string>{Archiver(), "-extract=all", "-dir=relative", archive,
                                       target},
              std::vector<std::string>{Archiver(), "-view=brief", archive}}) {
            const RunResult r = RunProgram(argv);
            EXPECT_GT(r.status, 0) << what;
            EXPECT_LT(r.status, 128) << what << " (crashed)";
            EXPECT_FALSE(ProblemLines(r.output).empty()) << what << ": " << r.output;
        }
    }
    EXPECT_EQ(CountFiles(target), 0u);
}

TEST_F(ArchiverRead, DamagedEntriesAndArchivesAreReportedAndLeaveNoFile) {
    // Each case patches the archive of two entries, good.txt and bad.txt (whose
    // local header starts at `o`), and says what the restore must make of it; a
    // bad.txt already there is kept unless the entry could be restored.
    struct Case {
        const char* what;
        const char* patch;
        bool badRestored;
    };
    const std::vector<Case> cases = {
        {"local signature", "b[o] ^= 1", false},
        {"local name", "b[o + 30] = ord('X')", false},
        {"local method", "b[o + 8] = 0", false},
        {"local size", "b[o + 22] ^= 1", false},
        {"local crc", "b[o + 14] ^= 1", false},
        {"compressed data", "b[o + 30 + 7 + 5] ^= 0x55", false},
        {"nul in name", "b[:] = b.replace(b'bad.txt', b'b\\x00d.txt')", false},
        {"short comment", "b[:] = b[:-3]", true},
    };
    for (const Case& c : cases) {
        Make(
            "z.comment = b'a comment of some length'\n"
            "add('good.txt', 'good')\nadd('bad.txt', 'bad ' * 500)\n");
        Patch(std::string("o = b.find(b'PK\\x03\\x04', 10)\n") + c.patch);
        fs::remove_all(toPath(target));
        WriteFile(target + "/bad.txt", "previous copy");
        SetMtime(target + "/bad.txt", 1000000000);  // older: to be replaced if restored
        const RunResult r = Restore();
        EXPECT_EQ(r.status, 1) << c.what << ": " << r.output;
        EXPECT_FALSE(ProblemLines(r.output).empty()) << c.what << ": " << r.output;
        EXPECT_EQ(ReadFile(target + "/good.txt"), "good") << c.what;
        EXPECT_EQ(ReadFile(target + "/bad.txt") == "previous copy", !c.badRestored) << c.what;
        EXPECT_EQ(CountFiles(target), 2u) << c.what;  // no work file left behind
        const RunResult list = List();
        if (std::string(c.what) == "nul in name" || std::string(c.what) == "short comment") {
            EXPECT_EQ(list.status, 1) << c.what << ": " << list.output;
        }
    }
}

TEST_F(ArchiverRead, ListingOfADamagedArchiveKeepsTheHeaderInPlaceAndReportsAfterIt) {
    Make(
        "z.comment = b'\\r\\nMAGIC LINE\\r\\nsecond\\r\\n'\n"
        "add('good.txt', 'good')\nadd('bad.txt', 'bad')\n");
    Patch("b[:] = b.replace(b'bad.txt', b'b\\x00d.txt')");
    const RunResult r = List();
    EXPECT_EQ(r.status, 1) << r.output;
    ItemReader items(r.output);
    for (int i = 0; i < 8; ++i) items.Next();
    EXPECT_EQ(items.Next(), "MAGIC LINE") << r.output;
    items.Next();
    EXPECT_EQ(items.Next(), "second") << r.output;
    ASSERT_EQ(ProblemLines(r.output).size(), 1u) << r.output;
    EXPECT_EQ(Lines(r.output).back(), ProblemLines(r.output)[0]);
}

TEST_F(ArchiverRead, DataDescriptorWhoseCrcDisagreesIsDamage) {
    // Written to a stream that cannot seek, Python puts CRC and sizes in a
    // data descriptor after the data.
    const RunResult made = Python(
        "import sys, zipfile\n"
        "class S:\n"
        "    def __init__(s, f): s.f = f\n"
        "    def write(s, b): return s.f.write(b)\n"
        "    def flush(s): s.f.flush()\n"
        "with zipfile.ZipFile(S(open(sys.argv[1], 'wb')), 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    z.writestr('good.txt', 'good')\n"
        "    z.writestr('bad.txt', 'bad ' * 100)\n",
        {archive});
    ASSERT_EQ(made.status, 0) << made.output;
    RunResult r = Restore();
    ASSERT_EQ(r.status, 0) << r.output;  // sound as made
    Patch("d = b.rfind(b'PK\\x07\\x08')\nb[d + 4] ^= 0xFF\n");
    fs::remove_all(toPath(target));
    r = Restore();
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(ProblemLines(r.output).size(), 1u) << r.output;
    EXPECT_NE(r.output.find("data descriptor"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFile(target + "/good.txt"), "good");
    EXPECT_FALSE(fs::exists(toPath(target + "/bad.txt")));
}

TEST_F(ArchiverRead, EntriesTooLargeForMemoryAreCheckedAndKeepTheOldCopyWhenDamaged) {
    // Over the in-memory limit, so inflated in pieces and checked at the end.
    Make(
        "big = b''.join(b'%08d line of a large file\\n' % i for i in range(2300000))\n"
        "i = zipfile.ZipInfo('big.txt', (2020, 1, 2, 3, 4, 6))\n"
        "i.compress_type = zipfile.ZIP_DEFLATED\n"
        "z.writestr(i, big, compresslevel=1)\n");
    RunResult r = Restore();
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string restored = ReadFile(target + "/big.txt");
    EXPECT_EQ(restored.size(), 2300000u * 30);  // more than 64 MiB
    EXPECT_EQ(restored.substr(restored.size() - 60),
              "02299998 line of a large file\n02299999 line of a large file\n");

    Patch("b[len(b) // 2] ^= 0x10");
    WriteFile(target + "/big.txt", "old copy");
    SetMtime(target + "/big.txt", 1000000000);  // older than the archive's copy
    r = Restore();
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(ProblemLines(r.output).size(), 1u) << r.output;
    EXPECT_EQ(ReadFile(target + "/big.txt"), "old copy");
    EXPECT_EQ(CountFiles(target), 1u);  // no work file left
}

// ---- What is in the way ----

TEST_F(ArchiverRead, HostileEntriesAreRefusedAndWriteNothingOutsideTheTarget) {
    const std::string outside = dir / "outside";
    fs::create_directories(outside);
    const std::string escape = fromPath(toPath(outside).filename());
    fs::create_symlink(outside, target + "/linked");
    std::string entries;
    for (const std::string& name : std::vector<std::string>{
             "/tmp/absolute-evil.txt", "../" + escape + "/dotdot.txt",
             "ok/../../" + escape + "/inner-dotdot.txt", "C:/drive.txt",
             "..\\\\" + escape + "\\\\backslash.txt", "linked/through-link.txt"})
        entries += "add('" + name + "', 'evil')\n";
    Make(entries + "add('link-entry', '" + outside +
         "', mode=0o120777)\nadd('fifo-entry', '', mode=0o010644)\n"
         "add('fine/inner/../good.txt', 'good')\n");
    const RunResult r = Restore();
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(ProblemLines(r.output).size(), 8u) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Inflating:"), 1) << r.output;
    EXPECT_EQ(ReadFile(target + "/fine/good.txt"), "good");
    EXPECT_EQ(CountFiles(outside), 0u);
    EXPECT_FALSE(fs::exists("/tmp/absolute-evil.txt"));
    EXPECT_FALSE(fs::exists(target + "/link-entry"));
    EXPECT_FALSE(fs::exists(target + "/fifo-entry"));
    // Only the good file is in the target (the walk does not enter the link).
    EXPECT_EQ(CountFiles(target), 1u);
}

TEST_F(ArchiverRead, ExistingFilesAreReplacedWholeAndLinksInTheWayAreRefused) {
    Make("add('plain.txt', 'new')\nadd('linked.txt', 'new')\nadd('folder', 'new')\n");
    WriteFile(target + "/plain.txt", "old");
    SetMtime(target + "/plain.txt", 1000000000);  // older than the archive's copy
    WriteFile(dir / "outside.txt", "outside");
    fs::create_symlink(toPath(dir / "outside.txt"), toPath(target + "/linked.txt"));
    fs::create_directories(toPath(target + "/folder"));
    const RunResult r = Restore();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ProblemLines(r.output).size(), 2u) << r.output;
    EXPECT_EQ(ReadFile(target + "/plain.txt"), "new");
    EXPECT_EQ(ReadFile(dir / "outside.txt"), "outside");
    EXPECT_EQ(CountFiles(target), 2u);  // no work file left
}

// ---- Names twice ----

// The directory is read a batch at a time: a name that comes back after some
// thousand entries is still restored once, from its last entry.
TEST_F(ArchiverRead, ANameInTheArchiveTwiceIsRestoredOnceFromItsLastEntry) {
    Make(
        "add('d/twice.txt', 'first')\n"
        "add('d/once.txt', 'once')\n"
        "for i in range(6000):\n"
        "    add('filler/' + 'f' * 200 + '%05d' % i, '')\n"
        "add('d/twice.txt', 'second')\n"
        "add('d/./twice.txt', 'third')\n");
    const RunResult r = Restore();
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(ReadFile(target + "/d/twice.txt"), "third");
    EXPECT_EQ(ReadFile(target + "/d/once.txt"), "once");
    EXPECT_EQ(CountFiles(target + "/filler"), 6000u);
    EXPECT_EQ(CountLinesWith(r.output, "Inflating:"), 6002) << r.output.substr(0, 2000);
    const std::vector<std::string> problems = ProblemLines(r.output);
    ASSERT_EQ(problems.size(), 1u) << r.output.substr(0, 2000);
    EXPECT_NE(
        problems[0].find("the name d/twice.txt is in the archive more than once; the last entry is "
                         "restored"),
        std::string::npos)
        << problems[0];
}

}  // namespace
