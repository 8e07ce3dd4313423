#include "startup/CommandLine.h"

#include <gtest/gtest.h>

#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

struct Case {
    const char* arguments;
    StartMode mode;
    const char* crateName;
};

TEST(CommandLine, ClassifiesEveryDocumentedForm) {
    const Case cases[] = {
        {"", StartMode::Interactive, ""},
        {"-MAIN", StartMode::Interactive, ""},
        {"/main", StartMode::Interactive, ""},
        {"x /main", StartMode::Interactive, ""},
        {"abu daily", StartMode::Interactive, ""},
        {"-abu Daily Files", StartMode::Automated, "daily files"},
        {"/ABU     Daily Files   ", StartMode::Automated, "daily files"},
        {"--abu daily", StartMode::Automated, "u daily"},
        {"-main abu", StartMode::Automated, "n abu"},
        {"-abu", StartMode::Automated, ""},
        {"-abuDaily", StartMode::Automated, "daily"},
        {"-x", StartMode::Rejected, ""},
        {"C:\\My-Files", StartMode::Rejected, ""},
        {"  --status ", StartMode::Status, ""},
        {"--STATUS", StartMode::Rejected, ""},
        {"--status x", StartMode::Rejected, ""},
    };
    for (const Case& c : cases) {
        test::TestProgram program;
        EXPECT_EQ(ClassifyCommandLine(*program.app, c.arguments), c.mode) << c.arguments;
        EXPECT_EQ(program.app->AbuCrateName, c.crateName) << c.arguments;
    }
}

TEST(CommandLine, RejectedLineIsQuotedInLowerCase) {
    test::TestProgram program;
    ASSERT_EQ(ClassifyCommandLine(*program.app, "  C:\\My-Files "), StartMode::Rejected);
    ShowCommandLineError(*program.app);
    ASSERT_EQ(program.ui.messages.size(), 1u);
    const auto& m = program.ui.messages[0];
    EXPECT_EQ(m.title, "Error");
    EXPECT_EQ(m.icon, MsgIcon::Critical);
    EXPECT_EQ(m.text,
              "The command line arguments \"c:\\my-files\" are not understood. See Help for "
              "details on the command line interface.");
}

TEST(CommandLine, ArgumentsAreJoinedWithSingleBlanks) {
    EXPECT_EQ(JoinArguments({"-abu", "Daily", "Files"}), "-abu Daily Files");
    EXPECT_EQ(JoinArguments({}), "");
}

}  // namespace
}  // namespace stowaway
