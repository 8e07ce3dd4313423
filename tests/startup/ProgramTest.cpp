#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

struct ProgramRun {
    int status;
    std::string output;
};

const std::string Program = std::string(STOWAWAY_PROGRAM_DIR) + "/stowaway";

// Starts the built program without a display and collects what it prints.
ProgramRun RunProgram(const std::string& arguments, const std::string& environment = "") {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                environment + "'" + Program + "' " + arguments + " 2>&1 </dev/null";
    ProgramRun run{-1, {}};
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 512> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe)) run.output += buffer.data();
    int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(Program, RejectedCommandLineIsReportedOnStandardErrorWithoutAWindow) {
    if (!std::filesystem::exists(Program)) GTEST_SKIP() << "program not built";
    ProgramRun run = RunProgram("-X");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("The command line arguments \"-x\" are not understood."),
              std::string::npos)
        << run.output;
}

TEST(Program, WindowWithoutADisplayExplainsItselfAndFails) {
    if (!std::filesystem::exists(Program)) GTEST_SKIP() << "program not built";
    ProgramRun run = RunProgram("-main");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("display"), std::string::npos) << run.output;
}

// "--help" and "--version" print and succeed, with a display as without one; any
// other spelling is still a command line that is not understood.
TEST(Program, HelpAndVersionPrintAndExitZero) {
    if (!std::filesystem::exists(Program)) GTEST_SKIP() << "program not built";
    for (const char* display : {"", "QT_QPA_PLATFORM=offscreen "}) {
        ProgramRun help = RunProgram(std::string("--help"), display);
        EXPECT_EQ(help.status, 0) << display;
        for (const char* part : {"Usage: stowaway [-main]", "stowaway -abu NAME",
                                 "Exit status:", "  2  the command line was not understood",
                                 "/Stowaway.dat", "/Log.txt"})
            EXPECT_NE(help.output.find(part), std::string::npos) << part << "\n" << help.output;
        ProgramRun version = RunProgram("--version", display);
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.output, "Stowaway 2.0\n");
    }
    for (const char* other : {"--HELP", "-help", "--help me", "-version"}) {
        ProgramRun run = RunProgram(other);
        EXPECT_EQ(run.status, 2) << other;
        EXPECT_NE(run.output.find("are not understood"), std::string::npos) << run.output;
    }
}

}  // namespace
