// A set that went on in another folder when a medium was full: no folder
// keeps old volumes beside new ones, the output says where NAME.zip went, and
// the set named by its first folder is found (asked for) or clearly refused.
#include <gtest/gtest.h>

#include <map>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

class ArchiverMovedSet : public ::testing::Test {
  protected:
    ScratchDir dir;
    std::string span = dir / "span";
    std::string span2 = dir / "span2";
    std::string archive = span + "/big.zip";
    std::string list = dir / "files.lst";
    std::vector<std::string> files;

    void SetUp() override {
        fs::create_directories(toPath(span));
        fs::create_directories(toPath(span2));
        fs::create_directories(toPath(dir / "data"));
        for (unsigned i = 0; i < 6; ++i) {
            files.push_back(dir / ("data/f" + std::to_string(i) + ".bin"));
            WriteFile(files.back(), Noise(70000, 5 + i));
        }
        WriteListFile(list, files);
    }
    std::vector<std::string> Args(const std::string& spanOption) const {
        return {Archiver(), "-add=update", spanOption, "-lev=6", "-path=full", archive, "@" + list};
    }
    std::vector<std::string> Names(const std::string& folder) const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(toPath(folder)))
            out.push_back(fromPath(e.path().filename()));
        std::sort(out.begin(), out.end());
        return out;
    }
    void ExpectRestored(const std::string& back) {
        for (const std::string& f : files) EXPECT_EQ(ReadFile(Beneath(back, f)), ReadFile(f)) << f;
    }
};

TEST_F(ArchiverMovedSet, NoFolderKeepsAMixAndTheMovedLastVolumeIsFoundOrAskedFor) {
    // An older set of 7 volumes in span/.
    ASSERT_EQ(RunProgram(Args("-span=64k")).status, 0);
    ASSERT_EQ(Names(span).size(), 7u);
    // Newer files; the medium fills after two volumes and the rest goes to span2/.
    for (const std::string& f : files) SetMtime(f, Mtime(f) + 10);
    RunSetup setup;
    setup.env = {"PKZIP_TEST_MEDIUM_BYTES=140000"};
    setup.input = span2 + "\n" + span2 + "\n" + span2 + "\n" + span2 + "\n";
    const RunResult r = RunWith(Args("-span"), setup);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("The last volume of the set went to"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Removed 6 volume(s) of the old set that the new set does not use: "),
              std::string::npos)
        << r.output;
    // span/ holds only new volumes: no old big.zip, no old later volumes.
    EXPECT_EQ(Names(span), (std::vector<std::string>{"big.z01"}));
    EXPECT_EQ(Names(span2), (std::vector<std::string>{"big.z02", "big.z03", "big.zip"}));
    ASSERT_TRUE(fs::exists(toPath(span2 + "/big.zip")));

    // Named by its first folder, with nobody at the console: a clear refusal.
    for (const std::vector<std::string>& argv :
         {std::vector<std::string>{Archiver(), "-view", archive},
          {Archiver(), "-extract=all", "-dir=relative", archive, dir / "back"},
          Args("-span=64k")}) {
        const RunResult n = RunProgram(argv);
        EXPECT_EQ(n.status, 2) << n.output;
        EXPECT_NE(n.output.find("last volume big.zip is not in"), std::string::npos) << n.output;
    }
    EXPECT_FALSE(fs::exists(toPath(archive)));  // the update wrote no fresh archive over the set

    // With someone to answer, the folder is asked for and the set restored.
    RunSetup answer;
    answer.input = span2 + "\n";
    const RunResult e =
        RunWith({Archiver(), "-extract=all", "-dir=relative", archive, dir / "back"}, answer);
    EXPECT_EQ(e.status, 0) << e.output;
    ExpectRestored(dir / "back");

    // An update told the folder writes the set back where it is named and
    // removes every old volume, in both folders.
    for (const std::string& f : files) SetMtime(f, Mtime(f) + 10);
    const RunResult u = RunWith(Args("-span=64k"), answer);
    EXPECT_EQ(u.status, 0) << u.output;
    EXPECT_TRUE(fs::exists(toPath(archive)));
    EXPECT_TRUE(Names(span2).empty()) << Names(span2).front();
    const RunResult v = RunProgram({Archiver(), "-view", archive});
    EXPECT_EQ(v.status, 0) << v.output;
}

TEST_F(ArchiverMovedSet, AnOldSetBrokenByASwappedMediumIsRemovedNotLeftBesideNewVolumes) {
    ASSERT_EQ(RunProgram(Args("-span=64k")).status, 0);
    std::map<std::string, std::string> old;
    for (const std::string& n : Names(span)) old[n] = ReadFile(span + "/" + n);
    ASSERT_GE(old.size(), 5u);
    for (const std::string& f : files) SetMtime(f, Mtime(f) + 10);
    // The first medium is swapped (its old big.zip goes), then the user stops.
    RunSetup setup;
    setup.env = {"PKZIP_TEST_MEDIUM_BYTES=140000"};
    setup.input = std::string("\nq\n");
    const RunResult r = RunWith(Args("-span"), setup);
    EXPECT_EQ(r.status, 2) << r.output;
    EXPECT_NE(r.output.find("volume(s) of the old set, which cannot be read"), std::string::npos)
        << r.output;
    // What is left is the new set's first volume only: no old one beside it.
    EXPECT_EQ(Names(span), std::vector<std::string>{"big.z01"});
    EXPECT_NE(ReadFile(span + "/big.z01"), old["big.z01"]);
}

}  // namespace
