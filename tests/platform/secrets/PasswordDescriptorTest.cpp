// A password's trip to the archiver: a pipe inherited as descriptor N by the
// interpreter, handed on to the program of the line that names it and to no
// other, with nothing else of the program's descriptors along.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/NativePlatform.h"
#include "support/PasswordProbe.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

class PasswordDescriptor : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string built = STOWAWAY_PROGRAM_DIR;
        if (!fs::exists(toPath(built + "/stowaway-cmd")))
            GTEST_SKIP() << "stowaway-cmd is not built yet";
        fs::copy_file(toPath(built + "/stowaway-cmd"), toPath(dir / "stowaway-cmd"));
        test::WritePasswordProbe(dir / "probe");
    }

    // Runs the batch file's lines through the interpreter with the secret on 3.
    long run(const std::string& lines, std::string_view secret) {
        test::WriteFile(dir / "SWTemp.bat", "@ECHO OFF\r\n" + lines);
        const long pid = platform.startProcessWithSecret(
            "COMMAND.COM /c \"" + (dir / "SWTemp.bat") + "\"", WindowStyle::Hidden, 3, secret);
        if (pid == 0) return 0;
        const long handle = platform.openProcess(pid);
        std::uint32_t code = Platform::StillActive;
        while (platform.getExitCodeProcess(handle, code) && code == Platform::StillActive)
            platform.sleepMilliseconds(5);
        platform.closeHandle(handle);
        EXPECT_EQ(code, 0u);
        return pid;
    }

    test::TempDir dir;
    NativePlatform platform{dir.path()};
};

TEST_F(PasswordDescriptor, ReachesOnlyTheProgramOfTheLineThatNamesItOnce) {
    // A descriptor of ours that is not close-on-exec goes nowhere either.
    const int stray = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(stray, 0);
    const std::string probe = dir / "probe";
    ASSERT_NE(run(probe + " -add -password-fd=3 archive.zip\r\n" + probe + " -password-fd=3\r\n" +
                      probe + " plain\r\n",
                  "pass word \"quoted\" $HOME"),
              0);
    ::close(stray);
    const std::vector<test::ProbeRun> runs = test::ReadProbeReport(dir.path());
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].descriptors, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(runs[0].named);
    EXPECT_EQ(runs[0].secret, "pass word \"quoted\" $HOME");
    // Once read it is gone: the interpreter closed its copy after the first line.
    EXPECT_EQ(runs[1].descriptors, (std::vector<int>{0, 1, 2}));
    EXPECT_FALSE(runs[1].named);
    EXPECT_EQ(runs[2].descriptors, (std::vector<int>{0, 1, 2}));
}

TEST_F(PasswordDescriptor, AProgramStartedWithoutOneInheritsNothing) {
    test::WriteFile(dir / "SWTemp.bat", "@ECHO OFF\r\n" + (dir / "probe") + " -password-fd=3\r\n");
    const long pid = platform.startProcess("COMMAND.COM /c \"" + (dir / "SWTemp.bat") + "\"",
                                           WindowStyle::Hidden);
    ASSERT_NE(pid, 0);
    const long handle = platform.openProcess(pid);
    std::uint32_t code = Platform::StillActive;
    while (platform.getExitCodeProcess(handle, code) && code == Platform::StillActive)
        platform.sleepMilliseconds(5);
    platform.closeHandle(handle);
    const std::vector<test::ProbeRun> runs = test::ReadProbeReport(dir.path());
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_FALSE(runs[0].named);
    EXPECT_EQ(runs[0].descriptors, (std::vector<int>{0, 1, 2}));
}

TEST_F(PasswordDescriptor, ASecretThatWouldFillThePipeStartsNothing) {
    const std::string huge(4 << 20, 'x');
    EXPECT_EQ(run(dir / "probe" + std::string(" -password-fd=3\r\n"), huge), 0);
    EXPECT_TRUE(test::ReadProbeReport(dir.path()).empty());
    // Only descriptors 3 and above carry it: the standard three are the program's own.
    EXPECT_EQ(platform.startProcessWithSecret("COMMAND.COM /c x", WindowStyle::Hidden, 2, "pw"), 0);
}

}  // namespace
}  // namespace stowaway
