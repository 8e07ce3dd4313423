// The one spawn helper, on the system the tests run on, with tests/child as the
// program it starts.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/CommandLineSplit.h"
#include "platform/NativePlatform.h"
#include "platform/os/Interrupt.h"
#include "platform/os/Process.h"
#include "support/SecretPipe.h"
#include "support/TestPlatforms.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace stowaway::os {
namespace {

std::string Child() {
#ifdef _WIN32
    return NativePlatform::ExecutableFolder() + "\\stowaway_test_child.exe";
#else
    return NativePlatform::ExecutableFolder() + "/stowaway_test_child";
#endif
}

std::string Join(const std::string& folder, const std::string& name) {
#ifdef _WIN32
    return folder + "\\" + name;
#else
    return folder + "/" + name;
#endif
}

SpawnSpec ChildSpec(std::vector<std::string> arguments) {
    SpawnSpec spec;
    spec.arguments = {Child()};
    spec.arguments.insert(spec.arguments.end(), arguments.begin(), arguments.end());
    spec.input = Stream::Null();
    spec.output = Stream::Pipe();
    spec.error = Stream::Pipe();
    return spec;
}

Process::Finished RunChild(const SpawnSpec& spec, std::string_view input = {}) {
    Process process = Process::Start(spec);
    EXPECT_TRUE(process.started());
    return process.communicate(input);
}

// Reads the output until it holds `text` (or ends); the test never depends on how long.
std::string ReadUntil(Process& process, const std::string& text) {
    std::string output;
    while (output.find(text) == std::string::npos && !process.outputEnded()) {
        output += process.readOutput();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return output;
}

TEST(CommandLineQuote, EveryArgumentComesBackAsItWas) {
    const std::vector<std::string> arguments = {"C:\\Program Files\\Stowaway\\PKZIP25.EXE",
                                                "plain",
                                                "",
                                                "two words",
                                                "say \"hi\"",
                                                "C:\\folder with blanks\\",
                                                "a\\\\\"b",
                                                "\\\\server\\share\\",
                                                "tab\there",
                                                "-temp=C:\\x y",
                                                "$HOME;&|`x`*",
                                                "\xc3\x84RGER"};
    EXPECT_EQ(SplitCommandLine(QuoteCommandLine(arguments)), arguments);
    EXPECT_EQ(QuoteCommandLine({"prog", "a b", "c"}), "\"prog\" \"a b\" c");
}

TEST(Process, ArgumentsReachTheProgramUnchangedWithoutAShell) {
    const std::vector<std::string> odd = {"two words", "say \"hi\"",   "C:\\dir\\",
                                          "a\\\\\"b",  "$HOME;&|`x`*", ""};
    SpawnSpec spec = ChildSpec({"7"});
    spec.arguments.insert(spec.arguments.end(), odd.begin(), odd.end());
    const Process::Finished run = RunChild(spec);
    EXPECT_EQ(run.ending.status, 7);
    EXPECT_FALSE(run.ending.signalled);
    std::string expected = "argument: 7\n";
    for (const std::string& argument : odd) expected += "argument: " + argument + "\n";
    EXPECT_EQ(run.output, expected);
}

TEST(Process, StreamsArePipesFilesTheNullDeviceOrOneForBoth) {
    // Output and errors apart, input from a pipe.
    SpawnSpec spec = ChildSpec({"err", "to errors"});
    Process::Finished run = RunChild(spec);
    EXPECT_EQ(run.output, "out");
    EXPECT_EQ(run.errors, "to errors");

    // Both into one pipe.
    spec.error = Stream::SameAsOutput();
    run = RunChild(spec);
    EXPECT_EQ(run.output, "to errorsout");
    EXPECT_EQ(run.errors, "");

    // Input from a pipe, then from the null device: nothing to read.
    spec = ChildSpec({"0"});
    spec.input = Stream::Pipe();
    run = RunChild(spec, "typed line\r\n");
    EXPECT_EQ(run.output, "argument: 0\ngot: typed line\n");
    spec.input = Stream::Null();
    run = RunChild(spec, "");
    EXPECT_EQ(run.output, "argument: 0\n");

    // Output into a file, truncated, then appended to; input from a file.
    test::TempDir dir;
    const std::string file = Join(dir.path(), "out put.txt");
    test::WriteFile(file, "old text that goes\n");
    spec = ChildSpec({"1"});
    spec.output = Stream::ToFile(file);
    spec.error = Stream::SameAsOutput();
    EXPECT_EQ(RunChild(spec).ending.status, 1);
    EXPECT_EQ(test::ReadFile(file), "argument: 1\n");
    spec.output = Stream::ToFile(file, true);
    spec.input = Stream::FromFile(file);
    EXPECT_EQ(RunChild(spec).ending.status, 1);
    EXPECT_EQ(test::ReadFile(file), "argument: 1\nargument: 1\ngot: argument: 1\n");
}

TEST(Process, WhatCannotStartSaysWhyAndWhichFile) {
    test::TempDir dir;
    SpawnFailure failure;
    SpawnSpec spec = ChildSpec({"0"});
    spec.output = Stream::ToFile(Join(Join(dir.path(), "no such folder"), "out.txt"));
    EXPECT_FALSE(Process::Start(spec, &failure).started());
    EXPECT_EQ(failure.file, Join(Join(dir.path(), "no such folder"), "out.txt"));
    EXPECT_FALSE(failure.reason.empty());

    failure = {};
    spec = ChildSpec({"0"});
    spec.arguments[0] = Join(dir.path(), "none.exe");
    EXPECT_FALSE(Process::Start(spec, &failure).started());
    EXPECT_EQ(failure.file, "");
    EXPECT_FALSE(failure.reason.empty());

    spec.arguments = {};
    EXPECT_FALSE(Process::Start(spec).started());
    spec.arguments = {Child(), std::string("nul\0inside", 10)};
    EXPECT_FALSE(Process::Start(spec).started());
}

TEST(Process, AnAddedVariableReachesTheProgramAndReplacesOurs) {
    SpawnSpec spec = ChildSpec({"env", "STOWAWAY_PROCESS_TEST"});
    EXPECT_EQ(RunChild(spec).output, "STOWAWAY_PROCESS_TEST unset\n");
    spec.environment = {"STOWAWAY_PROCESS_TEST=a value"};
    EXPECT_EQ(RunChild(spec).output, "STOWAWAY_PROCESS_TEST=a value\n");
    spec = ChildSpec({"env", "PATH"});
    spec.environment = {"PATH=replaced"};
    EXPECT_EQ(RunChild(spec).output, "PATH=replaced\n");
}

TEST(Process, ABareNameIsLookedForInThePathOnlyWhenAsked) {
#ifdef _WIN32
    const std::string bare = "cmd.exe";
    const std::vector<std::string> arguments = {bare, "/c", "exit 3"};
#else
    const std::string bare = "sh";
    const std::vector<std::string> arguments = {bare, "-c", "exit 3"};
#endif
    SpawnSpec spec;
    spec.arguments = arguments;
    spec.output = Stream::Null();
    spec.searchPath = true;
    Process found = Process::Start(spec);
    ASSERT_TRUE(found.started());
    EXPECT_EQ(found.wait().status, 3);
    spec.searchPath = false;
    EXPECT_FALSE(Process::Start(spec).started());
}

// Both outputs are read while the input is written: a program that writes as it
// reads cannot leave either side waiting on a full pipe.
TEST(Process, CommunicateMovesMoreThanAPipeHoldsEachWay) {
    std::string input;
    for (int i = 0; input.size() < (1u << 20); ++i) input += "line " + std::to_string(i) + "\n";
    SpawnSpec spec = ChildSpec({"copy"});
    spec.input = Stream::Pipe();
    const Process::Finished run = RunChild(spec, input);
    EXPECT_EQ(run.ending.status, 0);
    EXPECT_TRUE(run.output == input) << run.output.size() << " of " << input.size();
    EXPECT_TRUE(run.errors == input) << run.errors.size() << " of " << input.size();
}

TEST(Process, PollWriteAndTerminateFollowTheProgram) {
    SpawnSpec spec = ChildSpec({"wait"});
    spec.input = Stream::Pipe();
    Process process = Process::Start(spec);
    ASSERT_TRUE(process.started());
    EXPECT_NE(process.id(), 0);
    EXPECT_FALSE(process.poll().has_value());
    EXPECT_TRUE(process.writeInput("a line\n"));
    ReadUntil(process, "argument: wait");
    EXPECT_TRUE(process.terminate());
    const Ending ending = process.wait();
    EXPECT_NE(ending.status, 0);
#ifndef _WIN32
    EXPECT_TRUE(ending.signalled);
    EXPECT_EQ(ending.status, 128 + 15);
#endif
    EXPECT_FALSE(process.terminate()) << "it has ended";
    EXPECT_FALSE(process.writeInput("too late\n"));
    EXPECT_TRUE(process.poll().has_value());
}

// The programs it started end with it: the output pipe they share ends only
// when every one of them has gone.
TEST(Process, TerminateEndsEveryProgramItStarted) {
    Process process = Process::Start(ChildSpec({"tree"}));
    ASSERT_TRUE(process.started());
    // Either may speak first.
    std::string said = ReadUntil(process, "started");
    if (said.find("argument: wait") == std::string::npos)
        said += ReadUntil(process, "argument: wait");
    ASSERT_NE(said.find("started"), std::string::npos) << said;
    ASSERT_NE(said.find("argument: wait"), std::string::npos) << said;
    EXPECT_TRUE(process.terminate());
    const Process::Finished rest = process.communicate({});
    EXPECT_TRUE(process.outputEnded());
    EXPECT_NE(rest.ending.status, 0);
}

// The password's pipe: one descriptor under the number the program is told, and
// nothing else of ours, inheritable or not.
TEST(Process, OnlyThePassedDescriptorIsInheritedUnderItsNumber) {
    // Inheritable, as a careless caller's would be.
    const test::SecretPipe secret("secret\n", true);
    const NativeHandle passed = secret.readEnd();
    ASSERT_NE(passed, NoHandle);
#ifndef _WIN32
    const int stray = ::open("/dev/null", O_RDONLY);  // inheritable too, and must not go
#endif
    for (const int as : {3, 5}) {
        SpawnSpec spec = ChildSpec({"fd", std::to_string(as)});
        spec.passed = passed;
        spec.passedAs = as;
        const std::string output = RunChild(spec).output;
        EXPECT_EQ(output, as == 3 ? "fd 3: secret\n\n" : "fd 5: \n") << output;
    }
    EXPECT_EQ(RunChild(ChildSpec({"fd", "3"})).output, "fd 3: closed\n");
#ifndef _WIN32
    ::close(stray);
#endif
}

#ifndef _WIN32
// On Windows a console's Ctrl+C cannot be sent to a program without a console of
// its own, so only the POSIX signals are checked here.
TEST(Interrupt, ATerminationRequestCleansUpAndStillEndsTheProgram) {
    test::TempDir dir;
    const std::string file = Join(dir.path(), "work file");
    test::WriteFile(file, "x");
    Process process = Process::Start(ChildSpec({"interrupt", file}));
    ASSERT_TRUE(process.started());
    ReadUntil(process, "ready");
    EXPECT_TRUE(process.terminate());
    const Ending ending = process.wait();
    EXPECT_TRUE(ending.signalled);
    EXPECT_EQ(ending.status, 128 + 15);
    EXPECT_FALSE(std::filesystem::exists(toPath(file)));
}
#endif

}  // namespace
}  // namespace stowaway::os
