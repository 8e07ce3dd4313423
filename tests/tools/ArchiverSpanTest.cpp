// Spanned archives: -span=SIZE volumes, -span going on past a file-size limit
// and asking for the next medium when one is full, and what 7-Zip, Info-ZIP
// and our own listing, restore and update make of the sets we write.
#include <gtest/gtest.h>

#include <random>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

// Checks a split set as the format lays it down: signature at the start of
// disk 0, every local header and central record inside one volume, the end
// record's disk numbers and counts. Prints "ok" or what is wrong.
const std::string kCheckSet = kPyReadSet + R"PY(
n = len(vols)
def fail(why):
    print(why); sys.exit(1)
if n > 1 and vols[0][:4] != b'PK\x07\x08': fail('no split signature')
if n == 1 and vols[0][:4] != b'PK\x03\x04': fail('one file does not start with a local header')
t = vols[-1]
e = t.rfind(b'PK\x05\x06')
disk, cddisk, here, total, cdsize, cdoff, clen = struct.unpack('<HHHHIIH', t[e+4:e+22])
if disk != n - 1: fail('end record on disk %d of %d' % (disk, n))
pos, cd, count = cdoff, cddisk, 0
for i in range(total):
    v = vols[cd]
    if pos >= len(v): cd += 1; pos = 0; v = vols[cd]
    if v[pos:pos+4] != b'PK\x01\x02': fail('central record %d not found' % i)
    nl, xl, cl = struct.unpack('<HHH', v[pos+28:pos+34])
    ldisk, = struct.unpack('<H', v[pos+34:pos+36])
    loff, = struct.unpack('<I', v[pos+42:pos+46])
    size = 46 + nl + xl + cl
    if pos + size > len(v): fail('central record %d straddles volumes' % i)
    if cd == n - 1: count += 1
    lv = vols[ldisk]
    if lv[loff:loff+4] != b'PK\x03\x04': fail('local header %d not at its place' % i)
    lnl, lxl = struct.unpack('<HH', lv[loff+26:loff+30])
    if loff + 30 + lnl + lxl > len(lv): fail('local header %d straddles volumes' % i)
    pos += size
if count != here: fail('entries on the last disk: %d recorded, %d found' % (here, count))
print('ok')
)PY";

class ArchiverSpan : public ArchiverFixture {
  protected:
    std::string header = dir / "header.dat";
    std::vector<std::string> files;

    void SetUp() override {
        ArchiverFixture::SetUp();
        WriteFile(header, "Stowaway header\r\nline two\r\n");
    }

    // Compressible text and random bytes, some files larger than 64 KiB.
    void MakeFiles(const std::vector<size_t>& randomSizes, const std::vector<size_t>& textSizes) {
        std::mt19937 rng(7);
        int n = 0;
        for (size_t size : randomSizes) {
            std::string s(size, '\0');
            for (char& c : s) c = static_cast<char>(rng());
            Add("data/random" + std::to_string(n++) + ".bin", s);
        }
        const char* words[] = {"alpha ", "beta ", "gamma ", "delta ", "epsilon "};
        for (size_t size : textSizes) {
            std::string s;
            while (s.size() < size) s += words[rng() % 5];
            Add("data/sub/text" + std::to_string(n++) + ".txt", s);
        }
        for (int i = 0; i < 20; ++i) Add("data/small" + std::to_string(i) + ".txt", "small");
        WriteListFile();
    }
    void Add(const std::string& rel, const std::string& content) {
        fs::create_directories(toPath(dir / rel).parent_path());
        WriteFile(dir / rel, content);
        files.push_back(dir / rel);
    }
    void WriteListFile() {
        std::string text;
        for (const std::string& f : files) text += f + "\r\n";
        WriteFile(list, text);
    }
    std::vector<std::string> Args(const std::string& span, bool update = false) {
        std::vector<std::string> a = {Archiver(), update ? "-add=update" : "-add=all",
                                      "-header=@" + header};
        if (!span.empty()) a.push_back(span);
        a.insert(a.end(), {"-lev=6", "-path=full", archive, "@" + list});
        return a;
    }
    std::vector<std::string> Volumes() const {
        std::vector<std::string> v;
        for (int d = 1; fs::exists(toPath(VolumeName(d))); ++d) v.push_back(VolumeName(d));
        return v;
    }
    std::string VolumeName(int d) const {
        const std::string num = std::to_string(d);
        return dir / ("out/backup.z" + std::string(num.size() < 2 ? "0" : "") + num);
    }
    // The set's layout as Python reads it, and 7-Zip's verdict: where neither can
    // be called (Windows), the interoperability run checks the sets instead.
    std::string CheckSet() {
        if (!Has(stowaway::test::Facility::PeerTools)) return "ok\n";
        return Python(kCheckSet, {archive}).output;
    }
    // Everything in the archive's folder but the set itself.
    std::vector<std::string> Strays() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(toPath(dir / "out"))) {
            const std::string name = fromPath(e.path().filename());
            if (name != "backup.zip" && name.rfind("backup.z", 0) != 0) out.push_back(name);
        }
        return out;
    }
    RunResult SevenZip(const std::string& command, const std::string& outDir = "") {
        if (!Has(stowaway::test::Facility::PeerTools)) return {0, "no 7-Zip to call here"};
        if (outDir.empty()) return tooltest::SevenZip(archive, {command});
        return tooltest::SevenZip(archive, {command, "-o" + outDir});
    }
    void ExpectRestoredSame(const std::string& target) {
        for (const std::string& f : files) {
            EXPECT_EQ(ReadFile(Beneath(target, f)), ReadFile(f)) << f;
        }
    }
};

