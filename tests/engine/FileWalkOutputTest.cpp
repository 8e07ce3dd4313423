// The walk's whole output for trees that hold every kind of entry it meets: every
// rule kind, odd and non-ASCII names, links, FIFOs, hidden, unreadable and
// unsearchable folders, and paths longer than the system can name. The selected
// files are listed by hand; their order is the file system's listing order, read
// here with readdir.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <set>
#include <sstream>

#include "EngineRig.h"
#include "engine/FileWalk.h"
#include "platform/Text.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

void SetYear(const std::string& nativePath, int year) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = 6;
    tm.tm_mday = 1;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    const timespec times[2] = {{std::mktime(&tm), 0}, {std::mktime(&tm), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, nativePath.c_str(), times, 0), 0) << nativePath;
}

std::vector<std::string> ListingOrder(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

// The paths of `selected` (relative to `root`) in the walk's order: a folder's
// own files in listing order, then each real subfolder's in listing order.
void InWalkOrder(const std::string& root, const std::string& rel,
                 const std::set<std::string>& selected, std::vector<std::string>& out) {
    std::vector<std::string> subfolders;
    for (const std::string& name : ListingOrder(root + "/" + rel)) {
        const std::string path = rel.empty() ? name : rel + "/" + name;
        struct stat st {};
        if (::lstat((root + "/" + path).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            subfolders.push_back(path);
        else if (selected.count(path))
            out.push_back(path);
    }
    for (const std::string& sub : subfolders) InWalkOrder(root, sub, selected, out);
}

struct Walked {
    std::vector<std::string> lines;
    std::int32_t count;
    std::vector<std::string> errors;  // sorted
    long events;
};

Walked Walk(test::TestProgram& p, const std::string& rule) {
    std::ostringstream list;
    p.app->job.FilesToDo = 0;
    p.app->job.WalkErrors.clear();
    p.ui.eventPasses = 0;
    WalkFolderRule(p.app->jobContext(), rule, true, &list);
    std::vector<std::string> errors = p.app->job.WalkErrors;
    std::sort(errors.begin(), errors.end());
    return {test::Lines(list.str()), p.app->job.FilesToDo, errors, p.ui.eventPasses};
}

std::string CannotReadFolder(const std::string& folder) {
    return "Cannot read the folder " + folder + "; its files were left out.";
}
std::string CannotReadDate(const std::string& path) {
    return "Cannot read the date of " + path + "; it was left out.";
}
std::string HoldsALineBreak(const std::string& visible) {
    return "The name " + visible +
           " holds a line break, which the list file cannot carry; it was left out.";
}

// data: plain, odd and non-ASCII names, a name that is not UTF-8, a FIFO, links to
// a file, to a folder, dangling and to themselves, a hidden file and folder,
// folders named pagefile.sys and with a line break, and dated files.
class WalkOutput : public ::testing::Test {
  protected:
    void SetUp() override {
        data = p.dir / "data";
        for (const std::string& name : OwnFiles()) test::WriteFile(data + "/" + name, "x");
        for (const char* name :
             {".hidden.txt", "pagefile.sys", "PageFile.SYS", "two\nlines.txt", ".hiddendir/x.txt",
              "sub/c.txt", "sub/deeper/d.txt", "sub/.h/e.txt", "\xc3\x84rger/\xc3\xbc.txt",
              "UPPER/Mixed.Case", "PAGEFILE.SYS/inside.txt"})
            test::WriteFile(data + "/" + name, "x");
        ASSERT_EQ(::mkfifo((data + "/pipe.txt").c_str(), 0644), 0);
        ASSERT_EQ(::mkfifo((data + "/sub/fifo").c_str(), 0644), 0);
        fs::create_symlink(toPath(data + "/a.txt"), toPath(data + "/linked.txt"));
        fs::create_symlink(toPath("sub/c.txt"), toPath(data + "/rel.txt"));
        fs::create_symlink(toPath(data + "/missing.txt"), toPath(data + "/dangling.txt"));
        fs::create_symlink(toPath("loop.txt"), toPath(data + "/loop.txt"));
        fs::create_directory_symlink(toPath(data), toPath(data + "/up"));
        fs::create_directory_symlink(toPath(".."), toPath(data + "/sub/back"));
        // A folder whose name would smuggle another path into the list.
        test::WriteFile(data + "/evil\n" + p.dir.path() + "/private/key.txt", "x");

        SetYear(data + "/a.txt", 2004);
        SetYear(data + "/B.TXT", 2006);
        SetYear(data + "/n\xc3\xa9v\xc3\xa9.txt", 1998);
        SetYear(data + "/Document-2024.doc", 2005);
        SetYear(data + "/sub/c.txt", 1999);
    }

    // The files of data that a whole-folder rule selects, links included.
    static std::vector<std::string> OwnFiles() {
        return {"Readme",
                "a.txt",
                "B.TXT",
                "n\xc3\xa9v\xc3\xa9.txt",
                "\xc3\x89T\xc3\x89.TXT",
                "\xff\xfe.bin",
                "with space.txt",
                "quote\"d.txt",
                "semi;colon&.txt",
                "$HOME.txt",
                "star*?.txt",
                "back\\slash.txt",
                "percent%1%.TXT",
                "Document-2024.doc",
                "notes",
                "tab\tname.txt",
                "pagefile.sys.bak"};
    }

    // The lines a walk of data writes for these relative paths, in walk order.
    std::vector<std::string> Expected(const std::set<std::string>& selected) const {
        std::vector<std::string> order;
        InWalkOrder(data, "", selected, order);
        EXPECT_EQ(order.size(), selected.size()) << "a selected path is not in the tree";
        for (std::string& path : order) path = data + "/" + path;
        return order;
    }

    std::set<std::string> Own(std::initializer_list<const char*> links = {"linked.txt",
                                                                          "rel.txt"}) const {
        std::set<std::string> out(links.begin(), links.end());
        for (const std::string& name : OwnFiles()) out.insert(name);
        return out;
    }

    test::TestProgram p;
    std::string data;
};

TEST_F(WalkOutput, WholeFolderRulesListEveryPlainFileInWalkOrder) {
    std::set<std::string> all = Own();
    for (const char* path :
         {"sub/c.txt", "sub/deeper/d.txt", "\xc3\x84rger/\xc3\xbc.txt", "UPPER/Mixed.Case"})
        all.insert(path);
    Walked w = Walk(p, "R+ " + data + "/*.*");
    EXPECT_EQ(w.lines, Expected(all));
    EXPECT_EQ(w.count, static_cast<std::int32_t>(all.size()));
    EXPECT_EQ(w.errors, (std::vector<std::string>{HoldsALineBreak(data + "/evil\\n"),
                                                  HoldsALineBreak(data + "/two\\nlines.txt")}));
    // The window is served after every entry of every folder walked, skipped or not.
    long entries = 0;
    for (const char* folder : {"", "/sub", "/sub/deeper", "/\xc3\x84rger", "/UPPER"})
        entries += static_cast<long>(ListingOrder(data + folder).size());
    EXPECT_EQ(w.events, entries);

    Walked own = Walk(p, "R- " + data + "/*.*");
    EXPECT_EQ(own.lines, Expected(Own()));
    EXPECT_EQ(own.count, static_cast<std::int32_t>(Own().size()));
    EXPECT_EQ(own.errors, (std::vector<std::string>{HoldsALineBreak(data + "/two\\nlines.txt")}));
    EXPECT_EQ(own.events, static_cast<long>(ListingOrder(data).size()));

    // A rule whose folder is missing or is a file selects nothing.
    Walked missing = Walk(p, "R+ " + data + "/nothing/*.*");
    EXPECT_EQ(missing.count, 0);
    EXPECT_EQ(missing.errors, (std::vector<std::string>{CannotReadFolder(data + "/nothing/")}));
    Walked file = Walk(p, "R+ " + data + "/Readme/*.*");
    EXPECT_EQ(file.errors, (std::vector<std::string>{CannotReadFolder(data + "/Readme/")}));
    // A rule on a link to a folder walks the folder it leads to.
    EXPECT_EQ(Walk(p, "R- " + data + "/up/*.*").count, static_cast<std::int32_t>(Own().size()));
}

TEST_F(WalkOutput, WildcardRulesMatchLowerCasedNamesCharacterByCharacter) {
    const std::string txt[] = {"a.txt",
                               "B.TXT",
                               "n\xc3\xa9v\xc3\xa9.txt",
                               "\xc3\x89T\xc3\x89.TXT",
                               "with space.txt",
                               "quote\"d.txt",
                               "semi;colon&.txt",
                               "$HOME.txt",
                               "star*?.txt",
                               "back\\slash.txt",
                               "percent%1%.TXT",
                               "tab\tname.txt",
                               "linked.txt",
                               "rel.txt",
                               "sub/c.txt",
                               "sub/deeper/d.txt",
                               "\xc3\x84rger/\xc3\xbc.txt"};
    const std::string lineBreakFolder = HoldsALineBreak(data + "/evil\\n");
    Walked included = Walk(p, "R+ Include: " + data + "/*.txt");
    EXPECT_EQ(included.lines, Expected(std::set<std::string>(std::begin(txt), std::end(txt))));
    EXPECT_EQ(included.errors, (std::vector<std::string>{
                                   lineBreakFolder, HoldsALineBreak(data + "/two\\nlines.txt")}));
    Walked excluded = Walk(p, "R+ Exclude: " + data + "/*.TXT");
    EXPECT_EQ(excluded.lines, Expected({"Readme", "\xff\xfe.bin", "Document-2024.doc", "notes",
                                        "pagefile.sys.bak", "UPPER/Mixed.Case"}));
    EXPECT_EQ(excluded.errors, (std::vector<std::string>{lineBreakFolder}));

    struct Case {
        const char* wildcard;
        std::set<std::string> own;  // selected among data's own files
    };
    const Case cases[] = {
        {"*.*",
         [&] {
             std::set<std::string> s = Own();
             s.erase("Readme");
             s.erase("notes");
             return s;
         }()},
        {"[a-d]*.???", {"a.txt", "B.TXT", "back\\slash.txt", "Document-2024.doc"}},
        {"*-####.doc", {"Document-2024.doc"}},
        {"[!a-z]*", {"$HOME.txt", "\xff\xfe.bin", "\xc3\x89T\xc3\x89.TXT"}},
        {"\xc3\xa9*", {"\xc3\x89T\xc3\x89.TXT"}},
        {"*\xc3\xa9.txt", {"n\xc3\xa9v\xc3\xa9.txt", "\xc3\x89T\xc3\x89.TXT"}},
        {"?.txt", {"a.txt", "B.TXT"}},
        {"\xff*", {"\xff\xfe.bin"}},
        {"star[*]?.txt", {"star*?.txt"}},
        {"*[%]1[%].txt", {"percent%1%.TXT"}},
        {"pagefile.sys*", {"pagefile.sys.bak"}},
        {"[abc", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        Walked w = Walk(p, "R- Include: " + data + "/" + c.wildcard);
        EXPECT_EQ(w.lines, Expected(c.own)) << c.wildcard;
        EXPECT_EQ(w.count, static_cast<std::int32_t>(c.own.size())) << c.wildcard;
        std::set<std::string> rest = Own();
        for (const std::string& name : c.own) rest.erase(name);
        EXPECT_EQ(Walk(p, "R- Exclude: " + data + "/" + c.wildcard).lines, Expected(rest))
            << c.wildcard;
    }
}

TEST_F(WalkOutput, DateRulesCompareTheYearOfEachFileOrItsLinksTarget) {
    const std::string lineBreakFolder = HoldsALineBreak(data + "/evil\\n");
    Walked before = Walk(p, "R+ Before 1/1/2005: " + data + "/*.*");
    EXPECT_EQ(before.lines,
              Expected({"a.txt", "linked.txt", "n\xc3\xa9v\xc3\xa9.txt", "rel.txt", "sub/c.txt"}));
    EXPECT_EQ(before.errors, (std::vector<std::string>{lineBreakFolder}));

    std::set<std::string> after = Own();
    for (const char* old : {"a.txt", "linked.txt", "n\xc3\xa9v\xc3\xa9.txt", "rel.txt"})
        after.erase(old);
    Walked later = Walk(p, "R- After 6/30/2005: " + data + "/*.*");
    EXPECT_EQ(later.lines, Expected(after));
    EXPECT_EQ(later.errors, (std::vector<std::string>{HoldsALineBreak(data + "/two\\nlines.txt")}));
    // Whole years: a file of mid-2005 is after the last day of 2005.
    EXPECT_EQ(Walk(p, "R- After 12/31/2005: " + data + "/*.*").lines, Expected(after));
    after.erase("Document-2024.doc");
    EXPECT_EQ(Walk(p, "R- After 1/1/2006: " + data + "/*.*").lines, Expected(after));
    EXPECT_EQ(Walk(p, "R- Before 12/31/99: " + data + "/*.*").lines,
              Expected({"n\xc3\xa9v\xc3\xa9.txt"}));
    // The wildcard of a date rule takes no part.
    EXPECT_EQ(Walk(p, "R- Before 12/31/99: " + data + "/*.doc").lines,
              Expected({"n\xc3\xa9v\xc3\xa9.txt"}));
}

// Names are lower-cased before they are used, the paths of subfolders and of dated
// files too: on a disk that keeps letter case such a path names nothing.
TEST(WalkOutputWindows, NamesAndThePathsBuiltFromThemAreLowerCased) {
    test::TestProgram p(true);
    for (const char* name :
         {"Report.DOC", "notes.txt", "Sub\\x.txt", "lower\\y.txt", "lower\\Z.TXT", "PageFile.sys"})
        test::WriteFile(p.native(std::string("C:\\Data\\") + name), "x");
    const std::string subError = CannotReadFolder("C:\\Data\\sub\\");
    std::vector<std::string> own;
    for (const std::string& name : ListingOrder(p.native("C:\\Data")))
        if (name == "Report.DOC" || name == "notes.txt")
            own.push_back("C:\\Data\\" + ToLower(name));
    std::vector<std::string> lower;
    for (const std::string& name : ListingOrder(p.native("C:\\Data\\lower")))
        lower.push_back("C:\\Data\\lower\\" + ToLower(name));

    Walked all = Walk(p, "R+ C:\\Data\\*.*");
    std::vector<std::string> expected = own;
    expected.insert(expected.end(), lower.begin(), lower.end());
    EXPECT_EQ(all.lines, expected);
    EXPECT_EQ(all.errors, (std::vector<std::string>{subError}));

    Walked txt = Walk(p, "R+ Include: C:\\Data\\*.TXT");
    expected = {"C:\\Data\\notes.txt"};
    expected.insert(expected.end(), lower.begin(), lower.end());
    EXPECT_EQ(txt.lines, expected);
    EXPECT_EQ(txt.errors, (std::vector<std::string>{subError}));

    Walked dated = Walk(p, "R- After 1/1/1990: C:\\Data\\*.*");
    EXPECT_EQ(dated.lines, (std::vector<std::string>{"C:\\Data\\notes.txt"}));
    EXPECT_EQ(dated.errors, (std::vector<std::string>{CannotReadDate("C:\\Data\\report.doc")}));
}

// A folder nobody may read is an error; in a folder that may be read but not
// searched the names are listed, but no date and no link target can be looked up
// and no subfolder opened.
TEST(WalkOutputPermissions, UnreadableAndUnsearchableFolders) {
    test::TestProgram p;
    const std::string q = p.dir / "perm";
    for (const char* name : {"open.txt", "locked/secret.txt", "shut/f.txt", "shut/inner/g.txt"})
        test::WriteFile(q + "/" + name, "x");
    fs::create_symlink(toPath("f.txt"), toPath(q + "/shut/link.txt"));
    test::LetEveryoneIn(p.dir.path());
    ASSERT_EQ(::chmod((q + "/locked").c_str(), 0), 0);
    ASSERT_EQ(::chmod((q + "/shut").c_str(), 0444), 0);

    auto same = [](const char* what, const std::vector<std::string>& got,
                   const std::vector<std::string>& want) {
        if (got == want) return true;
        std::fprintf(stderr, "%s differs:\n", what);
        for (const std::string& line : got) std::fprintf(stderr, "  got  %s\n", line.c_str());
        for (const std::string& line : want) std::fprintf(stderr, "  want %s\n", line.c_str());
        return false;
    };
    EXPECT_TRUE(test::RunAsOrdinaryUser([&] {
        Walked all = Walk(p, "R+ " + q + "/*.*");
        std::vector<std::string> lines = all.lines;
        std::sort(lines.begin(), lines.end());
        Walked dated = Walk(p, "R+ After 1/1/1990: " + q + "/*.*");
        Walked locked = Walk(p, "R+ " + q + "/locked/*.*");
        return same("whole folder", lines, {q + "/open.txt", q + "/shut/f.txt"}) &
               same("its errors", all.errors,
                    {CannotReadFolder(q + "/locked/"), CannotReadFolder(q + "/shut/inner/")}) &
               same("dated", dated.lines, {q + "/open.txt"}) &
               same("its errors", dated.errors,
                    {CannotReadDate(q + "/shut/f.txt"), CannotReadFolder(q + "/locked/"),
                     CannotReadFolder(q + "/shut/inner/")}) &
               same("locked", locked.errors, {CannotReadFolder(q + "/locked/")}) &
               (locked.count == 0 && locked.lines.empty());
    }));
}

void RemoveTree(int parent, const char* name) {
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        ::unlinkat(parent, name, 0);
        return;
    }
    DIR* dir = ::fdopendir(fd);
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir))
        if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
            names.push_back(e->d_name);
    for (const std::string& n : names) RemoveTree(fd, n.c_str());
    ::closedir(dir);
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

// Paths of PATH_MAX bytes and more: a folder there cannot be opened and a file's
// date cannot be read, but a name in a folder that can be read is still listed.
TEST(WalkOutputLongPaths, WhatTheSystemCannotNameByPathIsAnErrorOrUndated) {
    test::TestProgram p;
    const std::string top = p.dir / "long";
    fs::create_directory(toPath(top));
    struct Cleanup {
        std::string top;
        ~Cleanup() { RemoveTree(AT_FDCWD, top.c_str()); }
    } cleanup{top};

    auto writeIn = [](int fd, const std::string& name) {
        const int file = ::openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(file, 0) << name.size();
        ::close(file);
    };
    // Folders of 100-character names, each with f.txt, as deep as f.txt's path
    // stays below PATH_MAX; the deepest also holds a file whose path does not,
    // and a folder whose own path does not.
    std::string folder = top + "/";
    std::vector<std::string> listed;
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const std::string level(100, 'a');
    while (folder.size() + level.size() + 1 + 5 < PATH_MAX) {
        ASSERT_EQ(::mkdirat(fd, level.c_str(), 0755), 0);
        const int next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        folder += level + "/";
        writeIn(fd, "f.txt");
        listed.push_back(folder + "f.txt");
    }
    const std::string longName(120, 'g');
    ASSERT_GE(folder.size() + longName.size(), static_cast<std::size_t>(PATH_MAX));
    writeIn(fd, longName);
    const std::string beyond(150, 'b');
    ASSERT_EQ(::mkdirat(fd, beyond.c_str(), 0755), 0);
    const int inner = ::openat(fd, beyond.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    writeIn(inner, "f.txt");
    ::close(inner);
    ::close(fd);
    const std::string beyondError = CannotReadFolder(folder + beyond + "/");

    Walked all = Walk(p, "R+ " + top + "/*.*");
    std::vector<std::string> expected = listed;
    expected.push_back(folder + longName);
    std::sort(expected.begin(), expected.end());
    std::sort(all.lines.begin(), all.lines.end());
    EXPECT_EQ(all.lines, expected);
    EXPECT_EQ(all.errors, (std::vector<std::string>{beyondError}));

    Walked dated = Walk(p, "R+ After 1/1/1990: " + top + "/*.*");
    std::sort(dated.lines.begin(), dated.lines.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(dated.lines, listed);
    EXPECT_EQ(dated.errors,
              (std::vector<std::string>{CannotReadDate(folder + longName), beyondError}));
}

}  // namespace
}  // namespace stowaway
