#include "store/settings/Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/NativePlatform.h"
#include "store/settings/CrateSettings.h"
#include "store/settings/SettingsFile.h"
#include "support/SystemSupport.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

Settings Parsed(const std::string& text, std::vector<std::string>* problems = nullptr) {
    std::vector<std::string> found;
    Settings settings = Settings::Parse(text, found);
    if (problems) *problems = found;
    return settings;
}

TEST(SettingsText, ReadsCrateSectionsAndMatchesNamesWithoutCase) {
    const Settings settings = Parsed(
        "; written by hand\n"
        "[crate \"Documents\"]\n"
        "schedule = daily 02:30\n"
        "overdue_days=3\n"
        "\n"
        "[crate \"Mail\"]\n"
        "schedule = mon,thu 09:00\n");
    EXPECT_EQ(settings.crateValue("documents", "schedule"), "daily 02:30");
    EXPECT_EQ(settings.crateValue("DOCUMENTS", "overdue_days"), "3");
    EXPECT_EQ(settings.crateValue("Mail", "schedule"), "mon,thu 09:00");
    EXPECT_EQ(settings.crateValue("Mail", "overdue_days"), std::nullopt);
    EXPECT_EQ(settings.crateValue("Other", "schedule"), std::nullopt);
    EXPECT_EQ(settings.crateNames(), (std::vector<std::string>{"Documents", "Mail"}));

    // Line ends of a Windows editor, even doubled, are line ends.
    const Settings crlf = Parsed("[crate \"Docs\"]\r\r\nschedule = daily 02:30\r\n");
    EXPECT_EQ(crlf.crateValue("docs", "schedule"), "daily 02:30");
}

TEST(SettingsText, KeepsEveryLineItDoesNotKnowWhenSaved) {
    const std::string text =
        "; comment kept\n"
        "[general]\n"
        "future_option = 1\n"
        "[crate \"Documents\"]\n"
        "schedule = daily 02:30\n"
        "keep_policy = 10 archives\n"
        "this line is damaged\n"
        "\n"
        "[crate \"Mail\"]\n"
        "encryption = aes\n";
    std::vector<std::string> problems;
    Settings settings = Parsed(text, &problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0], "line 7: not a \"key = value\" line");
    EXPECT_EQ(settings.format(), text);

    settings.setCrateValue("documents", "schedule", "every 6h");
    settings.setCrateValue("Mail", "schedule", "off");
    EXPECT_EQ(settings.format(),
              "; comment kept\n"
              "[general]\n"
              "future_option = 1\n"
              "[crate \"Documents\"]\n"
              "schedule = every 6h\n"
              "keep_policy = 10 archives\n"
              "this line is damaged\n"
              "\n"
              "[crate \"Mail\"]\n"
              "encryption = aes\n"
              "schedule = off\n");
}

TEST(SettingsText, DamagedLinesAreReportedByNumberAndNeverStopTheRest) {
    std::vector<std::string> problems;
    const Settings settings = Parsed(
        "[crate \"Open\n"
        "schedule = daily 01:00\n"
        "[crate Unquoted]\n"
        "[crate \"Good\"]\n"
        "schedule = daily 03:00\n"
        "bad\\q = x\n"
        "note = broken \\q escape\n"
        "\x01\xff binary\n",
        &problems);
    EXPECT_EQ(problems,
              (std::vector<std::string>{"line 1: a section header that does not end in \"]\"",
                                        "line 3: a Crate's section whose name is not a quoted text",
                                        "line 6: not a \"key = value\" line",
                                        "line 7: a value with a broken \\ escape",
                                        "line 8: not a \"key = value\" line"}));
    EXPECT_EQ(settings.crateValue("Good", "schedule"), "daily 03:00");
    EXPECT_EQ(settings.crateNames(), (std::vector<std::string>{"Good"}));
}

