#include "platform/InstanceLock.h"

#include <gtest/gtest.h>

#include <signal.h>
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
    ASSERT_TRUE(std::filesystem::exists(toPath(path)));
    InstanceLock again(path);
    EXPECT_EQ(again.state(), State::Owned);

    InstanceLock nowhere(dir.path() + "/no such folder/window.lock");
    EXPECT_EQ(nowhere.state(), State::Unavailable);
}

// A waiter polls with tryAgain: a holder that is killed lets go at once.
TEST(InstanceLock, AWaiterGetsTheLockADeadHolderLeft) {
    test::TempDir dir;
    const std::string path = dir.path() + "/crate.lock";
    int taken[2], never[2];
    ASSERT_EQ(::pipe(taken), 0);
    ASSERT_EQ(::pipe(never), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        InstanceLock lock(path);
        char byte = lock.state() == State::Owned ? '1' : '0';
        if (::write(taken[1], &byte, 1) != 1) ::_exit(1);
        ::read(never[0], &byte, 1);  // until it is killed
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(taken[0], &byte, 1), 1);
    ASSERT_EQ(byte, '1');
    InstanceLock waiter(path);
    EXPECT_EQ(waiter.state(), State::HeldElsewhere);
    EXPECT_FALSE(waiter.tryAgain());
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_TRUE(waiter.tryAgain());
    EXPECT_EQ(waiter.state(), State::Owned);
    for (int fd : {taken[0], taken[1], never[0], never[1]}) ::close(fd);
}

}  // namespace
}  // namespace stowaway
