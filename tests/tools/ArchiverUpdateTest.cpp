// Updating an existing archive: what is carried over stays as it was (entries
// from other tools, the comment, owner and mode), times are compared at the
// precision the archive holds, and an update with nothing new changes nothing.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <grp.h>
#endif

#include <set>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

class ArchiverUpdate : public ArchiverFixture {
  protected:
    void WriteList(const std::vector<std::string>& paths) { WriteListFile(list, paths); }
    std::vector<std::string> Args(bool update, const std::string& header = "") {
        std::vector<std::string> a = {Archiver(), update ? "-add=update" : "-add=all"};
        if (!header.empty()) a.push_back("-header=@" + header);
        a.insert(a.end(), {"-lev=6", "-path=full", archive, "@" + list});
        return a;
    }
    RunResult Add(bool update, const std::string& header = "") {
        return RunProgram(Args(update, header));
    }
    // Every entry's header fields as Python reads them, one line each.
    std::string Fields() {
        return Python(
                   "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\n"
                   "print(repr(z.comment))\n"
                   "for i in z.infolist(): print(i.filename, i.create_system, i.create_version, "
                   "i.extract_version, i.flag_bits, hex(i.external_attr), i.compress_type, "
                   "i.date_time)\n",
                   {archive})
            .output;
    }
    std::string FieldsOf(const std::string& name) {
        for (const std::string& l : Lines(Fields())) {
            if (l.rfind(name + " ", 0) == 0) return l;
        }
        return "";
    }
};

// Entries made elsewhere (a DOS host, LZMA with its flag bit) keep their
// header fields, and -add without -header keeps the archive's comment.
TEST_F(ArchiverUpdate, EntriesFromOtherToolsAndTheCommentAreCarriedOverAsTheyWere) {
    STOWAWAY_NEEDS(PeerTools);
    ASSERT_EQ(Python("import sys, zipfile\n"
                     "z = zipfile.ZipFile(sys.argv[1], 'w')\n"
                     "i = zipfile.ZipInfo('lz.txt', (2001, 2, 3, 4, 5, 6))\n"
                     "i.compress_type = zipfile.ZIP_LZMA\n"
                     "z.writestr(i, 'hello ' * 100)\n"
                     "i = zipfile.ZipInfo('dos.txt', (1999, 9, 9, 9, 9, 10))\n"
                     "i.create_system = 0\ni.external_attr = 0x21\n"
                     "z.writestr(i, 'dos')\n"
                     "z.comment = b'keep me'\n",
                     {archive})
                  .status,
              0);
    const std::string lzBefore = FieldsOf("lz.txt"), dosBefore = FieldsOf("dos.txt");
    ASSERT_NE(lzBefore.find(" 2 0x"), std::string::npos) << lzBefore;  // flag bit 1

    WriteList({AddFile("new.txt", "new")});
    for (bool update : {false, true}) {
        const RunResult r = Add(update);
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(FieldsOf("lz.txt"), lzBefore);
        EXPECT_EQ(FieldsOf("dos.txt"), dosBefore);
        EXPECT_EQ(Lines(Fields()).front(), "b'keep me'");
        // unzip cannot test LZMA; Python can.
        EXPECT_EQ(
            Python("import sys, zipfile\nassert zipfile.ZipFile(sys.argv[1]).testzip() is None",
                   {archive})
                .status,
            0);
        // unzip gives the DOS entry ordinary permissions, not "----------".
        const RunResult info = RunProgram({"/usr/bin/zipinfo", archive, "dos.txt"});
        EXPECT_EQ(info.output.find("----------"), std::string::npos) << info.output;
        const RunResult seven = SevenZip(archive, {"t"});
        EXPECT_EQ(seven.status, 0) << seven.output;
        EXPECT_EQ(seven.output.find("Headers Error"), std::string::npos) << seven.output;
        WriteFile(dir / "data/new.txt", "newer");
        SetMtime(dir / "data/new.txt", ::time(nullptr) + 10);
    }
}

