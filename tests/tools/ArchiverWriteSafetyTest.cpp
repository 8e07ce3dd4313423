// The archiver's write side under awkward data and a hostile environment:
// shapes that once failed the self-check, limits, errors and odd files.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

std::string Text(size_t size) {
    std::string t;
    for (int i = 0; t.size() < size; ++i)
        t += "record " + std::to_string(i % 10007 * 7919 % 10007) + ";\n";
    t.resize(size);
    return t;
}

#ifndef _WIN32
void Limit(int resource, rlim_t value) {
    const struct rlimit rl { value, value };
    ::setrlimit(resource, &rl);
}
#endif

class ArchiverWrite : public ArchiverFixture {
  protected:
    void WriteList(const std::vector<std::string>& paths) { WriteListFile(list, paths); }
    std::vector<std::string> Args(const std::string& add, int level) {
        return {Archiver(),   add,     "-lev=" + std::to_string(level),
                "-path=full", archive, "@" + list};
    }
    RunResult Add(int level = 6, const std::string& add = "-add=all") {
        return RunProgram(Args(add, level));
    }
    RunResult AddWith(int level, std::vector<std::string> env) {
        RunSetup setup;
        setup.env = std::move(env);
        return RunWith(Args("-add=all", level), setup);
    }
    std::ptrdiff_t FilesInOut() {
        return std::distance(fs::directory_iterator(toPath(dir / "out")), fs::directory_iterator());
    }
    // Python's reading of one entry: "<method> <size> <compressed size>".
    std::string EntryFacts(const std::string& name) {
        return Python(
                   "import sys, zipfile\ni = zipfile.ZipFile(sys.argv[1]).getinfo(sys.argv[2])\n"
                   "print(i.compress_type, i.file_size, i.compress_size)",
                   {archive, name})
            .output;
    }
};

// Shapes whose deflate stream ends with output still pending once all input
// is used: long zero runs ending near multiples of the checker's buffer.
TEST_F(ArchiverWrite, EveryLevelStoresZeroRunsRandomThenZerosAndText) {
    STOWAWAY_NEEDS(PeerTools);
    std::vector<std::string> files;
    for (size_t k = 1; k <= 4; ++k) {
        for (long d : {-7L, 0L, 1L, 21L, 300L}) {
            const size_t n = k * 262144 + d;
            files.push_back(AddFile("zeros-" + std::to_string(n), std::string(n, '\0')));
        }
    }
    files.push_back(AddFile("noise-then-zeros",
                            Noise(100000, 7) + std::string(262165 - 100000 + 262144, '\0')));
    files.push_back(AddFile("text-then-zeros", Text(200000) + std::string(62165, '\0')));
    files.push_back(AddFile("text", Text(3 << 20)));
    files.push_back(AddFile("zeros-3MiB", std::string(3 << 20, '\0')));
    WriteList(files);
    for (int level = 0; level <= 9; ++level) {
        const RunResult r = Add(level);
        EXPECT_EQ(r.status, 0) << "level " << level << "\n" << r.output;
        EXPECT_EQ(CountLinesWith(r.output, "done."), static_cast<int>(files.size())) << level;
        EXPECT_EQ(UnzipTest(archive), 0) << level;
        // Level 0 stores; every other level deflates what shrinks.
        EXPECT_EQ(EntryFacts(Stored(files.back())).substr(0, 2), level == 0 ? "0 " : "8 ") << level;
    }
}

