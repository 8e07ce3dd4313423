#include "store/settings/KeepSettings.h"

#include <gtest/gtest.h>

namespace stowaway {
namespace {

TEST(KeepSettings, PoliciesReadAndWriteBack) {
    const struct {
        const char* text;
        std::optional<KeepPolicy> policy;
        const char* written;
    } cases[] = {
        {"off", KeepPolicy{}, "off"},
        {" OFF ", KeepPolicy{}, "off"},
        {"10", KeepPolicy{true, 10, 0, 0, 0}, "10,0,0,0"},
        {"10,7,4,12", KeepPolicy{true, 10, 7, 4, 12}, "10,7,4,12"},
        {"3, 7", KeepPolicy{true, 3, 7, 0, 0}, "3,7,0,0"},
        {"1,0,0,0", KeepPolicy{true, 1, 0, 0, 0}, "1,0,0,0"},
        {"0", std::nullopt, nullptr},  // LAST counts the current archive
        {"10,7,4,12,1", std::nullopt, nullptr},
        {"10,,4", std::nullopt, nullptr},
        {"-1", std::nullopt, nullptr},
        {"ten", std::nullopt, nullptr},
        {"10,7x", std::nullopt, nullptr},
        {"", std::nullopt, nullptr},
        {"99999999999", std::nullopt, nullptr},
    };
    for (const auto& c : cases) {
        std::string error;
        const std::optional<KeepPolicy> policy = ParseKeepPolicy(c.text, error);
        EXPECT_EQ(policy, c.policy) << c.text;
        if (policy) {
            EXPECT_EQ(FormatKeepPolicy(*policy), c.written) << c.text;
        } else {
            EXPECT_FALSE(error.empty()) << c.text;
        }
    }
}

// A Crate's section without regard to case; a bad value keeps nothing and says so;
// off takes the key away.
TEST(KeepSettings, ACratesPolicyInTheSettingsFile) {
    std::vector<std::string> problems;
    Settings settings =
        Settings::Parse("[crate \"Docs\"]\nkeep = 5,1\n[crate \"Mail\"]\nkeep = lots\n", problems);
    EXPECT_EQ(CrateKeepPolicy(settings, "DOCS"), (KeepPolicy{true, 5, 1, 0, 0}));
    std::string problem;
    EXPECT_EQ(CrateKeepPolicy(settings, "Mail", &problem), KeepPolicy{});
    EXPECT_NE(problem.find("the kept versions of Mail"), std::string::npos) << problem;
    EXPECT_EQ(CrateKeepPolicy(settings, "Other"), KeepPolicy{});

    SetCrateKeepPolicy(settings, "docs", KeepPolicy{true, 10, 7, 4, 12});
    SetCrateKeepPolicy(settings, "mail", KeepPolicy{});
    SetCrateKeepPolicy(settings, "New", KeepPolicy{true, 2, 0, 0, 0});
    EXPECT_EQ(settings.format(),
              "[crate \"Docs\"]\nkeep = 10,7,4,12\n[crate \"New\"]\nkeep = 2,0,0,0\n");
}

}  // namespace
}  // namespace stowaway
