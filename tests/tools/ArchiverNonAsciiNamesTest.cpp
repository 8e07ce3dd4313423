// Names beyond ASCII through the real archiver: backed up, read by others and
// restored unchanged, and found in any letter case as a batch line may spell them.
#include <gtest/gtest.h>

#include <set>

#include "ToolTestSupport.h"
#include "support/NonAsciiNames.h"

namespace {

using namespace tooltest;

class ArchiverNonAsciiNames : public ArchiverFixture {
  protected:
    ArchiverNonAsciiNames() : ArchiverFixture("out/ÄRGER Σοφός/Backup.zip") {}
    void SetUp() override {
        ArchiverFixture::SetUp();
        fs::create_directories(toPath(dir / "out/ÄRGER Σοφός"));
        for (const std::string& name : stowaway::test::NonAsciiFileNames())
            paths.push_back(AddFile("Ordner Ü/" + name, "content of " + name));
        WriteListFile(list, paths);
    }
    std::vector<std::string> paths;
};

TEST_F(ArchiverNonAsciiNames, BackUpAndRestoreUnchangedThroughAnyLetterCase) {
    RunResult r = RunWith({Archiver(), "-add=all", "-path=full", archive, "@" + list}, RunSetup{});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(ProblemLines(r.output).empty()) << r.output;

    // Other readers see the same names (UTF-8, flagged as such); on Windows the
    // interoperability run has them read what that archiver wrote.
    const std::vector<std::string> names = stowaway::test::NonAsciiFileNames();
    if (Has(stowaway::test::Facility::PeerTools)) {
        r = Python(
            "import sys, zipfile\n"
            "for n in sorted(zipfile.ZipFile(sys.argv[1]).namelist()): print(n.rsplit('/', "
            "1)[-1])\n",
            {archive});
        ASSERT_EQ(r.status, 0) << r.output;
        std::set<std::string> listed;
        for (const std::string& line : Lines(r.output)) listed.insert(line);
        EXPECT_EQ(listed, std::set<std::string>(names.begin(), names.end()));
    }

    // The archive's folder and name lower-cased, as a Windows-style line has them.
    const std::string target = dir / "target";
    fs::create_directories(toPath(target));
    r = RunWith(
        {Archiver(), "-extract=all", "-dir=relative", dir / "out/ärger σοφός/backup.zip", target},
        RunSetup{});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(ProblemLines(r.output).empty()) << r.output;
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(ReadFile(Beneath(target, paths[i])), "content of " + names[i]) << names[i];
    EXPECT_EQ(CountFiles(target), names.size());
}

}  // namespace
