// Key files on real files: the first line is the password, and only a file of the
// user's own that nobody else may read is taken.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/secrets/KeyFile.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

using test::TempDir;
using test::WriteFile;

class KeyFiles : public ::testing::Test {
  protected:
    std::string make(const std::string& name, const std::string& bytes, mode_t mode) {
        const std::string path = dir / name;
        WriteFile(path, bytes);
        ::chmod(path.c_str(), mode);
        return path;
    }
    std::string read(const std::string& path) {
        const std::string problem = ReadKeyFile(path, password);
        EXPECT_EQ(problem.empty(), !password.empty()) << problem;
        return problem;
    }
    TempDir dir;
    SecretText password;
};

TEST_F(KeyFiles, TakeTheFirstLineOfAFileOnlyTheUserMayRead) {
    EXPECT_EQ(read(make("plain", "correct horse\nsecond line\n", 0600)), "");
    EXPECT_EQ(password.view(), "correct horse");
    EXPECT_EQ(read(make("crlf", "  spaced pass \r\nrest", 0400)), "");
    EXPECT_EQ(password.view(), "  spaced pass ");
    EXPECT_EQ(read(make("no-break", "last", 0600)), "");
    EXPECT_EQ(password.view(), "last");
    const std::string longest(SecretText::Capacity, 'p');
    EXPECT_EQ(read(make("longest", longest + "\n", 0600)), "");
    EXPECT_EQ(password.size(), SecretText::Capacity);
}

TEST_F(KeyFiles, RefuseWhatOthersMayReadOrWhatIsNotAPassword) {
    const std::string open = make("open", "pw\n", 0644);
    EXPECT_EQ(read(open), "The key file " + open +
                              " may be read or changed by others (mode 0644); make it yours "
                              "alone: chmod 600 " +
                              open);
    EXPECT_NE(read(make("group", "pw\n", 0640)).find("mode 0640"), std::string::npos);
    EXPECT_NE(read(make("written", "pw\n", 0602)).find("mode 0602"), std::string::npos);
    EXPECT_NE(read(make("empty", "\nsecond\n", 0600)).find("holds no password on its first line"),
              std::string::npos);
    EXPECT_NE(read(make("nothing", "", 0600)).find("holds no password"), std::string::npos);
    EXPECT_NE(read(make("long", std::string(SecretText::Capacity + 1, 'p'), 0600))
                  .find("longer than 1024 bytes"),
              std::string::npos);
    EXPECT_NE(read(dir / "missing").find("cannot be opened: No such file or directory"),
              std::string::npos);
    ::mkdir((dir / "folder").c_str(), 0700);
    EXPECT_NE(read(dir / "folder").find("is not a regular file"), std::string::npos);
    const std::string fifo = dir / "fifo";
    ::mkfifo(fifo.c_str(), 0600);
    EXPECT_NE(read(fifo).find("is not a regular file"), std::string::npos);
}

TEST_F(KeyFiles, RefuseAnotherUsersFile) {
    const std::string path = make("theirs", "pw\n", 0600);
    if (::geteuid() != 0) {
        // Only root can give a file away; as an ordinary user the file is ours.
        GTEST_SKIP() << "giving a file to another user needs root";
    }
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    EXPECT_EQ(read(path),
              "The key file " + path + " belongs to another user (65534); it must be your own.");
}

TEST(PasswordLine, TakesTheFirstLineAndLeavesTheRestUnread) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::string text = "from input\nnext line\n";
    ASSERT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fds[1]);
    SecretText password;
    EXPECT_EQ(ReadPasswordLine(fds[0], "Standard input", password), "");
    EXPECT_EQ(password.view(), "from input");
    char rest[32] = {};
    EXPECT_EQ(::read(fds[0], rest, sizeof rest), 10);
    EXPECT_STREQ(rest, "next line\n");
    EXPECT_EQ(ReadPasswordLine(fds[0], "Standard input", password),
              "Standard input holds no password on its first line.");
    EXPECT_TRUE(password.empty());
    ::close(fds[0]);
}

}  // namespace
}  // namespace stowaway
