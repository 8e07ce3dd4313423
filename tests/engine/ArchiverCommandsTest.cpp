#include "engine/ArchiverCommands.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "EngineRig.h"
#include "engine/Runner.h"
#include "engine/WorkFiles.h"
#include "platform/CommandLineSplit.h"
#include "support/SystemSupport.h"

namespace stowaway {
namespace {

bool Holds(const std::vector<std::string>& args, const std::string& arg) {
    return std::find(args.begin(), args.end(), arg) != args.end();
}

// POSIX names may hold backslashes anywhere, blanks and tabs: every path the
// program quotes must come out of the interpreter's splitter as it went in.
TEST(ArchiverCommands, EveryQuotedPathSurvivesTheSplitter) {
    STOWAWAY_NEEDS(PosixPaths);
    const std::string names[] = {"trail\\", "two words\\\\", "tab\there\\",
                                 "in\\ner", "\\lead",        "plain"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        test::Rig rig(false);
        App& a = *rig.app;
        a.ProgramFolder = rig.dir.path() + "/prog " + name;
        const std::string location = rig.dir.path() + "/" + name;
        CrateRecord& c = rig.crate("Odd");
        c.BackupLocation = location;
        const WorkFiles files = WorkFilePaths(a.jobContext());
        a.job.ArchiverCommand = ComposeBackupCommand(a.jobContext(), c, files);
        a.job.ArchiverTail = ComposeBackupTail(files, false);
        std::vector<std::string> args = SplitCommandLine(ArchiverLine(a.jobContext()));
        EXPECT_EQ(args[0], ArchiverPath(a.jobContext()));
        EXPECT_TRUE(Holds(args, "-temp=" + a.ProgramFolder)) << ArchiverLine(a.jobContext());
        EXPECT_TRUE(Holds(args, "-header=@" + files.header));
        EXPECT_TRUE(Holds(args, location)) << ArchiverLine(a.jobContext());
        EXPECT_EQ(args.back(), "@" + files.list);

        args = SplitCommandLine(
            ComposeRestoreCommand(a.jobContext(), location, location + "/to", false));
        EXPECT_EQ(args.size(), 5u);
        EXPECT_EQ(args[3], location);
        EXPECT_EQ(args[4], location + "/to");

        args = SplitCommandLine(ComposeListingCommand(a.jobContext(), location, files.header));
        EXPECT_EQ(args[2], location);
    }
}

TEST(ArchiverCommands, QuotesLineBreaksAndNulsAreRefusedWithTheNameShown) {
    const struct {
        std::string path;
        std::string shown;
    } cases[] = {
        {"/x/say \"hi\".zip", "/x/say \"hi\".zip contains a double quote"},
        {std::string("/x/job\0.zip", 11), "/x/job\\0.zip contains a NUL character"},
        {"/x/evil\n/etc/x.zip", "/x/evil\\n/etc/x.zip contains a line break"},
        {"/x/evil\r.zip", "/x/evil\\r.zip contains a line break"},
    };
    for (const auto& c : cases) {
        test::Rig rig(false);
        EXPECT_FALSE(CheckBatchPath(rig.app->jobContext(), c.path));
        ASSERT_EQ(rig.ui.messages.size(), 1u);
        EXPECT_NE(rig.ui.messages[0].text.find(c.shown), std::string::npos)
            << rig.ui.messages[0].text;
    }
    test::Rig rig(false);
    EXPECT_TRUE(CheckBatchPath(rig.app->jobContext(), "/x/trail\\ and\ttab"));
    EXPECT_TRUE(rig.ui.messages.empty());
}

}  // namespace
}  // namespace stowaway