TEST_F(ArchiverSpan, VolumesOfAtMostSizeAreReadBy7ZipAndByOurListingAndRestore) {
    MakeFiles({300000, 150000, 40000}, {400000, 90000});
    const RunResult r = RunProgram(Args("-span=64k"));
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "done."), static_cast<int>(files.size()));
    EXPECT_TRUE(ProblemLines(r.output).empty()) << r.output;

    const std::vector<std::string> vols = Volumes();
    ASSERT_GE(vols.size(), 4u);
    for (const std::string& v : vols) EXPECT_EQ(fs::file_size(toPath(v)), 65536u) << v;
    EXPECT_LE(fs::file_size(toPath(archive)), 65536u);
    EXPECT_EQ(CheckSet(), "ok\n");
    EXPECT_TRUE(Strays().empty());

    if (Has(stowaway::test::Facility::PeerTools)) {
        const RunResult t = SevenZip("t");
        EXPECT_EQ(t.status, 0) << t.output;
        const stowaway::test::TempDir plain;  // 7-Zip reads '*' in a folder's name as a wildcard
        const RunResult x = SevenZip("x", plain.path());
        EXPECT_EQ(x.status, 0) << x.output;
        ExpectRestoredSame(plain.path());
    }

    // Our listing shows the header as the import reads it, our restore
    // counts each file.
    const RunResult l = RunProgram({Archiver(), "-view=brief", archive});
    ASSERT_EQ(l.status, 0) << l.output;
    EXPECT_NE(l.output.find("Stowaway header"), std::string::npos) << l.output;
    const RunResult e =
        RunProgram({Archiver(), "-extract=all", "-dir=relative", archive, dir / "ours"});
    ASSERT_EQ(e.status, 0) << e.output;
    EXPECT_EQ(CountLinesWith(e.output, "Inflating:"), static_cast<int>(files.size()));
    ExpectRestoredSame(dir / "ours");
}

// Info-ZIP joins a set back into one archive (its own joining copies an
// entry wrongly once it runs over three volumes, so here no entry does).
TEST_F(ArchiverSpan, InfoZipJoinsTheSetAndUnzipFindsTheHeaderAsComment) {
    STOWAWAY_NEEDS(PeerTools);
    MakeFiles({200000, 100000}, {150000, 220000});
    const RunResult r = RunProgram(Args("-span=256k"));
    ASSERT_EQ(r.status, 0) << r.output;
    ASSERT_GE(Volumes().size(), 1u);
    const std::string one = dir / "one.zip";
    const RunResult j = RunProgram({"/usr/bin/zip", "-s", "0", archive, "--out", one});
    ASSERT_EQ(j.status, 0) << j.output;
    const RunResult t = RunProgram({"/usr/bin/unzip", "-t", one});
    EXPECT_EQ(t.status, 0) << t.output;
    const RunResult z = RunProgram({"/usr/bin/unzip", "-z", one});
    EXPECT_NE(z.output.find("line two"), std::string::npos) << z.output;
}

TEST_F(ArchiverSpan, AnArchiveThatFitsStaysOnePlainFileAndSizesBelow64kAreRefused) {
    MakeFiles({1000}, {5000});
    for (const char* span : {"-span", "-span=650m", "-span=4g"}) {
        const RunResult r = RunProgram(Args(span));
        ASSERT_EQ(r.status, 0) << span << r.output;
        EXPECT_TRUE(Volumes().empty()) << span;
        EXPECT_EQ(CheckSet(), "ok\n") << span;  // starts with a local header
        EXPECT_EQ(UnzipTest(archive), 0);
    }
    for (const char* bad : {"-span=63k", "-span=1000", "-span=x", "-span=10q", "-span="}) {
        const RunResult r = RunProgram(Args(bad));
        EXPECT_EQ(r.status, 2) << bad;
        ASSERT_EQ(ProblemLines(r.output).size(), 1u) << bad << r.output;
        EXPECT_NE(r.output.find("at least 64k"), std::string::npos) << r.output;
    }
    EXPECT_NE(RunProgram({Archiver(), "--help"}).output.find("-span=SIZE"), std::string::npos);
}

