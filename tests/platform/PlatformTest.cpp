#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "platform/PathStyle.h"
#include "platform/PosixPlatform.h"
#include "platform/Text.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

TEST(PathStyle, JoinsAndRootsInBothFlavours) {
    PathStyle win = PathStyle::Windows(), posix = PathStyle::Posix();
    EXPECT_EQ(win.join("C:\\Backup", "Stowaway.dat"), "C:\\Backup\\Stowaway.dat");
    EXPECT_EQ(win.join("C:\\", "SWBackup.zip"), "C:\\\\SWBackup.zip");  // always inserts
    EXPECT_EQ(win.joinOnce("C:\\", "SWTemp.bat"), "C:\\SWTemp.bat");
    EXPECT_EQ(posix.joinOnce("/", "SWTemp.bat"), "/SWTemp.bat");
    EXPECT_EQ(posix.joinOnce("/opt/sw", "SWTemp.bat"), "/opt/sw/SWTemp.bat");
    EXPECT_EQ(win.rootOf("D:\\Apps\\Backup"), "D:\\");
    EXPECT_EQ(posix.rootOf("/home/a"), "/");
    EXPECT_EQ(win.foldCase("C:\\My Files"), "c:\\my files");
    EXPECT_EQ(posix.foldCase("/My Files"), "/My Files");
}

TEST(Text, NumbersAreDecimalTakenDownAndSixteenBit) {
    EXPECT_EQ(ParseInt16(" 12 "), 12);
    EXPECT_EQ(ParseInt16("2.7"), 2);
    EXPECT_EQ(ParseInt16("-0.5"), -1);
    EXPECT_EQ(ParseInt16("-32768"), -32768);
    EXPECT_FALSE(ParseInt16("32768"));
    EXPECT_FALSE(ParseInt16("abc"));
    EXPECT_FALSE(ParseInt16("1e3"));
    EXPECT_FALSE(ParseInt16(""));
    EXPECT_EQ(CompareIgnoreCase("abc", "ABD"), -1);
    EXPECT_EQ(Right("log.TXT", 4), ".TXT");
    EXPECT_EQ(Mid("ab", 5), "");
}

// Letter case of any script, UTF-8 in and out; bytes that are not UTF-8 stay.
TEST(Text, LetterCaseCoversAllOfUnicode) {
    struct Case {
        const char* text;
        const char* lower;
        const char* upper;
    };
    for (const Case& c :
         std::initializer_list<Case>{{"Ärger", "ärger", "ÄRGER"},
                                     {"ΣΩΚΡΑΤΗΣ", "σωκρατησ", "ΣΩΚΡΑΤΗΣ"},
                                     {"Дача 2024", "дача 2024", "ДАЧА 2024"},
                                     {"C:\\ÖL\\Ünd.TXT", "c:\\öl\\ünd.txt", "C:\\ÖL\\ÜND.TXT"},
                                     {"Bad \xff Byte", "bad \xff byte", "BAD \xff BYTE"},
                                     {"Cut \xc3", "cut \xc3", "CUT \xc3"}}) {
        EXPECT_EQ(ToLower(c.text), c.lower) << c.text;
        EXPECT_EQ(ToUpper(c.text), c.upper) << c.text;
    }
    EXPECT_TRUE(EqualsIgnoreCase("ÄRGER", "ärger"));
    EXPECT_LT(CompareIgnoreCase("ärger", "ÖL"), 0);
    EXPECT_LT(CompareIgnoreCase("Zebra", "Ärger"), 0);  // code point order after A-Z
    EXPECT_EQ(PathStyle::Windows().foldCase("D:\\Ärger\\ÖL"), "d:\\ärger\\öl");
    EXPECT_EQ(PathStyle::Posix().foldCase("/Ärger"), "/Ärger");
}

