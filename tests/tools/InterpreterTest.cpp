// The command interpreter: quote splitting, redirection, echo and exit status.
#include <gtest/gtest.h>

#include <filesystem>

#include "ToolTestSupport.h"
#include "engine/ArchiverCommands.h"

namespace {

using namespace tooltest;

// Unix tools stand in for the programs a batch line starts; InterpreterProcess
// checks the same rules on every system with a program of the tests' own.
class InterpreterRun : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!Has(stowaway::test::Facility::Shell))
            GTEST_SKIP() << stowaway::test::MissingFacility(stowaway::test::Facility::Shell);
    }
    ScratchDir dir;
    std::string batch = dir / "SWTemp.bat";
    std::string out = dir / "captured output.dat";

    // Runs `args` through /usr/bin/printf so each argument comes back on a line.
    std::vector<std::string> ArgsOf(const std::string& args) {
        const RunResult r = RunBatch(batch, "@ECHO OFF",
                                     "/usr/bin/printf \"<%s>\\n\" " + args + " > " + Quoted(out));
        EXPECT_EQ(r.status, 0) << r.output;
        return Lines(ReadFile(out));
    }
};

TEST_F(InterpreterRun, SplitsByWindowsQuoteRulesAndNeverUsesAShell) {
    EXPECT_EQ(ArgsOf("plain \"two words\" -temp=\"C:\\my dir\" @\"list file\"x"),
              (std::vector<std::string>{"<plain>", "<two words>", "<-temp=C:\\my dir>",
                                        "<@list filex>"}));
    EXPECT_EQ(
        ArgsOf("$HOME `id` a;b c&d e|f * ?"),
        (std::vector<std::string>{"<$HOME>", "<`id`>", "<a;b>", "<c&d>", "<e|f>", "<*>", "<?>"}));
    EXPECT_EQ(ArgsOf("\"say \"\"hi\"\"\" a\\\"b\\\" a\\\\\"b c\" \\\\server\\share \"\""),
              (std::vector<std::string>{"<say \"hi\">", "<a\"b\">", "<a\\b c>",
                                        "<\\\\server\\share>", "<>"}));
    // '>' inside quotes is an argument, not a redirection.
    EXPECT_EQ(ArgsOf("\"a > b\""), (std::vector<std::string>{"<a > b>"}));
}

TEST_F(InterpreterRun, RedirectionTruncatesOrAppendsAndTakesStandardError) {
    WriteFile(out, "old content\n");
    RunBatch(batch, "@ECHO OFF", "/usr/bin/printf first >" + Quoted(out));
    EXPECT_EQ(ReadFile(out), "first");
    RunBatch(batch, "@ECHO OFF", "/usr/bin/printf second >> " + Quoted(out));
    EXPECT_EQ(ReadFile(out), "firstsecond");
    const std::string unquoted = dir.Path() + "/plain.dat";
    const RunResult r =
        RunBatch(batch, "@ECHO OFF",
                 "/usr/bin/python3 -c \"import sys; print('to out'); sys.stdout.flush(); "
                 "sys.stderr.write('to err\\n')\" > " +
                     Quoted(unquoted));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(unquoted), "to out\nto err\n");
    EXPECT_EQ(r.output, "");
}

TEST_F(InterpreterRun, EchoOnShowsCommandsEchoOffDoesNot) {
    RunResult r = RunBatch(batch, "@ECHO ON", "/usr/bin/printf hello > " + Quoted(out));
    EXPECT_NE(r.output.find("/usr/bin/printf hello"), std::string::npos) << r.output;
    r = RunBatch(batch, "@ECHO OFF", "/usr/bin/printf hello > " + Quoted(out));
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(ReadFile(out), "hello");
}

TEST_F(InterpreterRun, ExitStatusIsTheLastCommandsAndUnstartableProgramsFail) {
    WriteFile(batch, "@ECHO OFF\r\n/bin/false\r\n/usr/bin/python3 -c \"raise SystemExit(3)\"\r\n");
    EXPECT_EQ(RunProgram({InterpreterPath(), "/c", batch}).status, 3);
    WriteFile(batch, "@ECHO OFF\r\n/bin/false\r\n/bin/true\r\n");
    EXPECT_EQ(RunProgram({InterpreterPath(), "/c", batch}).status, 0);

    RunResult r = RunBatch(batch, "@ECHO OFF", Quoted(dir / "no such program.exe") + " -x");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(Lines(r.output).size(), 1u) << r.output;
    // With a redirection the message goes where standard error goes.
    r = RunBatch(batch, "@ECHO OFF", "no-such-program-anywhere > " + Quoted(out));
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(Lines(ReadFile(out)).size(), 1u);
    EXPECT_NE(RunProgram({InterpreterPath(), "/c", dir / "missing.bat"}).status, 0);
}

TEST_F(InterpreterRun, FindsABareProgramNameBesideTheBatchFile) {
    const std::string tool = dir / "Helper.EXE";
    WriteFile(tool, "#!/bin/sh\necho helper ran \"$1\"\n");
    fs::permissions(toPath(tool), fs::perms(0755));
    // Lower-cased, as the backup program writes its lines.
    const RunResult r = RunBatch(batch, "@ECHO OFF", "helper.exe \"a $b\" > " + Quoted(out));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(ReadFile(out), "helper ran a $b\n");
}

TEST_F(InterpreterRun, QuotedPathsEndingInBackslashesArriveWhole) {
    // What the backup program writes for names that are legal on POSIX.
    const stowaway::PathStyle posix = stowaway::PathStyle::Posix();
    const std::vector<std::string> paths = {"/x/trail\\", "/x/two words\\\\", "/x/tab\there\\",
                                            "/x/in\\ner/f.zip", "\\\\lead"};
    std::string args;
    std::vector<std::string> expected;
    for (const std::string& path : paths) {
        args += "-temp=" + stowaway::QuotedArgument(posix, path) + " " +
                stowaway::QuoteIfBlank(posix, path) + " ";
        expected.push_back("<-temp=" + path + ">");
        expected.push_back("<" + path + ">");
    }
    EXPECT_EQ(ArgsOf(args), expected);
}

TEST_F(InterpreterRun, LinesMayEndInCrLfLfOrCrAlone) {
    for (const std::string end : {"\r\n", "\n", "\r"}) {
        SCOPED_TRACE(end == "\r" ? "CR" : end == "\n" ? "LF" : "CR LF");
        const std::string first = dir / "first.dat", second = dir / "second.dat";
        std::filesystem::remove(toPath(first));
        std::filesystem::remove(toPath(second));
        WriteFile(batch, "@ECHO OFF" + end + "/usr/bin/printf one > " + Quoted(first) + end +
                             "/usr/bin/printf two > " + Quoted(second) + end);
        const RunResult r = RunProgram({InterpreterPath(), "/c", batch});
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(r.output, "");  // ECHO OFF was a line of its own
        EXPECT_EQ(ReadFile(first), "one");
        EXPECT_EQ(ReadFile(second), "two");
    }
}

}  // namespace
