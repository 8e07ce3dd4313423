#include "startup/VersionCommands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "startup/CommandLine.h"
#include "startup/Program.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

// The long options come before the classic forms: a Crate whose name holds "abu"
// or "main" is still the option's argument.
TEST(VersionCommands, TheLongOptionsAreTheirOwnMode) {
    const struct {
        const char* arguments;
        StartMode mode;
    } cases[] = {
        {"--versions Kabul", StartMode::Versions},
        {"--keep Domain Files 10,7,4,12", StartMode::Versions},
        {"--prune Docs --dry-run", StartMode::Versions},
        {"  --versions x", StartMode::Versions},
        {"--VERSIONS Kabul", StartMode::Automated},  // the classic rule: "abu" anywhere
        {"--versionsx", StartMode::Rejected},
        {"-abu --keep", StartMode::Automated},
    };
    for (const auto& c : cases) {
        test::TestProgram program;
        EXPECT_EQ(ClassifyCommandLine(*program.app, c.arguments), c.mode) << c.arguments;
    }
}

// Names with blanks, letter case kept, and what is not a command is usage (2)
// before anything is read; a Crate that is not there fails (1).
TEST(VersionCommands, ArgumentsAndExitStatuses) {
    const struct {
        const char* arguments;
        int status;
        const char* says;
    } cases[] = {
        {"--keep", VersionsUsage, "not understood"},
        {"--keep Docs", VersionsUsage, "not understood"},  // no policy
        {"--keep My Docs 10", VersionsFailed, "no Crate named \"My Docs\""},
        {"--versions", VersionsUsage, "not understood"},
        {"--versions  My  Docs ", VersionsFailed, "no Crate named \"My  Docs\""},
        {"--prune --dry-run", VersionsUsage, "not understood"},
        {"--prune Old Files --dry-run", VersionsFailed, "no Crate named \"Old Files\""},
        {"--prune --dry-run Old Files", VersionsFailed, "no Crate named \"Old Files\""},
    };
    for (const auto& c : cases) {
        test::TestProgram program;
        std::ostringstream out, err;
        EXPECT_EQ(RunVersionsCommand(*program.app, c.arguments, out, err), c.status) << c.arguments;
        EXPECT_NE(err.str().find(c.says), std::string::npos) << c.arguments << ": " << err.str();
        EXPECT_EQ(out.str(), "") << c.arguments;
    }
}

// The program hands the option to its command without a window, a display or the
// classic forms' message box.
class NoWindow : public FrontEnd {
  public:
    bool hasDisplay() const override { return false; }
    void prepareMainWindow(App&) override { ++windows; }
    int runMainWindow(App&) override { return 0; }
    void showAbuWindow(App&) override { ++windows; }
    int windows = 0;
};

TEST(VersionCommands, TheProgramRunsThemWithoutAWindow) {
    test::TestProgram program;
    NoWindow frontEnd;
    EXPECT_EQ(RunProgram(*program.app, "--versions Kabul", frontEnd), VersionsFailed);
    EXPECT_EQ(RunProgram(*program.app, "--keep Kabul", frontEnd), VersionsUsage);
    EXPECT_EQ(frontEnd.windows, 0);
    EXPECT_TRUE(program.ui.messages.empty());
}

}  // namespace
}  // namespace stowaway