// Large files are compressed in pieces joined into one deflate stream; pieces
// that do not shrink go in stored, and a file that does not compress at all
// is stored, never larger than itself.
TEST_F(ArchiverWrite, LargeFilesJoinPiecesOfEveryKindIntoOneStream) {
    STOWAWAY_NEEDS(PeerTools);
    const size_t mib = 1 << 20;
    const std::string text = AddFile("text", Text(13 * mib + 12345));
    const std::string noiseThenText = AddFile("noise-text", Noise(9 * mib, 3) + Text(6 * mib));
    const std::string textThenNoise = AddFile("text-noise", Text(5 * mib + 7) + Noise(10 * mib, 4));
    const std::string noise = AddFile("noise", Noise(13 * mib + 1, 5));
    const std::string zeros = AddFile("zeros", std::string(17 * mib, '\0'));
    // Its start compresses a little, the rest not at all: deflated it would
    // end a few hundred bytes larger than itself.
    const std::string almost = AddFile("almost", std::string(1024, 'a') + Noise(20 * mib, 6));
    WriteList({text, noiseThenText, textThenNoise, noise, zeros, almost});
    for (int level : {1, 6}) {
        const RunResult r = Add(level);
        ASSERT_EQ(r.status, 0) << "level " << level << "\n" << r.output;
        EXPECT_EQ(UnzipTest(archive), 0) << level;
        // What does not shrink as a whole is stored.
        for (const auto& [f, size] : {std::pair{noise, 13 * mib + 1}, {almost, 20 * mib + 1024}}) {
            EXPECT_EQ(EntryFacts(Stored(f)),
                      "0 " + std::to_string(size) + " " + std::to_string(size) + "\n");
        }
        for (const std::string& f : {text, noiseThenText, textThenNoise, zeros}) {
            std::istringstream facts(EntryFacts(Stored(f)));
            int method = -1;
            uint64_t size = 0, packed = 0;
            facts >> method >> size >> packed;
            EXPECT_EQ(method, 8) << f;
            EXPECT_LT(packed, size) << f;
        }
    }
    // The same bytes come back through another reader.
    const RunResult same = Python(
        "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\n"
        "print(all(z.read(n[1:]) == open(n, 'rb').read() for n in sys.argv[2:]))",
        {archive, text, noiseThenText, textThenNoise, noise, zeros, almost});
    EXPECT_EQ(same.output, "True\n");
}

// Whether to store or deflate is decided on whole pieces, not on a sample of
// their start: the archive is never larger than zip -6 makes it, whatever
// comes first in a file or in each of its megabytes.
TEST_F(ArchiverWrite, PiecesAreJudgedWholeAndNoLargerThanZipSix) {
    STOWAWAY_NEEDS(PeerTools);
    const size_t mib = 1 << 20;
    std::string striped;
    for (int m = 0; m < 16; ++m) striped += Noise(16 << 10, 100 + m) + Text(mib - (16 << 10));
    const std::vector<std::string> files = {
        AddFile("noise-then-zeros", Noise(9 * mib, 8) + std::string(7 * mib, '\0')),
        AddFile("striped", striped)};
    for (const std::string& f : files) {
        WriteList({f});
        const std::string zipped = dir / "out/zip6.zip";
        fs::remove(toPath(zipped));
        ASSERT_EQ(RunProgram({"/usr/bin/zip", "-q", "-6", zipped, f}).status, 0);
        fs::remove(toPath(archive));
        const RunResult r = Add(6);
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_LE(fs::file_size(toPath(archive)), fs::file_size(toPath(zipped))) << f;
        EXPECT_EQ(EntryFacts(Stored(f)).substr(0, 2), "8 ") << f;
        EXPECT_EQ(UnzipTest(archive), 0) << f;
    }
}

// Levels 5 and 6 are not one setting under two names.
TEST_F(ArchiverWrite, LevelsFiveAndSixAreSettingsOfTheirOwn) {
    WriteList({AddFile("text", Text(2 << 20))});
    std::string archives[2];
    for (int level : {5, 6}) {
        fs::remove(toPath(archive));
        ASSERT_EQ(Add(level).status, 0);
        archives[level - 5] = ReadFile(archive);
    }
    EXPECT_TRUE(archives[0] != archives[1]);
}

// A file-size limit with the signal at its default: the archiver must not die
// of SIGXFSZ but say that the archive became too large.
TEST_F(ArchiverWrite, FileSizeLimitIsReportedAndTheOldArchiveKept) {
    STOWAWAY_NEEDS(FileSizeLimit);
#ifndef _WIN32
    WriteList({AddFile("small.txt", "small")});
    ASSERT_EQ(Add().status, 0);
    const std::string before = ReadFile(archive);
    WriteList({AddFile("small.txt", "small"), AddFile("noise.bin", Noise(3 << 20, 5))});

    const RunResult r = RunLimited(Args("-add=all", 6), [] { Limit(RLIMIT_FSIZE, 1 << 20); });
    EXPECT_EQ(r.status, 2) << r.output;
    const auto problems = ProblemLines(r.output);
    ASSERT_EQ(problems.size(), 1u) << r.output;
    EXPECT_EQ(problems[0].rfind("PKZIP: ", 0), 0u);
    EXPECT_NE(problems[0].find("too large"), std::string::npos) << problems[0];
    EXPECT_EQ(ReadFile(archive), before);
    EXPECT_EQ(FilesInOut(), 1);
#endif
}

