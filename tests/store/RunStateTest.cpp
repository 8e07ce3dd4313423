#include "store/RunState.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <thread>

#include "platform/InstanceLock.h"
#include "store/RunStateFile.h"
#include "support/SystemSupport.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr std::time_t Day = 24 * 60 * 60;
constexpr std::time_t Dec5 = 1764908461;  // 2025-12-05T04:21:01Z

CrateRunState FailedRun(const std::string& name) {
    CrateRunState s;
    s.name = name;
    s.firstRun = Dec5 - 30 * Day;
    s.started = Dec5;
    s.ended = Dec5 + 129;
    s.result = RunResult::Failed;
    s.error = "The folder C:\\Gone does not exist.\r\nsecond line\tand a tab";
    s.files = 118;
    s.bytes = 5'000'000'000ULL;
    s.archiveBytes = 1234567;
    s.durationSeconds = 129;
    s.lastGood = Dec5 - 2 * Day;
    s.failureStreak = 3;
    s.failureAlerted = true;
    return s;
}

void ExpectSame(const CrateRunState& a, const CrateRunState& b) {
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.firstRun, b.firstRun);
    EXPECT_EQ(a.started, b.started);
    EXPECT_EQ(a.ended, b.ended);
    EXPECT_EQ(a.result, b.result);
    EXPECT_EQ(a.error, b.error);
    EXPECT_EQ(a.files, b.files);
    EXPECT_EQ(a.bytes, b.bytes);
    EXPECT_EQ(a.archiveBytes, b.archiveBytes);
    EXPECT_EQ(a.durationSeconds, b.durationSeconds);
    EXPECT_EQ(a.lastGood, b.lastGood);
    EXPECT_EQ(a.failureStreak, b.failureStreak);
    EXPECT_EQ(a.failureAlerted, b.failureAlerted);
    EXPECT_EQ(a.overdueAlerted, b.overdueAlerted);
}

