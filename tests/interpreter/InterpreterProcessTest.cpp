// The command interpreter as the program starts it, on every system it is built
// for: batch lines run tests/child, which reports what it was given.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/NativePlatform.h"
#include "platform/NativeText.h"
#include "platform/os/Process.h"
#include "support/SecretPipe.h"
#include "support/TestPlatforms.h"

namespace stowaway::os {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr const char* kSlash = "\\";
constexpr const char* kExe = ".exe";
#else
constexpr const char* kSlash = "/";
constexpr const char* kExe = "";
#endif

// Built beside the tests; the interpreter in the program folder beside them.
std::string TestsFolder() {
    return NativePlatform::ExecutableFolder();
}
std::string Interpreter() {
    return TestsFolder() + kSlash + ".." + kSlash + "program" + kSlash + "stowaway-cmd" + kExe;
}
std::string Child() {
    return TestsFolder() + kSlash + "stowaway_test_child" + kExe;
}
std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

class InterpreterProcess : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::string batch = dir.path() + kSlash + "SWTemp.bat";
    std::string out = dir.path() + kSlash + "captured output.dat";

    // Writes the lines as the program does (CR LF) and runs them; the
    // interpreter's own output comes back with the status.
    Process::Finished RunLines(const std::vector<std::string>& lines,
                               NativeHandle passed = NoHandle) {
        std::string text = "@ECHO OFF\r\n";
        for (const std::string& line : lines) text += line + "\r\n";
        test::WriteFile(batch, text);
        SpawnSpec spec;
        spec.arguments = {Interpreter(), "/c", batch};
        spec.input = Stream::Null();
        spec.output = Stream::Pipe();
        spec.error = Stream::SameAsOutput();
        spec.passed = passed;
        spec.passedAs = passed == NoHandle ? -1 : 3;
        Process process = Process::Start(spec);
        EXPECT_TRUE(process.started()) << Interpreter();
        return process.communicate({});
    }
};

TEST_F(InterpreterProcess, SplitsByWindowsQuoteRulesAndNeverUsesAShell) {
    const Process::Finished run =
        RunLines({Quoted(Child()) + " 0 plain \"two words\" \"say \"\"hi\"\"\" $HOME;&|`id` " +
                  "-temp=\"C:\\my dir\\\\\" > " + Quoted(out)});
    EXPECT_EQ(run.ending.status, 0) << run.output;
    EXPECT_EQ(test::ReadFile(out),
              "argument: 0\nargument: plain\nargument: two words\nargument: say \"hi\"\n"
              "argument: $HOME;&|`id`\nargument: -temp=C:\\my dir\\\n");
}

TEST_F(InterpreterProcess, RedirectionTruncatesOrAppendsAndTakesStandardError) {
    test::WriteFile(out, "old content\n");
    RunLines({Quoted(Child()) + " err oops > " + Quoted(out)});
    EXPECT_EQ(test::ReadFile(out), "oopsout");
    const Process::Finished run = RunLines({Quoted(Child()) + " err again >> " + Quoted(out)});
    EXPECT_EQ(test::ReadFile(out), "oopsoutagainout");
    EXPECT_EQ(run.output, "");
}

TEST_F(InterpreterProcess, TheLastLinesStatusIsTheBatchsAndAMissingProgramFails) {
    EXPECT_EQ(RunLines({Quoted(Child()) + " 5", Quoted(Child()) + " 3"}).ending.status, 3);
    const std::string missing = dir.path() + kSlash + "no such program.exe";
    Process::Finished run = RunLines({Quoted(missing) + " -x"});
    EXPECT_EQ(run.ending.status, 127);
    EXPECT_NE(run.output.find("stowaway-cmd: cannot start"), std::string::npos) << run.output;
    // With a redirection the message goes where standard error goes.
    run = RunLines({"no-such-program-anywhere > " + Quoted(out)});
    EXPECT_EQ(run.ending.status, 127);
    EXPECT_NE(test::ReadFile(out).find("program not found"), std::string::npos);
}

TEST_F(InterpreterProcess, FindsABareProgramNameBesideTheBatchFileInAnyCase) {
    fs::copy_file(toPath(Child()), toPath(dir.path() + kSlash + "Helper" + kExe));
    // Lower-cased, as the backup program writes its lines.
    const Process::Finished run =
        RunLines({std::string("helper") + kExe + " 4 \"a $b\" > " + Quoted(out)});
    EXPECT_EQ(run.ending.status, 4) << run.output;
    EXPECT_EQ(test::ReadFile(out), "argument: 4\nargument: a $b\n");
}

// The password's pipe reaches only the line that names it, once.
TEST_F(InterpreterProcess, APassedDescriptorGoesOnlyToTheLineNamingIt) {
    const test::SecretPipe secret("secret\n");
    const NativeHandle passed = secret.readEnd();
    ASSERT_NE(passed, NoHandle);
    const std::string first = dir.path() + kSlash + "first.dat";
    const std::string second = dir.path() + kSlash + "second.dat";
    const std::string third = dir.path() + kSlash + "third.dat";
    const Process::Finished run =
        RunLines({Quoted(Child()) + " fd 3 > " + Quoted(first),
                  Quoted(Child()) + " fd 3 -password-fd=3 > " + Quoted(second),
                  Quoted(Child()) + " fd 3 -PASSWORD-FD=3 > " + Quoted(third)},
                 passed);
    EXPECT_EQ(run.ending.status, 0) << run.output;
    EXPECT_EQ(test::ReadFile(first), "fd 3: closed\n");
    EXPECT_EQ(test::ReadFile(second), "fd 3: secret\n\n");
    EXPECT_EQ(test::ReadFile(third), "fd 3: closed\n");
}

}  // namespace
}  // namespace stowaway::os