// After the first write error the reader stops within the file: a sparse file
// far larger than anything that could be read in the test's time.
TEST_F(ArchiverWrite, WriteErrorStopsReadingTheCurrentFile) {
    STOWAWAY_NEEDS(FileSizeLimit);
    const std::string huge = dir / "data/huge.img";
    fs::create_directories(toPath(dir / "data"));
    WriteFile(huge, "");
    fs::resize_file(toPath(huge), 1ull << 40);
    WriteList({huge});
    const std::string templ = dir / "run.out";
    StartedProgram run(Args("-add=all", 0), templ, 1 << 20);
    std::optional<int> status;
    for (int i = 0; i < 600 && !status; ++i) {
        status = run.Ended();
        if (!status) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!status) run.End();
    const std::string out = ReadFile(templ);
    EXPECT_EQ(status, std::optional<int>(2)) << "still reading 30 s after the write failed\n"
                                             << out;
    EXPECT_FALSE(fs::exists(toPath(archive)));
    EXPECT_EQ(FilesInOut(), 0);
}

// Thread stacks of 1 GiB under an address-space limit: room for only a few
// threads, or none. Fewer threads still make the archive; none gives a clear
// line and leaves no work file.
TEST_F(ArchiverWrite, ThreadsThatCannotStartMeanFewerThreadsOrAClearFailure) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address-space limits do not combine with the address sanitizer";
#elif defined(_WIN32)
    GTEST_SKIP() << "Windows has no address-space limit to start a program under";
#else
    std::vector<std::string> files;
    for (int i = 0; i < 20; ++i)
        files.push_back(AddFile("f" + std::to_string(i), Text(300000 + i)));
    WriteList(files);
    const rlim_t gib = 1ull << 30;
    RunResult r = RunLimited(Args("-add=all", 6), [&] {
        Limit(RLIMIT_STACK, gib);
        Limit(RLIMIT_AS, gib + gib / 5);
    });
    EXPECT_EQ(r.status, 2) << r.output;
    auto problems = ProblemLines(r.output);
    ASSERT_EQ(problems.size(), 1u) << r.output;
    EXPECT_NE(problems[0].find("cannot start a thread"), std::string::npos) << problems[0];
    EXPECT_EQ(FilesInOut(), 0);

    r = RunLimited(Args("-add=all", 6), [&] {
        Limit(RLIMIT_STACK, gib);
        Limit(RLIMIT_AS, 2 * gib + gib / 2);
    });
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "done."), 20) << r.output;
    EXPECT_EQ(UnzipTest(archive), 0);
#endif
}