TEST(PosixPlatform, ReplaceFileIsAllOrNothing) {
    test::TempDir dir;
    PosixPlatform platform(dir.path());
    const std::string file = dir / "data";
    test::WriteFile(file, "old");
    ::chmod(file.c_str(), 0640);
    EXPECT_FALSE(platform.replaceFile(file, [](std::ostream& out) {
        out << "half";
        return false;  // the writer failed midway
    }));
    EXPECT_EQ(test::ReadFile(file), "old");
    EXPECT_TRUE(platform.replaceFile(file, [](std::ostream& out) { return bool(out << "new"); }));
    EXPECT_EQ(test::ReadFile(file), "new");
    EXPECT_EQ(fs::status(toPath(file)).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

// "a<NUL>b" would reach the OS as "a": every call refuses it instead.
TEST(PosixPlatform, APathWithANulNamesNoFile) {
    test::TempDir dir;
    PosixPlatform platform(dir.path());
    test::WriteFile(dir / "a", "kept");
    const std::string cut = dir / std::string("a\0b", 3);
    std::vector<DirEntry> entries;
    std::string contents;
    EXPECT_FALSE(platform.fileExists(cut));
    EXPECT_FALSE(platform.folderExists(dir.path() + std::string("\0/x", 3)));
    EXPECT_FALSE(platform.listDirectory(dir.path() + std::string("\0/x", 3), entries));
    EXPECT_FALSE(platform.fileModified(cut));
    EXPECT_FALSE(platform.removeFile(cut));
    EXPECT_FALSE(platform.makeEmptyFile(cut));
    EXPECT_EQ(platform.readWholeFile(cut, contents), ReadStatus::Failed);
    EXPECT_FALSE(platform.replaceFile(cut, [](std::ostream& out) { return bool(out << "x"); }));
    EXPECT_EQ(platform.startProcess("/bin/true" + std::string("\0x", 2), WindowStyle::Hidden), 0);
    EXPECT_EQ(test::ReadFile(dir / "a"), "kept");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(PosixPlatform, ReadWholeFileReadsOnlyRegularFiles) {
    test::TempDir dir;
    PosixPlatform platform(dir.path());
    test::WriteFile(dir / "file", "bytes");
    fs::create_symlink(toPath(dir / "file"), toPath(dir / "link"));
    fs::create_symlink(toPath(dir / "gone"), toPath(dir / "dangling"));
    fs::create_directory(toPath(dir / "folder"));
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0644), 0);
    fs::create_symlink(toPath("/dev/zero"), toPath(dir / "zero"));
    std::string contents;
    EXPECT_EQ(platform.readWholeFile(dir / "link", contents), ReadStatus::Read);
    EXPECT_EQ(contents, "bytes");
    EXPECT_EQ(platform.readWholeFile(dir / "none", contents), ReadStatus::Missing);
    EXPECT_EQ(platform.readWholeFile(dir / "dangling", contents), ReadStatus::DanglingLink);
    for (const char* odd : {"folder", "fifo", "zero"})
        EXPECT_EQ(platform.readWholeFile(dir / odd, contents), ReadStatus::NotAFile) << odd;
    EXPECT_EQ(contents, "");
}

// A program in a normal window reads what the user types; a hidden one reads an
// empty input at once, so that a question for a medium stops it instead of waiting.
TEST(PosixPlatform, ANormalWindowsProgramReadsTypedLinesAHiddenOneReadsNothing) {
    test::TempDir dir;
    PosixPlatform platform(dir.path());
    const std::string script = dir / "ask.sh";
    test::WriteFile(script,
                    "printf 'Insert disk 2: '\n"
                    "if read answer; then echo \"got:$answer\"; else echo 'no answer'; fi\n"
                    "echo \"$answer\" > \"$0.answer\"\n");
    auto run = [&](WindowStyle style, const std::string& typed) {
        const long pid = platform.startProcess("/bin/sh " + script, style);
        EXPECT_NE(pid, 0);
        const long handle = platform.openProcess(pid);
        std::string seen;
        // The prompt comes without a line end and shows as it is written.
        for (int i = 0; i < 500 && style == WindowStyle::NormalFocus &&
                        seen.find("Insert disk 2: ") == std::string::npos;
             ++i) {
            seen += platform.takeConsoleOutput(pid);
            platform.sleepMilliseconds(10);
        }
        if (style == WindowStyle::NormalFocus) {
            EXPECT_EQ(seen, "Insert disk 2: ");
            EXPECT_TRUE(platform.writeConsoleInput(pid, typed));
        } else {
            EXPECT_FALSE(platform.writeConsoleInput(pid, typed));
        }
        std::uint32_t code = Platform::StillActive;
        for (int i = 0; i < 1000 && code == Platform::StillActive; ++i) {
            platform.getExitCodeProcess(handle, code);
            platform.sleepMilliseconds(5);
        }
        seen += platform.takeConsoleOutput(pid);
        platform.closeHandle(handle);
        // Once it has ended nothing more goes in, and nothing breaks.
        EXPECT_FALSE(platform.writeConsoleInput(pid, typed));
        return seen;
    };
    EXPECT_EQ(run(WindowStyle::NormalFocus, "disk two\n"), "Insert disk 2: got:disk two\n");
    EXPECT_EQ(test::ReadFile(script + ".answer"), "disk two\n");
    run(WindowStyle::Hidden, "disk two\n");
    EXPECT_EQ(test::ReadFile(script + ".answer"), "\n");
}

TEST(PosixPlatform, ProcessesArePolledUntilTheyEndAndTheirConsoleIsCaptured) {
    test::TempDir dir;
    PosixPlatform platform(dir.path());
    long pid = platform.startProcess("/bin/sh -c \"echo hello; exit 3\"", WindowStyle::NormalFocus);
    ASSERT_NE(pid, 0);
    long handle = platform.openProcess(pid);
    ASSERT_NE(handle, 0);
    std::uint32_t code = Platform::StillActive;
    std::string console;
    while (code == Platform::StillActive) {
        ASSERT_TRUE(platform.getExitCodeProcess(handle, code));
        console += platform.takeConsoleOutput(pid);
        platform.sleepMilliseconds(5);
    }
    console += platform.takeConsoleOutput(pid);
    platform.closeHandle(handle);
    EXPECT_EQ(code, 3u);
    EXPECT_EQ(console, "hello\n");
    // A program nobody polls is reaped when the next one starts: no zombie stays.
    long viewer = platform.startProcess("/bin/true", WindowStyle::Hidden);
    ASSERT_NE(viewer, 0);
    platform.sleepMilliseconds(200);
    EXPECT_EQ(platform.startProcess("/no/such/program", WindowStyle::Hidden), 0);
    EXPECT_EQ(platform.openProcess(viewer), 0);
    EXPECT_EQ(platform.openProcess(999999), 0);
}

TEST(PosixPlatform, DateAndTimeTextsAreMonthDayYearAndTwelveHour) {
    PosixPlatform platform("/");
    std::tm tm{};
    tm.tm_year = 126;
    tm.tm_mon = 11;
    tm.tm_mday = 5;
    tm.tm_hour = 16;
    tm.tm_min = 21;
    tm.tm_sec = 1;
    tm.tm_isdst = -1;
    std::time_t when = std::mktime(&tm);
    EXPECT_EQ(platform.shortDate(when), "12/5/2026");
    EXPECT_EQ(platform.longTime(when), "4:21:01 PM");
    EXPECT_EQ(platform.drives().front(), "/");
}

// Whether the process is gone or has ended and waits to be reaped.
bool Ended(long pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(stat, text);
    const std::size_t close = text.rfind(')');
    return !stat || close == std::string::npos || text.compare(close + 2, 1, "Z") == 0;
}

TEST(PosixPlatform, StoppingAProcessEndsItAndTheProgramItStarted) {
    test::TempDir dir;
    PosixPlatform platform(dir.path());
    // The loop keeps the shell from becoming the sleep itself, and from ending on
    // its own once the sleep is stopped: only its own signal ends it.
    const long pid = platform.startProcess("/bin/sh -c \"/bin/sleep 600; while :; do :; done\"",
                                           WindowStyle::Hidden);
    ASSERT_NE(pid, 0);
    const long handle = platform.openProcess(pid);
    long child = 0;
    for (int i = 0; i < 2000 && child == 0; ++i) {  // until the shell has started the sleep
        std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                               "/children");
        children >> child;
        if (child == 0) platform.sleepMilliseconds(5);
    }
    ASSERT_NE(child, 0);
    EXPECT_TRUE(platform.stopProcess(pid));
    std::uint32_t code = Platform::StillActive;
    while (code == Platform::StillActive) {
        ASSERT_TRUE(platform.getExitCodeProcess(handle, code));
        platform.sleepMilliseconds(5);
    }
    platform.closeHandle(handle);
    EXPECT_EQ(code, 128u + SIGTERM);
    for (int i = 0; i < 2000 && !Ended(child); ++i) platform.sleepMilliseconds(5);
    EXPECT_TRUE(Ended(child));
    EXPECT_FALSE(platform.stopProcess(pid));  // it has ended
}

}  // namespace
}  // namespace stowaway
