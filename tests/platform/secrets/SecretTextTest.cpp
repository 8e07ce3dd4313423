// A held password keeps the process from being dumped; gone, it is wiped.
#include <sys/prctl.h>

#include <gtest/gtest.h>

#include "platform/secrets/SecretText.h"

namespace stowaway {
namespace {

TEST(SecretText, MakesTheProcessUndumpableWhileOneIsHeld) {
    ASSERT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1);
    {
        SecretText first;
        EXPECT_TRUE(first.assign("one"));
        EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
        SecretText second = std::move(first);
        EXPECT_TRUE(first.empty());
        EXPECT_EQ(second.view(), "one");
        SecretText third;
        third.assign("three");
        third = std::move(second);
        EXPECT_EQ(third.view(), "one");
        EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 0);
    }
    EXPECT_FALSE(SecretsHeld());
    EXPECT_EQ(::prctl(PR_GET_DUMPABLE, 0, 0, 0, 0), 1);
}

TEST(SecretText, RefusesWhatAPipeCouldNotCarryAtOnce) {
    SecretText text;
    EXPECT_TRUE(text.assign(std::string(SecretText::Capacity, 'x')));
    EXPECT_FALSE(text.assign(std::string(SecretText::Capacity + 1, 'x')));
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(SecretsHeld());
}

}  // namespace
}  // namespace stowaway