// A file whose size says 0 but holds data (/proc) is read in normal pieces
// and compressed as one; a file that grows while read is stored as it was at
// open and named in a warning, and cannot hold the run as long as it grows.
TEST_F(ArchiverWrite, FilesThatLieAboutTheirSizeOrGrowAreReadInWholePieces) {
    STOWAWAY_NEEDS(PeerTools);
    const std::string proc = "/proc/self/smaps";  // several KiB, reported as 0 bytes
    ASSERT_TRUE(fs::exists(toPath(proc)));
    WriteList({proc});
    RunResult r = Add(6);
    EXPECT_EQ(r.status, 0) << r.output;
    std::istringstream facts(EntryFacts(Stored(proc)));
    int method = -1;
    uint64_t size = 0, packed = 0;
    facts >> method >> size >> packed;
    EXPECT_EQ(method, 8);
    EXPECT_GT(size, 1000u);
    EXPECT_LT(packed, size / 2) << "one deflate block per byte";

    // Growth comes from the archiver's own stand-in for a writer: 4 KiB
    // appended after every read, so no thread's timing decides what is seen.
    const std::vector<std::string> growing = {"PKZIP_TEST_CHANGE_ON_READ=grow:100000"};
    const std::string log = AddFile("growing.log", Text(40 << 20));
    WriteList({log});
    r = AddWith(1, growing);
    EXPECT_EQ(CountLinesWith(r.output, "done."), 1) << r.output;
    auto problems = ProblemLines(r.output);
    ASSERT_EQ(problems.size(), 1u) << r.output;
    EXPECT_NE(problems[0].find("growing.log"), std::string::npos) << problems[0];
    EXPECT_NE(problems[0].find("size changed"), std::string::npos) << problems[0];
    EXPECT_EQ(UnzipTest(archive), 0);
    std::istringstream logFacts(EntryFacts(Stored(log)));
    logFacts >> method >> size;
    EXPECT_EQ(size, 40u << 20);  // as at open, not what came later
    EXPECT_GT(fs::file_size(toPath(log)), size);

    // Small files are read whole in one call: growth shows there too, on
    // every file, and each is read again a bounded number of times.
    std::vector<std::string> logs;
    for (int i = 0; i < 40; ++i)
        logs.push_back(AddFile("small" + std::to_string(i) + ".log", Text(256 << 10)));
    WriteList(logs);
    r = AddWith(1, growing);
    EXPECT_EQ(CountLinesWith(r.output, "done."), 40) << r.output;
    problems = ProblemLines(r.output);
    EXPECT_EQ(problems.size(), 40u) << r.output;
    for (const std::string& p : problems) {
        EXPECT_NE(p.find("size changed"), std::string::npos) << p;
    }
    for (const std::string& l : logs)
        EXPECT_EQ(fs::file_size(toPath(l)), (256u << 10) + 3 * 4096) << l;
    EXPECT_EQ(UnzipTest(archive), 0);
}

// A file rewritten in place keeps its size; its modification time tells.
// It is read again until it holds still, and stored as last read with a
// warning when it never does within three reads, small or large.
TEST_F(ArchiverWrite, AFileRewrittenInPlaceWhileReadIsReadAgain) {
    const std::string f = AddFile("doc.txt", Text(300000));
    WriteList({f});
    RunResult r = AddWith(6, {"PKZIP_TEST_CHANGE_ON_READ=rewrite:1"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(ProblemLines(r.output).empty()) << r.output;
    ASSERT_NE(ReadFile(f), Text(300000)) << "the stand-in writer did not write";
    const std::string same =
        "import sys, zipfile\nprint(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2][1:]) == "
        "open(sys.argv[2], 'rb').read())";
    if (Has(stowaway::test::Facility::PeerTools)) {
        EXPECT_EQ(Python(same, {archive, f}).output, "True\n");
    }

    r = AddWith(6, {"PKZIP_TEST_CHANGE_ON_READ=rewrite:3"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "done."), 1) << r.output;
    auto problems = ProblemLines(r.output);
    ASSERT_EQ(problems.size(), 1u) << r.output;
    EXPECT_NE(problems[0].find("doc.txt: it was written to while it was read"), std::string::npos)
        << problems[0];
    EXPECT_EQ(UnzipTest(archive), 0);

    // A large file's pieces are written before the change shows: the
    // writer reads it again itself, and warns when it never holds still.
    const std::string large = AddFile("large.txt", Text(12 << 20));
    WriteList({large});
    r = AddWith(6, {"PKZIP_TEST_CHANGE_ON_READ=rewrite:1"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(ProblemLines(r.output).empty()) << r.output;
    ASSERT_NE(ReadFile(large), Text(12 << 20)) << "the stand-in writer did not write";
    if (Has(stowaway::test::Facility::PeerTools)) {
        EXPECT_EQ(Python(same, {archive, large}).output, "True\n");
    }

    r = AddWith(6, {"PKZIP_TEST_CHANGE_ON_READ=rewrite:1000"});
    EXPECT_EQ(r.status, 1) << r.output;
    problems = ProblemLines(r.output);
    ASSERT_EQ(problems.size(), 1u) << r.output;
    EXPECT_NE(problems[0].find("large.txt: it was written to while it was read"), std::string::npos)
        << problems[0];
    EXPECT_EQ(UnzipTest(archive), 0);
}

}  // namespace