TEST(SettingsText, NamesWithEveryHostileCharacterRoundTrip) {
    const std::vector<std::string> names = {
        "My \"quoted\" Crate", "back\\slash",    "100% $HOME `x` 'y'", "Ünïcödé 日本",
        "tab\there",           "brackets ] [x]", "semi; #hash = eq",   " spaced "};
    Settings settings;
    for (const std::string& name : names) settings.setCrateValue(name, "schedule", name + "\n");
    std::vector<std::string> problems;
    const Settings back = Settings::Parse(settings.format(), problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(back.crateNames(), names);
    for (const std::string& name : names) EXPECT_EQ(back.crateValue(name, "schedule"), name + "\n");
}

TEST(SettingsText, RenameAndRemoveFollowTheCrate) {
    Settings settings = Parsed(
        "[crate \"Old\"]\n"
        "schedule = daily 02:30\n"
        "custom = kept\n"
        "[crate \"Other\"]\n"
        "schedule = every 2h\n");
    settings.renameCrate("OLD", "New \"one\"");
    EXPECT_EQ(settings.crateValue("new \"ONE\"", "custom"), "kept");
    EXPECT_EQ(settings.crateValue("Old", "schedule"), std::nullopt);
    settings.removeCrate("other");
    EXPECT_EQ(settings.format(),
              "[crate \"New \\\"one\\\"\"]\n"
              "schedule = daily 02:30\n"
              "custom = kept\n");
    settings.removeCrateValue("New \"one\"", "schedule");
    settings.removeCrateValue("New \"one\"", "custom");
    EXPECT_EQ(settings.format(), "");
}

TEST(CrateSettings, ScheduleAndOverdueDaysHaveDefaultsAndReadBack) {
    Settings settings;
    EXPECT_EQ(CrateSchedule(settings, "Docs").kind, ScheduleKind::Off);
    EXPECT_EQ(CrateOverdueDays(settings, "Docs"), 7);
    SetCrateSchedule(settings, "Docs", WeekdaysAt(0b1001, 9, 5));
    SetCrateOverdueDays(settings, "Docs", 0);
    EXPECT_EQ(settings.crateValue("docs", "schedule"), "mon,thu 09:05");
    EXPECT_EQ(CrateSchedule(settings, "DOCS"), WeekdaysAt(0b1001, 9, 5));
    EXPECT_EQ(CrateOverdueDays(settings, "docs"), 0);
    SetCrateSchedule(settings, "Docs", Schedule{});
    SetCrateOverdueDays(settings, "Docs", 7);
    EXPECT_EQ(settings.format(), "");

    std::string problem;
    settings.setCrateValue("Docs", "overdue_days", "soon");
    settings.setCrateValue("Docs", "schedule", "daily 25:00");
    EXPECT_EQ(CrateOverdueDays(settings, "Docs", &problem), 7);
    EXPECT_EQ(
        problem,
        "the overdue days of Docs are \"soon\", not a whole number from 0 to 3650; 7 is used");
    EXPECT_EQ(CrateSchedule(settings, "Docs", &problem).kind, ScheduleKind::Off);
    EXPECT_EQ(problem,
              "the schedule of Docs: there is no time 25:00 in a day (hours 00 to 23, minutes 00 "
              "to 59)");
}

TEST(SettingsFile, SavesAtOnceAndLeavesTheDataFileAlone) {
    TempDir dir;
    NativePlatform platform;
    const std::string dat = dir / "Stowaway.dat";
    const std::string datBytes = "\"MAX=0\"\r\n\"LOGPATH=x.txt\"\r\n";
    WriteFile(dat, datBytes);
    const std::string path = SettingsPath(platform.style(), dir.path());
    EXPECT_EQ(path, dir / "Stowaway.ini");

    SettingsLoad load = LoadSettings(platform, path);
    EXPECT_TRUE(load.problems.empty());
    EXPECT_FALSE(load.unreadable);
    SetCrateSchedule(load.settings, "Docs", DailyAt(2, 30));
    std::string error;
    ASSERT_TRUE(SaveSettings(platform, path, load.settings, error)) << error;
    EXPECT_EQ(ReadFile(path), "[crate \"Docs\"]\nschedule = daily 02:30\n");
    EXPECT_EQ(ReadFile(dat), datBytes);
    EXPECT_EQ(CrateSchedule(LoadSettings(platform, path).settings, "docs"), DailyAt(2, 30));
}

TEST(SettingsFile, AReadOnlyFolderRefusesTheSaveAndKeepsTheOldFile) {
    STOWAWAY_NEEDS(OtherUsers);
    TempDir dir;
    NativePlatform platform;
    const std::string path = dir / "Stowaway.ini";
    WriteFile(path, "[crate \"Docs\"]\nschedule = daily 02:30\n");
    test::LetEveryoneIn(dir.path());
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_TRUE(test::RunAsOrdinaryUser([&] {
        Settings settings = LoadSettings(platform, path).settings;
        SetCrateSchedule(settings, "Docs", EveryHours(6));
        std::string error;
        const bool saved = SaveSettings(platform, path, settings, error);
        return !saved && error.find("could not be saved to " + path) != std::string::npos;
    }));
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(ReadFile(path), "[crate \"Docs\"]\nschedule = daily 02:30\n");
}

TEST(SettingsFile, AnUnreadableFileIsSaidAndNotTakenForEmpty) {
    TempDir dir;
    NativePlatform platform;
    std::filesystem::create_directory(toPath(dir / "Stowaway.ini"));
    const SettingsLoad load = LoadSettings(platform, dir / "Stowaway.ini");
    EXPECT_TRUE(load.unreadable);
    EXPECT_EQ(SettingsProblemText(dir / "Stowaway.ini", load.problems),
              "There is a problem with the settings file " + (dir / "Stowaway.ini") +
                  " (the Crates are not affected; lines that are not understood are kept as they "
                  "are):\n  the file could not be read");
}

}  // namespace
}  // namespace stowaway