// Every name a Crate can have comes back as it was, one section each, and is
// found again whatever its letter case.
TEST(RunState, NamesAndValuesOfEveryKindRoundTrip) {
    const std::vector<std::string> names = {"Documents",
                                            "Daily Files",
                                            "say \"hi\" 'there'",
                                            "[bracketed]",
                                            "ends in ]",
                                            "100% $HOME `x`",
                                            "back\\slash\\",
                                            "Ünïcødé ☃ 日本",
                                            "# not a comment",
                                            "; nor this",
                                            "a=b",
                                            std::string("nul\0in", 7),
                                            "line\nbreak\rcr",
                                            "\x01\x7f control"};
    RunStateTable table;
    for (const std::string& name : names) table.crates.push_back(FailedRun(name));
    const std::string text = FormatRunState(table);

    const RunStateParse back = ParseRunState(text);
    EXPECT_EQ(back.problem, "");
    ASSERT_EQ(back.table.crates.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        ExpectSame(back.table.crates[i], table.crates[i]);
    // One line per key: nothing a name or error holds breaks a line.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(names.size() * 14));
    ASSERT_NE(back.table.find("  DAILY files "), nullptr);
    EXPECT_EQ(back.table.find("  DAILY files ")->name, "Daily Files");
    ASSERT_NE(back.table.find("ünïcødé ☃ 日本"), nullptr);
    EXPECT_EQ(back.table.find("ünïcødé ☃ 日本")->name, "Ünïcødé ☃ 日本");
    EXPECT_EQ(back.table.find("Daily"), nullptr);
}

TEST(RunState, UnknownKeysAndCommentsAreKept) {
    const std::string text =
        "# written by a later version\n"
        "[Documents]\n"
        "result=ok\n"
        "schedule_hint=every 4h\n"
        "; a note\n"
        "files=12\n";
    RunStateParse parse = ParseRunState(text);
    EXPECT_EQ(parse.problem, "");
    CrateRunState& docs = parse.table.entry("documents");
    docs.files = 13;
    const std::string again = FormatRunState(parse.table);
    EXPECT_EQ(again.rfind("# written by a later version\n[Documents]\n", 0), 0u);
    EXPECT_NE(again.find("\nfiles=13\n"), std::string::npos);
    EXPECT_NE(again.find("\nschedule_hint=every 4h\n; a note\n"), std::string::npos);
    EXPECT_EQ(again.find("files=12"), std::string::npos);
}

// A file saved by a Windows editor (line ends of one or more carriage returns)
// reads as the same sections, and saving it again changes nothing more.
TEST(RunState, CarriageReturnsEndLines) {
    const RunStateParse parse = ParseRunState("; note\r\n[Documents]\r\r\nfiles=12\r\n");
    EXPECT_EQ(parse.problem, "");
    ASSERT_NE(parse.table.find("Documents"), nullptr);
    EXPECT_EQ(parse.table.find("Documents")->files, 12u);
    const std::string saved = FormatRunState(parse.table);
    EXPECT_EQ(FormatRunState(ParseRunState(saved).table), saved);
}

// A damaged file still gives every section it can: the problem names the first
// bad line, and the bad values are left out rather than guessed.
TEST(RunState, ADamagedFileGivesWhatCanBeReadAndSaysWhere) {
    struct Case {
        const char* text;
        const char* problem;
    };
    const Case cases[] = {
        {"[A]\nresult=ok\ngarbage without equals\n[B]\nfiles=7\n",
         "line 3: a line that is not key=value"},
        {"stray=1\n[A]\nresult=ok\n[B]\nfiles=7\n", "line 1: a line before the first Crate"},
        {"[A]\nresult=ok\nended=2026-02-30T10:00:00Z\n[B]\nfiles=7\n",
         "line 3: the value of ended cannot be read"},
        {"[A]\nresult=ok\nfiles=-4\n[B]\nfiles=7\n", "line 3: the value of files cannot be read"},
        {"[A]\nresult=ok\n[bad\\q]\nresult=failed\n[B]\nfiles=7\n",
         "line 3: a Crate name that cannot be read"},
        {"[A]\nresult=ok\n[a]\nerror=x\\\n[B]\nfiles=7\n",
         "line 3: a second section for the Crate a"},
        {"[A]\r\nresult=ok\r\nresult=maybe\r\n[B]\r\nfiles=7\r\n",
         "line 3: the value of result cannot be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const RunStateParse parse = ParseRunState(c.text);
        EXPECT_EQ(parse.problem, c.problem);
        ASSERT_NE(parse.table.find("A"), nullptr);
        EXPECT_EQ(parse.table.find("A")->result, RunResult::Ok);
        ASSERT_NE(parse.table.find("B"), nullptr);
        EXPECT_EQ(parse.table.find("B")->files, 7u);
    }
    // Bytes that are not text at all: nothing is read, nothing breaks.
    const RunStateParse binary =
        ParseRunState(std::string("\x7f"
                                  "ELF\0\0\x01\n\xff\xfe",
                                  10));
    EXPECT_NE(binary.problem, "");
    EXPECT_TRUE(binary.table.crates.empty());
}

TEST(RunState, TimesAreUtcAndStrict) {
    EXPECT_EQ(FormatStateTime(Dec5), "2025-12-05T04:21:01Z");
    EXPECT_EQ(ParseStateTime("2025-12-05T04:21:01Z"), Dec5);
    EXPECT_EQ(ParseStateTime("2024-02-29T00:00:00Z"), 1709164800);
    for (const char* bad : {"2025-12-05T04:21:01", "2025-12-05 04:21:01Z", "2025-12-05T04:21:01Z ",
                            "2025-13-05T04:21:01Z", "2025-02-29T00:00:00Z", "1764908461", "",
                            // Written back without its leading zero, it would not read again.
                            "0226-12-07T17:30:00Z"})
        EXPECT_EQ(ParseStateTime(bad), std::nullopt) << bad;
}

TEST(RunState, OverdueCountsFromTheLastGoodBackupOrTheFirstRun) {
    CrateRunState never;
    EXPECT_FALSE(IsOverdue(never, Dec5, 7));  // nothing tells since when

    CrateRunState good;
    good.firstRun = Dec5 - 100 * Day;
    good.lastGood = Dec5 - 7 * Day + 1;
    EXPECT_FALSE(IsOverdue(good, Dec5, 7));
    good.lastGood = Dec5 - 7 * Day;
    EXPECT_TRUE(IsOverdue(good, Dec5, 7));
    EXPECT_FALSE(IsOverdue(good, Dec5, 0));  // 0: never overdue
    EXPECT_FALSE(IsOverdue(good, Dec5, 8));

    CrateRunState onlyFailures;
    onlyFailures.firstRun = Dec5 - 9 * Day;
    onlyFailures.failureStreak = 9;
    EXPECT_TRUE(IsOverdue(onlyFailures, Dec5, 7));
    EXPECT_FALSE(IsOverdue(onlyFailures, Dec5, 10));
}

class RunStateFileTest : public ::testing::Test {
  protected:
    TempDir dir;
    NativePlatform platform{dir.path()};
    std::string path = RunStatePath(platform, dir.path());

    RunStateSave Record(const std::string& name, int waitMilliseconds = 10000) {
        return UpdateRunState(
            platform, path, [&](RunStateTable& table) { table.entry(name).result = RunResult::Ok; },
            waitMilliseconds);
    }
};

TEST_F(RunStateFileTest, AMissingFileIsEmptyAndTheFirstUpdateMakesIt) {
    EXPECT_EQ(path, dir / "Stowaway.state");
    const RunStateParse none = ReadRunState(platform, path);
    EXPECT_EQ(none.problem, "");
    EXPECT_TRUE(none.table.crates.empty());

    EXPECT_TRUE(Record("Documents").saved);
    EXPECT_TRUE(Record("Mail").saved);
    const RunStateParse read = ReadRunState(platform, path);
    EXPECT_EQ(read.problem, "");
    ASSERT_EQ(read.table.crates.size(), 2u);
    EXPECT_EQ(read.table.crates[1].name, "Mail");
    EXPECT_EQ(ReadFile(path).rfind("# Stowaway", 0), 0u);
}

TEST_F(RunStateFileTest, ADamagedFileIsKeptBesideItAndReplacedByASoundOne) {
    const std::string damaged = "[Documents]\nresult=ok\n\x01\x02 binary junk\n";
    WriteFile(path, damaged);
    const RunStateParse read = ReadRunState(platform, path);
    EXPECT_EQ(read.problem, "line 3: a line that is not key=value");
    EXPECT_NE(RunStateProblemText(path, read.problem).find("Stowaway.state.damaged"),
              std::string::npos);

    const RunStateSave save = Record("Mail");
    EXPECT_TRUE(save.saved);
    EXPECT_EQ(save.keptCopy, path + ".damaged");
    EXPECT_EQ(ReadFile(path + ".damaged"), damaged);
    const RunStateParse after = ReadRunState(platform, path);
    EXPECT_EQ(after.problem, "");
    ASSERT_EQ(after.table.crates.size(), 2u);
    EXPECT_EQ(after.table.find("documents")->result, RunResult::Ok);
}

// Two runs that end together: the second waits for the first's lock and then
// reads what the first wrote, so neither update is lost. A holder that never
// lets go makes an update give up after its bound without touching the file.
TEST_F(RunStateFileTest, UpdatesTakeTurnsUnderTheLock) {
    ASSERT_TRUE(Record("Before").saved);
    const std::string before = ReadFile(path);
    {
        InstanceLock held(path + ".lock");
        ASSERT_EQ(held.state(), InstanceLock::State::Owned);
        const RunStateSave refused = Record("Refused", 0);
        EXPECT_FALSE(refused.saved);
        EXPECT_NE(refused.problem.find("locked"), std::string::npos);
        EXPECT_EQ(ReadFile(path), before);
    }

    std::thread other;
    bool otherSaved = false;
    const RunStateSave first = UpdateRunState(platform, path, [&](RunStateTable& table) {
        table.entry("First").files = 1;
        // The other run ends now; it may not read until this one has written.
        other = std::thread([&] { otherSaved = Record("Second").saved; });
    });
    ASSERT_TRUE(first.saved);
    other.join();
    EXPECT_TRUE(otherSaved);
    const RunStateParse read = ReadRunState(platform, path);
    EXPECT_NE(read.table.find("Before"), nullptr);
    EXPECT_NE(read.table.find("First"), nullptr);
    EXPECT_NE(read.table.find("Second"), nullptr);
}

TEST_F(RunStateFileTest, AReadOnlyFolderIsToldAndLeftAsItWas) {
    STOWAWAY_NEEDS(OtherUsers);
    ASSERT_TRUE(Record("Documents").saved);
    const std::string before = ReadFile(path);
    test::LetEveryoneIn(dir.path());
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_TRUE(test::RunAsOrdinaryUser([&] {
        const RunStateSave save = Record("Mail");
        return !save.saved && save.problem.find("cannot be written") != std::string::npos;
    }));
    EXPECT_EQ(ReadFile(path), before);
}

}  // namespace
}  // namespace stowaway