// Times outside what one field holds: before 1970, after 2038, after 2107.
TEST_F(ArchiverUpdate, DatesOutsideThe32BitRangeSurviveAndAreNotStoredAgain) {
    STOWAWAY_NEEDS(PeerTools);
    struct Case {
        const char* name;
        time_t t;
        const char* shown;  // as 7-Zip reads it back
    };
    const Case cases[] = {
        {"old", -305501879, "1960-04-27 02:22:01"},
        {"future", 2222222222, "2040-06-02 03:57:02"},
        {"far", 4102444800 + 3600 * 24 * 365 * 50L, "2149-12-20 00:00:00"},
        {"now", 1700000000, "2023-11-14 22:13:20"},
    };
    std::vector<std::string> files;
    for (const Case& c : cases) {
        files.push_back(AddFile(c.name, c.name));
        SetMtime(files.back(), c.t);
    }
    WriteList(files);
    RunResult r = Add(false);
    ASSERT_EQ(r.status, 0) << r.output;

    const RunResult seven = SevenZip(archive, {"l", "-slt"});
    for (const Case& c : cases) {
        EXPECT_NE(seven.output.find(std::string("Modified = ") + c.shown), std::string::npos)
            << c.name << "\n"
            << seven.output;
    }
    // No reader takes an old date for 2096 (an unsigned reading of a negative time).
    const RunResult bsd = RunProgram({"/usr/bin/bsdtar", "-tvf", archive});
    EXPECT_EQ(bsd.output.find("2096"), std::string::npos) << bsd.output;

    // Nothing changed: the next updates store nothing.
    for (int i = 0; i < 2; ++i) {
        r = Add(true);
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_EQ(CountLinesWith(r.output, "done."), 0) << r.output;
    }
    // A time 100 ns later counts as newer: the archive holds that precision.
    SetMtime(files[1], 2222222222, 100);
    r = Add(true);
    EXPECT_EQ(CountLinesWith(r.output, "done."), 1) << r.output;
}

// The nightly update with nothing newer leaves the archive file alone.
TEST_F(ArchiverUpdate, UpdateWithNothingNewLeavesTheArchiveUntouched) {
    const std::string header = dir / "header.dat";
    WriteFile(header, "header one\r\n");
    const std::string a = AddFile("a.txt", "a");
    WriteList({a});
    ASSERT_EQ(Add(false, header).status, 0);
    SetMtime(archive, 1000000000);
    stowaway::os::FileInfo before;
    ASSERT_TRUE(stowaway::os::StatPath(archive, before));

    RunResult r = Add(true, header);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("nothing was changed"), std::string::npos) << r.output;
    stowaway::os::FileInfo after;
    ASSERT_TRUE(stowaway::os::StatPath(archive, after));
    EXPECT_TRUE(stowaway::os::SameFile(after, before));
    EXPECT_EQ(Mtime(archive), 1000000000);

    // A changed header is a change.
    WriteFile(header, "header two\r\n");
    r = Add(true, header);
    EXPECT_EQ(r.status, 0) << r.output;
    if (Has(stowaway::test::Facility::PeerTools)) {
        EXPECT_EQ(Lines(Fields()).front(), "b'header two\\r\\n'");
    }
}