// An update on a set writes a new set with the unchanged entries copied as
// they were; without -span it becomes one file and the old volumes go.
TEST_F(ArchiverSpan, UpdateOnASetWritesANewSetAndOneFileLeavesNoOldVolumes) {
    MakeFiles({300000, 120000}, {200000});
    ASSERT_EQ(RunProgram(Args("-span=64k")).status, 0);
    const size_t before = Volumes().size();
    const time_t old = Mtime(files[0]);
    Add("data/late.txt", "added later");
    WriteListFile();
    SetMtime(files[0], old + 10);

    const RunResult u = RunProgram(Args("-span=64k", true));
    ASSERT_EQ(u.status, 0) << u.output;
    EXPECT_EQ(CountLinesWith(u.output, "done."), 2) << u.output;
    EXPECT_EQ(Volumes().size(), before);
    EXPECT_EQ(CheckSet(), "ok\n");
    EXPECT_EQ(SevenZip("t").status, 0);

    // Nothing newer: nothing changes.
    const RunResult same = RunProgram(Args("-span=64k", true));
    EXPECT_EQ(CountLinesWith(same.output, "done."), 0) << same.output;

    Add("data/later.txt", "and one more");
    WriteListFile();
    const RunResult one = RunProgram(Args("", true));
    ASSERT_EQ(one.status, 0) << one.output;
    EXPECT_TRUE(Volumes().empty());
    EXPECT_EQ(UnzipTest(archive), 0);
    const RunResult e =
        RunProgram({Archiver(), "-extract=all", "-dir=relative", archive, dir / "back"});
    EXPECT_EQ(CountLinesWith(e.output, "Inflating:"), static_cast<int>(files.size()));
    ExpectRestoredSame(dir / "back");
}

// A file-size limit (FAT32's, here the process's) ends a volume; -span goes
// on in the next one, without -span the backup fails and changes nothing.
TEST_F(ArchiverSpan, AFileSizeLimitMakesSpanGoOnInANewVolume) {
    STOWAWAY_NEEDS(FileSizeLimit);
    MakeFiles({300000, 200000}, {300000});
    RunSetup limited;
    limited.maxFileBytes = 150000;
    const RunResult r = RunWith(Args("-span"), limited);
    ASSERT_EQ(r.status, 0) << r.output;
    const std::vector<std::string> vols = Volumes();
    ASSERT_GE(vols.size(), 2u);
    for (const std::string& v : vols) EXPECT_LE(fs::file_size(toPath(v)), 150000u);
    EXPECT_EQ(CheckSet(), "ok\n");
    EXPECT_EQ(SevenZip("t").status, 0);

    const std::string before = ReadFile(archive);
    const RunResult plain = RunWith(Args(""), limited);
    EXPECT_EQ(plain.status, 2);
    EXPECT_EQ(ProblemLines(plain.output).size(), 1u) << plain.output;
    EXPECT_EQ(ReadFile(archive), before);
    EXPECT_TRUE(Strays().empty());
}

// A full medium (a test seam of the archiver stands in for one): the prompt
// names the next volume; an empty line goes on in the same folder. A volume
// is not touched again once its medium was taken out, so the entry that runs
// across (larger than what is held back in memory) ends in a data descriptor.
// The answers come through a socket, as the console window hands them over (the
// other prompt tests use a pipe).
TEST_F(ArchiverSpan, AFullMediumAsksAndAnEmptyAnswerGoesOn) {
    MakeFiles({5000000, 300000}, {200000});
    RunSetup setup;
    setup.env = {"PKZIP_TEST_MEDIUM_BYTES=1500000"};
    setup.input = std::string("\n\n\n\n\n");
#ifndef _WIN32
    setup.socketInput = true;
#endif
    // The second time the old set lies on the medium that fills: it cannot
    // be kept, and the output says so.
    for (int run = 0; run < 2; ++run) {
        const RunResult r = RunWith(Args("-span"), setup);
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(CountLinesWith(r.output, "The medium is full"),
                  static_cast<int>(Volumes().size()));
        EXPECT_NE(r.output.find("volume 2 (backup.z02 or backup.zip)"), std::string::npos)
            << r.output;
        EXPECT_EQ(CountLinesWith(r.output, "on the full medium was removed"), run) << r.output;
        EXPECT_EQ(CountLinesWith(r.output, "done."), static_cast<int>(files.size()));
        for (const std::string& v : Volumes()) EXPECT_LE(fs::file_size(toPath(v)), 1500000u);
        EXPECT_EQ(CheckSet(), "ok\n");
        const RunResult t = SevenZip("t");
        EXPECT_EQ(t.status, 0) << t.output;
        EXPECT_TRUE(Strays().empty());
    }
    const RunResult e =
        RunProgram({Archiver(), "-extract=all", "-dir=relative", archive, dir / "back"});
    EXPECT_EQ(CountLinesWith(e.output, "Inflating:"), static_cast<int>(files.size())) << e.output;
    ExpectRestoredSame(dir / "back");
}

