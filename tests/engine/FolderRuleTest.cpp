#include "engine/FolderRule.h"

#include <gtest/gtest.h>

#include "engine/Wildcard.h"
#include "engine/Years.h"
#include "platform/PathStyle.h"
#include "startup/App.h"
#include "support/TestPlatforms.h"
#include "ui/editor/SelectionEditing.h"

namespace stowaway {
namespace {

TEST(BuildFolderRule, WritesEachKindWithTheTogglesAndAddsNoDuplicate) {
    test::TestProgram p(true);
    App& app = *p.app;
    ListBox& list = app.FrmMain.LstDir;
    BuildFolderRule(app, "C:\\Data", "", "", 0, true);
    BuildFolderRule(app, "C:\\Data\\", "", "", 0, true);  // same rule: not added again
    BuildFolderRule(app, "C:\\Data\\Letters", "*.doc", "", 1, false);
    app.IncludeMode = false;
    BuildFolderRule(app, "D:\\Work", "*.tmp", "", 1, true);
    BuildFolderRule(app, "C:\\Mail", "1/15/99", "*.*", 2, true);
    app.AfterMode = false;
    BuildFolderRule(app, "D:\\Old\\", "12/31/1998", "", 2, false);
    BuildFolderRule(app, "C:\\", "", "", 0, false);
    BuildFolderRule(app, "", "", "", 0, true);  // no folder: nothing
    EXPECT_EQ(list.items(), (std::vector<std::string>{
                                "R+ After 1/15/99: C:\\Mail\\*.*",
                                "R+ C:\\Data\\*.*",
                                "R+ Exclude: D:\\Work\\*.tmp",
                                "R- Before 12/31/1998: D:\\Old\\",
                                "R- C:\\*.*",
                                "R- Include: C:\\Data\\Letters\\*.doc",
                            }));
    EXPECT_GT(list.horizontalExtent(), 0);
}

TEST(ParseFolderRule, SplitsEveryKindOfRule) {
    const PathStyle w = PathStyle::Windows();
    ParsedFolderRule r = ParseFolderRule("R+ C:\\Data\\*.*", w);
    EXPECT_TRUE(r.recurse);
    EXPECT_EQ(r.mode, SelectMode::All);
    EXPECT_EQ(r.folder, "C:\\Data\\");

    r = ParseFolderRule("R- Include: C:\\Data\\Letters\\*.doc", w);
    EXPECT_FALSE(r.recurse);
    EXPECT_EQ(r.mode, SelectMode::IncludePattern);
    EXPECT_EQ(r.folder, "C:\\Data\\Letters\\");
    EXPECT_EQ(r.wildcard, "*.doc");

    r = ParseFolderRule("R+ Exclude: D:\\Work\\", w);
    EXPECT_EQ(r.mode, SelectMode::ExcludePattern);
    EXPECT_EQ(r.folder, "D:\\Work\\");
    EXPECT_EQ(r.wildcard, "");

    r = ParseFolderRule("R+ After 1/15/99: C:\\Mail\\*.*", w);
    EXPECT_EQ(r.mode, SelectMode::AfterYear);
    EXPECT_TRUE(r.yearValid);
    EXPECT_EQ(r.year, 1999);
    EXPECT_EQ(r.folder, "C:\\Mail\\");

    r = ParseFolderRule("R- Before 12/31/ 2005 : D:\\Old\\", w);
    EXPECT_EQ(r.mode, SelectMode::BeforeYear);
    EXPECT_EQ(r.year, 2005);
    EXPECT_EQ(r.folder, "D:\\Old\\");

    // Anything but "R- " recurses.
    EXPECT_TRUE(ParseFolderRule("X C:\\a\\*.*", w).recurse);

    const PathStyle posix = PathStyle::Posix();
    r = ParseFolderRule("R+ After 3/1/05: /home/ann/mail/*.*", posix);
    EXPECT_EQ(r.year, 2005);
    EXPECT_EQ(r.folder, "/home/ann/mail/");
    r = ParseFolderRule("R- Include: /srv/My Files/*.TXT", posix);
    EXPECT_EQ(r.folder, "/srv/My Files/");
    EXPECT_EQ(r.wildcard, "*.TXT");
}

TEST(ParseFolderRule, ADateWithoutMonthDayYearGivesNoYear) {
    const PathStyle posix = PathStyle::Posix();
    // The folder's own slashes must not be taken for the date's.
    EXPECT_FALSE(ParseFolderRule("R+ After 2024: /home/a/b/*.*", posix).yearValid);
    EXPECT_FALSE(ParseFolderRule("R+ After 1/2/xx: /home/*.*", posix).yearValid);
    EXPECT_FALSE(ParseFolderRule("R+ Before 1/2/99 /home/*.*", posix).yearValid);
    EXPECT_FALSE(ParseFolderRule("R+ After (Date): C:\\a\\", PathStyle::Windows()).yearValid);
    EXPECT_TRUE(ParseFolderRule("R+ C:\\a\\*.*", PathStyle::Windows()).yearValid);
}

TEST(Years, TwoDigitYearsPivotAtNinetyAndLongYearsStay) {
    EXPECT_EQ(FullYear(89), 2089);
    EXPECT_EQ(FullYear(90), 1990);
    EXPECT_EQ(FullYear(99), 1999);
    EXPECT_EQ(FullYear(5), 2005);
    EXPECT_EQ(FullYear(1999), 1999);
    EXPECT_EQ(FullYear(2005), 2005);
    EXPECT_EQ(YearOfDate("12/5/2025"), 2025);
    EXPECT_EQ(YearOfDate("12/5/25"), 2025);
    EXPECT_EQ(YearOfDate("2025-12-05"), std::nullopt);
    EXPECT_EQ(YearOfDate("1/2/"), std::nullopt);
}

TEST(Wildcard, MatchesTheWholeNameIgnoringCase) {
    // Any script: "?" takes one character, however many bytes it has.
    EXPECT_TRUE(MatchesWildcard("ÄRGER.TXT", "ärger.*"));
    EXPECT_TRUE(MatchesWildcard("Ärger.txt", "?rger.txt"));
    EXPECT_TRUE(MatchesWildcard("Σημείωση.doc", "σημείωσ?.DOC"));
    EXPECT_TRUE(MatchesWildcard("öl.txt", "[ä-ö]l.txt"));
    EXPECT_FALSE(MatchesWildcard("ärger.txt", "??rger.txt"));
    EXPECT_TRUE(MatchesWildcard("Report.DOC", "*.doc"));
    EXPECT_TRUE(MatchesWildcard("report.doc", "*.DOC"));
    EXPECT_FALSE(MatchesWildcard("report.docx", "*.doc"));
    EXPECT_FALSE(MatchesWildcard("README", "*.*"));
    EXPECT_TRUE(MatchesWildcard("README", "*"));
    EXPECT_TRUE(MatchesWildcard("a.b.c", "*.*"));
    EXPECT_TRUE(MatchesWildcard("", "*"));
    EXPECT_FALSE(MatchesWildcard("", "?"));
    EXPECT_FALSE(MatchesWildcard("x", ""));
    EXPECT_TRUE(MatchesWildcard("file7.txt", "file#.txt"));
    EXPECT_FALSE(MatchesWildcard("filex.txt", "file#.txt"));
    EXPECT_TRUE(MatchesWildcard("abc", "a?c"));
    EXPECT_FALSE(MatchesWildcard("ac", "a?c"));
    EXPECT_TRUE(MatchesWildcard("log-b.txt", "log-[a-c].txt"));
    EXPECT_FALSE(MatchesWildcard("log-d.txt", "log-[a-c].txt"));
    EXPECT_TRUE(MatchesWildcard("log-d.txt", "log-[!a-c].txt"));
    EXPECT_FALSE(MatchesWildcard("log-a.txt", "log-[!a-c].txt"));
    EXPECT_TRUE(MatchesWildcard("x-.txt", "x[-].txt"));
    EXPECT_TRUE(MatchesWildcard("[a.txt", "[a.txt"));  // no closing bracket: literal
    // Backtracking across several stars.
    EXPECT_TRUE(MatchesWildcard("aXbXbc", "*b*c"));
    EXPECT_TRUE(MatchesWildcard("mississippi", "m*iss*ppi"));
    EXPECT_FALSE(MatchesWildcard("mississippi", "m*iss*ppx"));
}

}  // namespace
}  // namespace stowaway
