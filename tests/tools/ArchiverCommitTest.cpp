// Putting the new archive in place, interrupted or failing at every rename:
// one file, and sets of 2 and 6 volumes. Whatever happens, the old or the new
// archive reads cleanly (with our reader, and with 7-Zip or unzip once it is
// whole in place), the message says which, and the next run cleans up.
#include <gtest/gtest.h>

#include "ToolTestSupport.h"

namespace {

using namespace tooltest;

struct Shape {
    const char* name;
    std::string span;  // "" for one file
    size_t randomBytes;
    size_t disks;
};

// Names the shape in test listings instead of dumping its bytes.
void PrintTo(const Shape& shape, std::ostream* os) {
    *os << shape.name;
}

class ArchiverCommit : public ArchiverFixture, public ::testing::WithParamInterface<Shape> {
  protected:
    ArchiverCommit() : ArchiverFixture("out/set.zip") {}
    std::string marker = dir / "data/marker.txt";

    void SetUp() override {
        ArchiverFixture::SetUp();
        WriteFile(dir / "data/noise.bin", Noise(GetParam().randomBytes, 11));
        WriteFile(marker, "old");
        WriteListFile(list, {dir / "data/noise.bin", marker});
    }
    std::vector<std::string> Args() const {
        std::vector<std::string> a = {Archiver(), "-add=all"};
        if (!GetParam().span.empty()) a.push_back(GetParam().span);
        a.insert(a.end(), {"-lev=6", "-path=full", archive, "@" + list});
        return a;
    }
    RunResult Update(const std::string& fault) {
        RunSetup setup;
        if (!fault.empty()) setup.env = {"PKZIP_TEST_COMMIT_FAULT=" + fault};
        return RunWith(Args(), setup);
    }
    // What the folder holds besides set.zip and its volumes.
    std::vector<std::string> Strays() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(toPath(dir / "out"))) {
            const std::string name = fromPath(e.path().filename());
            if (name.rfind("set.z", 0) != 0) out.push_back(name);
        }
        return out;
    }
    size_t VolumeCount() const {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(toPath(dir / "out"))) {
            n += fromPath(e.path().filename()).rfind("set.z", 0) == 0;
        }
        return n;
    }
    // The marker's content as our restore finds it ("" when it fails).
    std::string Restored() {
        const std::string back = dir / "back";
        fs::remove_all(toPath(back));
        const RunResult r =
            RunProgram({Archiver(), "-extract=all", "-dir=relative", archive, back});
        if (r.status != 0) return "restore failed: " + r.output;
        return ReadFile(Beneath(back, marker));
    }
    // 7-Zip for a set, unzip for one file.
    RunResult OthersTest() {
        if (!Has(stowaway::test::Facility::PeerTools)) return {0, "no other archiver to call here"};
        if (GetParam().span.empty()) return RunProgram({"/usr/bin/unzip", "-tq", archive});
        return SevenZip(archive, {"t"});
    }
};

TEST_P(ArchiverCommit, AnIoErrorAtEveryRenamePutsTheOldArchiveBackAndSaysSo) {
    ASSERT_EQ(Update("").status, 0);
    ASSERT_EQ(VolumeCount(), GetParam().disks);
    WriteFile(marker, "new");
    int failed = 0;
    for (int n = 1; n < 40; ++n) {
        SCOPED_TRACE("error at step " + std::to_string(n));
        const RunResult r = Update("eio@" + std::to_string(n));
        if (r.status == 0) break;  // past the last rename: the fault never came
        ++failed;
        EXPECT_EQ(r.status, 2) << r.output;
        EXPECT_NE(r.output.find("Input/output error"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("every volume was put back"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("the old archive was left unchanged"), std::string::npos)
            << r.output;
        EXPECT_EQ(Restored(), "old");
        EXPECT_EQ(OthersTest().status, 0);
        EXPECT_EQ(VolumeCount(), GetParam().disks);
        EXPECT_TRUE(Strays().empty()) << Strays().front();
        ASSERT_LT(n, 39);
    }
    // The old volumes aside, then the new ones in place.
    EXPECT_EQ(failed, static_cast<int>(2 * GetParam().disks));
    EXPECT_EQ(Restored(), "new");
    EXPECT_EQ(OthersTest().status, 0);
    EXPECT_TRUE(Strays().empty());
}

TEST_P(ArchiverCommit, AKillAtEveryRenameLeavesASetTheNextRunReadsAndCleansUp) {
    ASSERT_EQ(Update("").status, 0);
    const size_t steps = 2 * GetParam().disks + 1;  // and the point before the clean-up
    for (size_t n = 1; n <= steps; ++n) {
        SCOPED_TRACE("kill at step " + std::to_string(n));
        WriteFile(marker, "new");
        const RunResult r = Update("kill@" + std::to_string(n));
        ASSERT_EQ(r.status, kKilledStatus) << r.output;
        // Up to the last rename the old set is put back, after it the new one is kept.
        const std::string expected = n == steps ? "new" : "old";
        // The listing settles the interrupted commit first and then reads the set.
        const RunResult view = RunProgram({Archiver(), "-view", archive});
        EXPECT_EQ(view.status, 0) << view.output;
        EXPECT_NE(view.output.find("an interrupted update"), std::string::npos) << view.output;
        EXPECT_EQ(Restored(), expected);
        EXPECT_EQ(OthersTest().status, 0);
        EXPECT_TRUE(Strays().empty()) << Strays().front();
        EXPECT_EQ(VolumeCount(), GetParam().disks);
        // Back to the old content for the next round.
        WriteFile(marker, "old");
        ASSERT_EQ(Update("").status, 0);
    }
}

TEST_P(ArchiverCommit, ASigtermDuringTheCommitWaitsForItAndLeavesNoWorkFiles) {
    ASSERT_EQ(Update("").status, 0);
    for (size_t n = 1; n <= 2 * GetParam().disks; ++n) {
        SCOPED_TRACE("SIGTERM at step " + std::to_string(n));
        WriteFile(marker, "new" + std::to_string(n));
        const RunResult r = Update("term@" + std::to_string(n));
        EXPECT_EQ(r.status, kInterruptedStatus) << r.output;
        EXPECT_EQ(Restored(), "new" + std::to_string(n));
        EXPECT_EQ(OthersTest().status, 0);
        EXPECT_TRUE(Strays().empty()) << Strays().front();
        EXPECT_EQ(VolumeCount(), GetParam().disks);
    }
}

TEST_P(ArchiverCommit, TheNextUpdateAfterAKillSettlesAndGoesOn) {
    ASSERT_EQ(Update("").status, 0);
    WriteFile(marker, "new");
    ASSERT_EQ(Update("kill@2").status, kKilledStatus);
    WriteFile(marker, "newer");
    const RunResult r = Update("");
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("the old archive is back in place"), std::string::npos) << r.output;
    EXPECT_EQ(Restored(), "newer");
    EXPECT_TRUE(Strays().empty()) << Strays().front();
    EXPECT_EQ(OthersTest().status, 0);
}

std::string ShapeName(const ::testing::TestParamInfo<Shape>& shape) {
    return shape.param.name;
}

INSTANTIATE_TEST_SUITE_P(Shapes, ArchiverCommit,
                         ::testing::Values(Shape{"OneFile", "", 20000, 1},
                                           Shape{"TwoVolumes", "-span=64k", 90000, 2},
                                           Shape{"SixVolumes", "-span=64k", 350000, 6}),
                         ShapeName);

}  // namespace