// A folder typed at the prompt (after one that is not a folder) takes the
// rest of the set; the set reads back once told where its first volume is.
TEST_F(ArchiverSpan, AFolderTypedAtThePromptTakesTheNextVolumes) {
    MakeFiles({200000}, {});
    const std::string other = dir / "second medium";
    fs::create_directories(toPath(other));
    RunSetup setup;
    setup.env = {"PKZIP_TEST_MEDIUM_BYTES=120000"};
    setup.input = dir / "no such folder" + "\n" + other + "\n" + other + "\n";
    const RunResult r = RunWith(Args("-span"), setup);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "is not a folder"), 1) << r.output;
    EXPECT_TRUE(fs::exists(toPath(VolumeName(1))));
    EXPECT_FALSE(fs::exists(toPath(archive)));
    ASSERT_TRUE(fs::exists(toPath(other + "/backup.zip")));
    RunSetup answer;
    answer.input = dir / "out" + "\n";
    const RunResult e = RunWith(
        {Archiver(), "-extract=all", "-dir=relative", other + "/backup.zip", dir / "back"}, answer);
    EXPECT_EQ(e.status, 0) << e.output;
    ExpectRestoredSame(dir / "back");
}

// With no one to answer, or "q", the backup stops: an error line, a failure
// status, the old archive as it was and no volume that looks like a set.
TEST_F(ArchiverSpan, AFullMediumWithNoOneToAnswerStopsAndKeepsTheOldArchive) {
    MakeFiles({300000}, {200000});
    ASSERT_EQ(RunProgram(Args("")).status, 0);
    const std::string before = ReadFile(archive);
    Add("data/new.txt", "new");
    WriteListFile();
    for (const std::optional<std::string>& input :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("q\n")}) {
        RunSetup setup;
        setup.env = {"PKZIP_TEST_MEDIUM_BYTES=120000"};
        setup.input = input;
        const RunResult r = RunWith(Args("-span"), setup);
        EXPECT_EQ(r.status, 2) << r.output;
        const std::vector<std::string> problems = ProblemLines(r.output);
        ASSERT_EQ(problems.size(), 1u) << r.output;
        EXPECT_NE(problems[0].find("the medium is full"), std::string::npos) << problems[0];
        EXPECT_NE(problems[0].find("the old archive was left unchanged"), std::string::npos);
        EXPECT_EQ(ReadFile(archive), before);
        EXPECT_TRUE(Volumes().empty());
        EXPECT_TRUE(Strays().empty());
    }
}

// Interrupted while it waits for the second medium: the volume in the works
// goes with the first one's work file; only the volume already final (its
// medium was swapped) stays, and no NAME.zip makes it look like a set.
TEST_F(ArchiverSpan, AnInterruptionAtThePromptLeavesNoWorkVolumes) {
#ifdef _WIN32
    GTEST_SKIP() << "Ctrl+C reaches only programs sharing our console; Interrupt.* checks the "
                    "handler on Windows";
#else
    MakeFiles({400000}, {});
    int in[2];
    ASSERT_EQ(::pipe(in), 0);
    const std::string out = dir / "run.out";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::close(in[0]);
        ::close(in[1]);
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        ::setenv("PKZIP_TEST_MEDIUM_BYTES", "150000", 1);
        std::vector<std::string> argv = Args("-span");
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ASSERT_EQ(::write(in[1], "\n", 1), 1);  // the first medium is swapped
    for (int i = 0; i < 500 && CountLinesWith(ReadFile(out), "The medium is full") < 2; ++i) {
        ::usleep(10000);
    }
    ASSERT_EQ(CountLinesWith(ReadFile(out), "The medium is full"), 2) << ReadFile(out);
    bool working = false;  // a second volume in the works
    for (const auto& e : fs::directory_iterator(toPath(dir / "out"))) {
        working = working || fromPath(e.path().filename()).find(".z02") != std::string::npos;
    }
    EXPECT_TRUE(working);
    ::kill(pid, SIGINT);
    EXPECT_EQ(WaitStatus(pid), 128 + SIGINT);
    ::close(in[1]);
    EXPECT_TRUE(Strays().empty());
    EXPECT_TRUE(fs::exists(toPath(VolumeName(1))));
    EXPECT_FALSE(fs::exists(toPath(archive)));
#endif
}

