#include "platform/InstanceLock.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

using State = InstanceLock::State;

TEST(InstanceLock, OneHolderAtATimeAndFreeOnceItGoes) {
    test::TempDir dir;
    const std::string path = dir.path() + "/window.lock";
    {
        InstanceLock first(path);
        EXPECT_EQ(first.state(), State::Owned);
        InstanceLock second(path);
        EXPECT_EQ(second.state(), State::HeldElsewhere);
        InstanceLock other(dir.path() + "/other-folder.lock");
        EXPECT_EQ(other.state(), State::Owned);  // another key is free
    }
    // The file stays behind; it is the lock, not the file, that counts.
    ASSERT_TRUE(std::filesystem::exists(path));
    InstanceLock again(path);
    EXPECT_EQ(again.state(), State::Owned);

    InstanceLock nowhere(dir.path() + "/no such folder/window.lock");
    EXPECT_EQ(nowhere.state(), State::Unavailable);
}

}  // namespace
}  // namespace stowaway
