#include "engine/schedule/SystemdUnits.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>

#include "support/SystemSupport.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

using test::TempDir;
using test::WriteFile;

// Crate names with every character a name can hold that means something to
// systemd, a shell or cron.
const std::vector<std::string> HostileNames = {
    "Documents",
    "My Documents",
    "quote \" and 'single'",
    "100% sure %n %%",
    "$HOME ${USER} $$",
    "back\\slash\\",
    "Ünïcödé 日本語 ✓",
    "semi ; colon & amp | pipe > out",
    "-leading dash",
    ".hidden",
    "slash/and-dash",
    "tab\tinside",
    "`tick` * ? [x] ~ #hash",
    std::string(300, 'x'),
};

std::string ShellWord(const std::string& word) {
    std::string out = "'";
    for (const char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

TEST(SystemdUnits, NamesFollowSystemdEscapeAndNeverCollide) {
    std::set<std::string> names;
    for (const std::string& crate : HostileNames) {
        const std::string base = UnitBaseName(crate);
        EXPECT_TRUE(names.insert(base).second) << crate;
        EXPECT_LE(base.size() + 8, 255u) << crate;
        EXPECT_EQ(base.rfind("stowaway-", 0), 0u);
        // Letter case and the blanks around a name do not make another Crate.
        EXPECT_EQ(UnitBaseName(" " + crate + " "), UnitBaseName(crate));
    }
    EXPECT_EQ(UnitBaseName("DOCUMENTS"), UnitBaseName("documents"));
    EXPECT_EQ(UnitBaseName("ÜNÏ"), UnitBaseName("ünï"));
    // The same text as systemd's own tool, for names short enough not to be cut.
    STOWAWAY_NEEDS(Shell);
    for (const std::string& text :
         {std::string("my documents"), std::string("slash/and-dash"), std::string(".hidden"),
          std::string("ünïcödé 日本語"), std::string("100% $home \\ \"q\"")}) {
        test::ShellRun escaped = test::RunShell("systemd-escape -- " + ShellWord(text) + " 2>&1");
        ASSERT_EQ(escaped.status, 0) << escaped.output;
        escaped.output.pop_back();
        EXPECT_EQ(SystemdEscape(text), escaped.output) << text;
    }
}

TEST(SystemdUnits, ExecStartWordsReadBackAsGiven) {
    for (const std::string& crate : HostileNames) {
        const std::string service = ServiceUnitText(crate, "/opt/my apps/$x/100%/stowaway");
        const std::optional<ServiceCommand> command = ReadServiceCommand(service);
        ASSERT_TRUE(command) << service;
        EXPECT_EQ(command->crate, crate);
        EXPECT_EQ(command->program, "/opt/my apps/$x/100%/stowaway");
    }
    EXPECT_EQ(ExecArgument("a \"b\" 100% $HOME \\ \x01"),
              "\"a \\\"b\\\" 100%% $$HOME \\\\ \\x01\"");
    EXPECT_EQ(ReadServiceCommand("[Service]\nExecStart=/bin/true\n"), std::nullopt);
}

// systemd-analyze verify reads the units as the user's manager would, with no
// manager running: a private runtime and configuration folder.
TEST(SystemdUnits, GeneratedUnitsPassSystemdAnalyzeVerify) {
    STOWAWAY_NEEDS(Systemd);
    TempDir dir;
    const std::string units = dir / "config/systemd/user";
    std::filesystem::create_directories(toPath(units));
    std::filesystem::create_directories(toPath(dir / "runtime"));
    ::chmod((dir / "runtime").c_str(), 0700);
    // The program folder's name is hostile too, as far as systemd lets it be.
    const std::string folder = dir / "prog 100% $x ü";
    std::filesystem::create_directories(toPath(folder));
    WriteFile(folder + "/stowaway", "#!/bin/sh\n");
    ::chmod((folder + "/stowaway").c_str(), 0755);
    const Schedule schedules[] = {DailyAt(2, 30),
                                  WeekdaysAt(0b0001001, 9, 0),
                                  WeekdaysAt(0b1100000, 23, 59),
                                  EveryHours(1),
                                  EveryHours(6),
                                  EveryHours(24)};
    int verified = 0;
    for (const std::string& crate : HostileNames) {
        for (const Schedule& schedule : schedules) {
            const std::string base = UnitBaseName(crate);
            WriteFile(units + "/" + base + ".service",
                      ServiceUnitText(crate, folder + "/stowaway"));
            WriteFile(units + "/" + base + ".timer", TimerUnitText(crate, schedule));
            const test::ShellRun verify =
                test::RunShell("XDG_CONFIG_HOME=" + ShellWord(dir / "config") +
                               " XDG_RUNTIME_DIR=" + ShellWord(dir / "runtime") +
                               " systemd-analyze verify --user " + ShellWord(base + ".timer") +
                               " " + ShellWord(base + ".service") + " 2>&1");
            EXPECT_EQ(verify.status, 0) << crate << "\n" << verify.output;
            EXPECT_EQ(verify.output, "") << crate << " " << FormatSchedule(schedule);
            ++verified;
        }
    }
    EXPECT_EQ(verified, static_cast<int>(HostileNames.size() * std::size(schedules)));
}

}  // namespace
}  // namespace stowaway