// The central directory and a long header (the comment) that no longer fit
// in the first volume: the set starts before any offset on disk 0 is written
// down, whether the limit is known (-span=SIZE) or found (a file-size limit).
TEST_F(ArchiverSpan, ADirectoryThatDoesNotFitTheFirstVolumeStartsTheSet) {
    WriteFile(header, std::string(30000, 'H'));
    for (size_t size : {20000, 50000, 65000, 110000}) {
        for (bool known : {true, false}) {
            if (!known && !Has(stowaway::test::Facility::FileSizeLimit)) continue;
            files.clear();
            fs::remove_all(toPath(dir / "out"));
            fs::create_directories(toPath(dir / "out"));
            Add("data/one.bin", Noise(size, static_cast<unsigned>(size)));
            WriteListFile();
            RunSetup setup;
            if (!known) setup.maxFileBytes = 65536;
            const RunResult r = RunWith(Args(known ? "-span=64k" : "-span"), setup);
            ASSERT_EQ(r.status, 0) << size << " " << known << r.output;
            EXPECT_EQ(CheckSet(), "ok\n") << size << " " << known;
            EXPECT_EQ(Volumes().empty(), size < 30000) << size << " " << known;
            EXPECT_EQ(SevenZip("t").status, 0) << size << " " << known;
        }
    }
}

// Every central record of a set: name, method, flags (the directory is read
// from the volumes in order, as they join).
const std::string kRecords = kPyReadSet + R"PY(
t = vols[-1]
e = t.rfind(b'PK\x05\x06')
disk, cddisk, here, total, cdsize, cdoff, clen = struct.unpack('<HHHHIIH', t[e+4:e+22])
cd = b''.join(vols[cddisk:])[cdoff:cdoff+cdsize]
pos = 0
while pos + 46 <= len(cd) and cd[pos:pos+4] == b'PK\x01\x02':
    flags, method = struct.unpack('<HH', cd[pos+8:pos+12])
    nl, xl, cl = struct.unpack('<HHH', cd[pos+28:pos+34])
    print(method, flags & 8, cd[pos+46:pos+46+nl].decode())
    pos += 46 + nl + xl + cl
)PY";

TEST(ArchiverMedia, AStoredEntryCutByAFullMediumGoesWholeToTheNextWithoutADescriptor) {
    STOWAWAY_NEEDS(PeerTools);
    ScratchDir dir;
    fs::create_directories(toPath(dir / "out"));
    std::vector<std::string> files;
    // Larger than the writer's buffer, so that headers go out before their data is
    // complete; noise does not compress, so the entries are stored.
    for (unsigned i = 0; i < 3; ++i) {
        files.push_back(dir / ("data/r" + std::to_string(i) + ".bin"));
        WriteFile(files.back(), Noise(5 << 20, 9 + i));
    }
    WriteListFile(dir / "files.lst", files);
    RunSetup setup;
    setup.env = {"PKZIP_TEST_MEDIUM_BYTES=7000000"};
    setup.input = std::string("\n\n\n\n");  // a new medium each time, in the same folder
    const std::string archive = dir / "out/set.zip";
    const RunResult r = RunWith({Archiver(), "-add=all", "-span", "-lev=6", "-path=full", archive,
                                 "@" + (dir / "files.lst")},
                                setup);
    ASSERT_EQ(r.status, 0) << r.output;
    ASSERT_TRUE(fs::exists(toPath(dir / "out/set.z01")));
    const RunResult records = Python(kRecords, {archive});
    EXPECT_EQ(CountLinesWith(records.output, "0 0 "), 3) << records.output;
    EXPECT_EQ(CountLinesWith(records.output, "0 8 "), 0) << records.output;
    const RunResult e =
        RunProgram({Archiver(), "-extract=all", "-dir=relative", archive, dir / "back"});
    EXPECT_EQ(e.status, 0) << e.output;
    for (const std::string& f : files) EXPECT_EQ(ReadFile(dir / "back" + f), ReadFile(f)) << f;
}

}  // namespace
