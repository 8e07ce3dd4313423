// The archiver's restore of chosen names (@NAMEFILE): exactly the entries
// named are written, with every safety check of a whole restore.
#include <gtest/gtest.h>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

class ArchiverRestoreList : public RestoreFixture {
  protected:
    std::string names = dir / "names list.lst";

    void WriteNames(const std::vector<std::string>& listed) {
        std::string text;
        for (const std::string& n : listed) text += n + "\n";
        WriteFile(names, text);
    }
    // Nobody at the console: standard input is /dev/null.
    RunResult RestoreNamed(std::vector<std::string> options = {"-extract=all"}) {
        std::vector<std::string> argv = {Archiver()};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.insert(argv.end(), {"-dir=relative", archive, target, "@" + names});
        return RunProgram(argv);
    }
    std::vector<std::string> Written() const {
        std::vector<std::string> out;
        for (const auto& e : fs::recursive_directory_iterator(toPath(target)))
            if (e.is_regular_file())
                out.push_back(fromPath(fs::relative(e.path(), toPath(target))));
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(ArchiverRestoreList, WritesExactlyTheNamedEntriesWhateverCharactersTheyHold) {
    Make(
        "add('home/u/Gr\\u00fc\\u00dfe \\u65e5\\u672c.txt', 'utf8')\n"
        "add('home/u/with blanks  and \"quotes\" and \\'single\\'.txt', 'quotes')\n"
        "add('home/u/star*.txt', 'star')\n"
        "add('home/u/starfish.txt', 'not asked')\n"
        "add('home/u/-leading dash', 'dash')\n"
        "add('home/u/docs/a.txt', 'a')\n"
        "add('home/u/docs/sub/b.txt', 'b')\n"
        "add('home/u/docs.txt', 'not under docs/')\n"
        "add('home/u/other/c.txt', 'not asked')\n"
        "add('home/u/trailing blank ', 'blank')\n");
    WriteNames({"home/u/Grüße 日本.txt", "home/u/with blanks  and \"quotes\" and 'single'.txt",
                "home/u/star*.txt", "home/u/-leading dash", "home/u/docs/",
                "home/u/trailing blank "});
    const RunResult r = RestoreNamed();
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(ProblemLines(r.output).empty()) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Inflating:"), 7) << r.output;
    const std::vector<std::string> expected = {
        "home/u/-leading dash",
        "home/u/Grüße 日本.txt",
        "home/u/docs/a.txt",
        "home/u/docs/sub/b.txt",
        "home/u/star*.txt",
        "home/u/trailing blank ",
        "home/u/with blanks  and \"quotes\" and 'single'.txt"};
    EXPECT_EQ(Written(), expected);
    EXPECT_EQ(ReadFile(target + "/home/u/Grüße 日本.txt"), "utf8");
    EXPECT_EQ(ReadFile(target + "/home/u/star*.txt"), "star");
    EXPECT_EQ(ReadFile(target + "/home/u/docs/sub/b.txt"), "b");
}

TEST_F(ArchiverRestoreList, NameFileWithBlanksAndShellCharactersComesThroughTheBatchLine) {
    Make("add('a/one.txt', '1')\nadd('a/two.txt', '2')\n");
    WriteNames({"a/two.txt"});
    const std::string output = dir / "SWTemp.dat";
    const RunResult r =
        RunBatch(dir / "SWTemp.bat", "@ECHO OFF",
                 Archiver() + " -extract=all -dir=relative " + Quoted(archive) + " " +
                     Quoted(target) + " @" + Quoted(names) + " > " + Quoted(output));
    const std::string out = ReadFile(output);
    EXPECT_EQ(r.status, 0) << out;
    EXPECT_EQ(Written(), std::vector<std::string>{"a/two.txt"});
}

TEST_F(ArchiverRestoreList, ANameNotInTheArchiveIsAWarningAndTheOthersAreStillRestored) {
    Make("add('a/one.txt', '1')\nadd('a/two.txt', '2')\n");
    // Near misses: another letter case, a folder without its slash, a folder
    // that holds nothing.
    WriteNames({"a/one.txt", "A/TWO.TXT", "a", "b/", "a/two.txt/"});
    const RunResult r = RestoreNamed();
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(ProblemLines(r.output),
              (std::vector<std::string>{"PKZIP: warning: A/TWO.TXT is not in the archive",
                                        "PKZIP: warning: a is not in the archive",
                                        "PKZIP: warning: b/ is not in the archive",
                                        "PKZIP: warning: a/two.txt/ is not in the archive"}))
        << r.output;
    EXPECT_EQ(Written(), std::vector<std::string>{"a/one.txt"});
}

TEST_F(ArchiverRestoreList, KeepsEverySafetyCheckForTheChosenEntriesAndIgnoresTheOthers) {
    const std::string outside = dir / "outside";
    fs::create_directories(outside);
    fs::create_directory_symlink(outside, target + "/linked");
    Make(
        "add('../escape.txt', 'out')\n"
        "add('linked/through.txt', 'through a link')\n"
        "add('fine.txt', 'fine')\n"
        "add('../not asked.txt', 'not asked')\n");
    WriteNames({"../escape.txt", "linked/through.txt", "fine.txt"});
    const RunResult r = RestoreNamed();
    EXPECT_EQ(r.status, 1) << r.output;
    const std::vector<std::string> problems = ProblemLines(r.output);
    ASSERT_EQ(problems.size(), 2u) << r.output;
    EXPECT_NE(r.output.find("refused ../escape.txt"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("symbolic link linked"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("not asked"), std::string::npos) << r.output;
    EXPECT_TRUE(fs::is_empty(toPath(outside)));
    EXPECT_FALSE(fs::exists(toPath(dir / "escape.txt")));
    EXPECT_EQ(ReadFile(target + "/fine.txt"), "fine");
}

TEST_F(ArchiverRestoreList, ANewerFileIsKeptUnlessTheCallerSaysToReplaceIt) {
    Make("add('a.txt', 'archived')\nadd('b.txt', 'archived')\n");
    WriteNames({"a.txt"});
    WriteFile(target + "/a.txt", "newer on disk");
    WriteFile(target + "/b.txt", "not asked");
    RunResult r = RestoreNamed();
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(CountLinesWith(r.output, "Kept newer: a.txt"), 1) << r.output;
    EXPECT_EQ(ReadFile(target + "/a.txt"), "newer on disk");

    r = RestoreNamed({"-extract=all", "-newer=replace"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFile(target + "/a.txt"), "archived");
    EXPECT_EQ(ReadFile(target + "/b.txt"), "not asked");
}

TEST_F(ArchiverRestoreList, ANameFileMustComeLastAndBeReadableBeforeAnythingIsWritten) {
    Make("add('a.txt', 'a')\n");
    target = dir / "new target";
    RunResult r = RestoreNamed();  // the name file does not exist
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_NE(r.output.find("cannot read the name file"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(toPath(target)));

    WriteNames({"a.txt"});
    r = RunWith({Archiver(), "-extract=all", "-dir=relative", archive, "@" + names, target},
                RunSetup{});
    EXPECT_NE(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("one name file, as its last argument"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(toPath(target)));
}

}  // namespace
