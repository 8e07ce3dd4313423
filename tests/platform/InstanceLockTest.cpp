#include "platform/InstanceLock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

// A process that held the lock and died without a word (killed) leaves the file
// but not the lock: the next start is not blocked.
TEST(InstanceLock, ALockOfADeadProcessDoesNotBlock) {
    test::TempDir dir;
    const std::string path = dir.path() + "/window.lock";
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceLock held(path);
        const char said = held.state() == State::Owned ? 'y' : 'n';
        (void)!::write(ready[1], &said, 1);
        char wait;
        (void)!::read(release[0], &wait, 1);
        ::_exit(0);  // no destructor: the kernel has to let go
    }
    char said = 0;
    ASSERT_EQ(::read(ready[0], &said, 1), 1);
    EXPECT_EQ(said, 'y');
    {
        InstanceLock whileAlive(path);
        EXPECT_EQ(whileAlive.state(), State::HeldElsewhere);
    }
    ASSERT_EQ(::write(release[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    InstanceLock afterDeath(path);
    EXPECT_EQ(afterDeath.state(), State::Owned);
    for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

}  // namespace
}  // namespace stowaway
