#include "engine/FileWalk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "EngineRig.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

struct Walked {
    std::vector<std::string> lines;
    std::int32_t count;
};

Walked Walk(App& app, const std::string& rule, bool write = true) {
    std::ostringstream list;
    app.job.FilesToDo = 0;
    WalkFolderRule(app.jobContext(), rule, write, &list);
    return {test::Lines(list.str()), app.job.FilesToDo};
}

// /data: Readme, a.txt, B.TXT, .hidden.txt, pagefile.sys, PageFile.SYS, a FIFO,
// linked.txt (a link to a.txt), up (a link to the folder itself), sub/c.txt,
// sub/deeper/d.txt.
class PosixWalk : public ::testing::Test {
  protected:
    void SetUp() override {
        data = p.dir / "data";
        for (const char* name : {"Readme", "a.txt", "B.TXT", ".hidden.txt", "pagefile.sys",
                                 "PageFile.SYS", "sub/c.txt", "sub/deeper/d.txt"})
            test::WriteFile(data + "/" + name, name);
        ASSERT_EQ(::mkfifo((data + "/pipe.txt").c_str(), 0644), 0);
        fs::create_symlink(toPath(data + "/a.txt"), toPath(data + "/linked.txt"));
        fs::create_directory_symlink(toPath(data), toPath(data + "/up"));
    }
    test::TestProgram p;
    std::string data;
};

TEST(FileWalk, WhatCannotBeReadIsAnErrorAndTheRestStillRuns) {
    test::TestProgram p;
    App& app = *p.app;
    test::WriteFile(p.dir / "ok/a.txt", "x");
    std::ostringstream list;
    WalkFolderRule(app.jobContext(), "R+ " + (p.dir / "missing") + "/*.*", true, &list);
    WalkFolderRule(app.jobContext(), "R+ After someday: " + (p.dir / "ok") + "/*.*", true, &list);
    WalkFolderRule(app.jobContext(), "R+ " + (p.dir / "ok") + "/*.*", true, &list);
    EXPECT_TRUE(app.job.WalkFailed);
    ASSERT_EQ(app.job.WalkErrors.size(), 2u);
    EXPECT_NE(app.job.WalkErrors[0].find(p.dir / "missing"), std::string::npos);
    EXPECT_NE(app.job.WalkErrors[1].find("After someday"), std::string::npos);
    EXPECT_EQ(test::Lines(list.str()), (std::vector<std::string>{p.dir / "ok/a.txt"}));
}

// The walk opens each folder once and asks everything else of the open folder:
// no date, link target or listing is looked up by a path built per entry.
class PathCallCounting : public NativePlatform {
  public:
    using NativePlatform::NativePlatform;
    mutable int pathCalls = 0, opened = 0;
    bool listDirectory(const std::string& f, std::vector<DirEntry>& e) const override {
        ++pathCalls;
        return NativePlatform::listDirectory(f, e);
    }
    std::optional<std::time_t> fileModified(const std::string& path) const override {
        ++pathCalls;
        return NativePlatform::fileModified(path);
    }
    bool folderExists(const std::string& path) const override {
        ++pathCalls;
        return NativePlatform::folderExists(path);
    }
    bool fileExists(const std::string& path) const override {
        ++pathCalls;
        return NativePlatform::fileExists(path);
    }
    std::unique_ptr<OpenFolder> openFolder(const std::string& folder) const override {
        ++opened;
        return NativePlatform::openFolder(folder);
    }
};

TEST_F(PosixWalk, EachFolderIsOpenedOnceAndNothingIsLookedUpByPath) {
    PathCallCounting platform(p.dir.path());
    test::FakeUi ui;
    App app(platform, ui);
    for (const char* rule :
         {"R+ ", "R+ After 1/1/1990: ", "R+ Before 1/1/1990: ", "R+ Include: ", "R+ Exclude: "}) {
        platform.pathCalls = platform.opened = 0;
        app.job.FilesToDo = 0;
        std::ostringstream list;
        WalkFolderRule(app.jobContext(), rule + data + "/*.*", true, &list);
        EXPECT_EQ(platform.opened, 3) << rule;  // data, sub, sub/deeper
        EXPECT_EQ(platform.pathCalls, 0) << rule;
    }
    EXPECT_EQ(app.job.FilesToDo, 1);  // "*.*" excluded leaves Readme
    EXPECT_FALSE(app.job.WalkFailed);
}

// A name may hold a line break on POSIX; one line of the list file per path means
// such a name could smuggle in another path (here one outside every rule).
TEST_F(PosixWalk, NamesWithLineBreaksNeverReachTheListAndAreReported) {
    const std::string secret = p.dir / "private/key.txt";
    test::WriteFile(secret, "only root reads this");
    const std::string mimic = data + "/evil\n" + p.dir.path() + "/private";
    fs::create_directories(toPath(mimic));
    test::WriteFile(mimic + "/key.txt", "decoy");
    test::WriteFile(data + "/two\nlines.txt", "x");
    test::WriteFile(data + "/sub/cr\rname.txt", "x");

    Walked w = Walk(*p.app, "R+ " + data + "/*.*");
    for (const std::string& line : w.lines) {
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << line;
        EXPECT_NE(line, secret);
    }
    EXPECT_EQ(w.count, 6);  // the same six as without the odd names
    EXPECT_TRUE(p.app->job.WalkFailed);
    std::vector<std::string> errors = p.app->job.WalkErrors;
    std::sort(errors.begin(), errors.end());
    ASSERT_EQ(errors.size(), 3u);
    EXPECT_EQ(errors[0],
              "The name " + data +
                  "/evil\\n holds a line break, which the list file cannot carry; it was left "
                  "out.");
    EXPECT_NE(errors[1].find(data + "/sub/cr\\rname.txt"), std::string::npos);
    EXPECT_NE(errors[2].find(data + "/two\\nlines.txt"), std::string::npos);

    // Without recursion the odd folder is not walked, so it is no error.
    p.app->job.WalkErrors.clear();
    Walk(*p.app, "R- Include: " + data + "/*.doc");
    EXPECT_TRUE(p.app->job.WalkErrors.empty());
}

// A NUL cuts a path short where the OS reads it: each subfolder would list the
// same folder again, without end.
TEST_F(PosixWalk, ARuleWithANulEndsWithAnErrorInsteadOfWalkingForever) {
    const std::string rule = "R+ " + data + std::string("\0/sub/*.*", 9);
    Walked w = Walk(*p.app, rule);
    EXPECT_TRUE(w.lines.empty());
    EXPECT_EQ(w.count, 0);
    ASSERT_EQ(p.app->job.WalkErrors.size(), 1u);
    EXPECT_NE(p.app->job.WalkErrors[0].find(data + "\\0/sub/*.*"), std::string::npos);

    // The walk itself, given such a folder, lists nothing either.
    p.app->job.WalkErrors.clear();
    std::ostringstream list;
    EnumerateFolder(p.app->jobContext(), data + std::string("\0/sub/", 6), "", 0, true, true,
                    SelectMode::All, &list);
    EXPECT_EQ(list.str(), "");
    EXPECT_EQ(p.app->job.WalkErrors.size(), 1u);
}

}  // namespace
}  // namespace stowaway