// The update looks at every listed file's date however the list is ordered
// (folders interleaved, one reached through a link, files and folders that
// are gone) and stores exactly the newer files again; the rest, large
// entries among them, are carried over intact.
TEST_F(ArchiverUpdate, ExactlyTheNewerFilesAreStoredAgainWhateverTheListsOrder) {
    STOWAWAY_NEEDS(PeerTools);
    std::vector<std::string> paths;
    const std::string noise = Noise(400000, 1);
    for (int i = 0; i < 3000; ++i) {
        const std::string content =
            i % 400 == 3 ? noise + std::to_string(i) : "n" + std::to_string(i);
        paths.push_back(AddFile("f" + std::to_string(i % 5) + "/n" + std::to_string(i), content));
        SetMtime(paths.back(), 1500000000);
    }
    fs::create_directory_symlink(toPath(dir / "data/f1"), toPath(dir / "data/link"));
    paths.push_back(dir / "data/link/n1");
    paths.push_back(dir / "data/gone.txt");
    paths.push_back(dir / "data/nofolder/n0");
    WriteList(paths);
    ASSERT_EQ(Add(false).status, 1);

    std::set<std::string> expected;
    for (int i = 1; i < 3000; i += 7) {
        SetMtime(paths[i], 1600000000);
        expected.insert(Stored(paths[i]));
    }
    expected.insert(Stored(dir / "data/link/n1"));
    const RunResult r = Add(true);
    EXPECT_EQ(r.status, 1) << r.output;
    std::set<std::string> updated;
    for (const std::string& l : Lines(r.output)) {
        const size_t at = l.find("Updating: ");
        if (at != std::string::npos)
            updated.insert(l.substr(at + 10, l.find("  ", at + 10) - at - 10));
    }
    EXPECT_EQ(updated, expected);
    EXPECT_NE(r.output.find("cannot open " + dir / "data/gone.txt"), std::string::npos);
    EXPECT_NE(r.output.find("cannot open " + dir / "data/nofolder/n0"), std::string::npos);
    const RunResult check = Python(
        "import sys, zipfile\nz = zipfile.ZipFile(sys.argv[1])\n"
        "print(z.testzip(), len(z.infolist()))\n",
        {archive});
    EXPECT_EQ(check.output, "None 3001\n");
}

#ifndef _WIN32
// Runs the archiver as the user "nobody" (65534).
RunResult RunAsNobody(const std::vector<std::string>& argv) {
    return RunLimited(argv, [] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(126);
    });
}

// Owner, group and mode of the old archive stay; a user who may not write the
// archive cannot replace it through a folder they may write; hard links are
// named in a warning.
#endif

TEST_F(ArchiverUpdate, AnUpdateKeepsOwnerAndModeAndRespectsWritePermission) {
    STOWAWAY_NEEDS(OtherUsers);
#ifndef _WIN32
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand files to other users";
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod((dir / "out").c_str(), 0777);  // anyone may create files beside the archive
    WriteList({AddFile("a.txt", "a")});
    ::chmod(list.c_str(), 0644);
    ::chmod((dir / "data").c_str(), 0755);
    ASSERT_EQ(Add(false).status, 0);

    // Root updates another user's private archive: it stays theirs.
    ASSERT_EQ(::chown(archive.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(archive.c_str(), 0600), 0);
    RunResult r = Add(false);
    EXPECT_EQ(r.status, 0) << r.output;
    struct stat st {};
    ::stat(archive.c_str(), &st);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    // A user without write permission on the archive is refused.
    ASSERT_EQ(::chown(archive.c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(archive.c_str(), 0644), 0);
    const std::string before = ReadFile(archive);
    r = RunAsNobody(Args(false));
    EXPECT_EQ(r.status, 2) << r.output;
    ASSERT_EQ(ProblemLines(r.output).size(), 1u) << r.output;
    EXPECT_EQ(ReadFile(archive), before);
    ::stat(archive.c_str(), &st);
    EXPECT_EQ(st.st_uid, 0u);

    // The user owns the archive but not its group: the group cannot be kept.
    ASSERT_EQ(::chown(archive.c_str(), 65534, 0), 0);
    ASSERT_EQ(::chmod(archive.c_str(), 0664), 0);
    r = RunAsNobody(Args(false));
    EXPECT_EQ(r.status, 1) << r.output;
    auto problems = ProblemLines(r.output);
    ASSERT_EQ(problems.size(), 1u) << r.output;
    EXPECT_NE(problems[0].find("owner and group"), std::string::npos) << problems[0];
    EXPECT_EQ(UnzipTest(archive), 0);

    // A second name for the archive keeps the old content: say so.
    const std::string link = dir / "out/other name.zip";
    ASSERT_EQ(::link(archive.c_str(), link.c_str()), 0);
    const std::string linked = ReadFile(link);
    r = Add(false);
    problems = ProblemLines(r.output);
    ASSERT_EQ(problems.size(), 1u) << r.output;
    EXPECT_NE(problems[0].find("hard link"), std::string::npos) << problems[0];
    EXPECT_EQ(ReadFile(link), linked);
#endif
}

}  // namespace
