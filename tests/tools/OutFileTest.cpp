// The volume writer on its own: where a volume is cut, and what a rollback
// takes back with it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "OutFile.h"
#include "ZipFormat.h"
#include "platform/NativeText.h"
#include "support/TestPlatforms.h"

namespace {

using stowaway::fromPath;
using stowaway::toPath;

namespace fs = std::filesystem;
using namespace pkzip;

class FolderTarget : public VolumeTarget {
  public:
    explicit FolderTarget(std::string dir) : dir_(std::move(dir)) {}
    std::string Path(uint32_t disk) const { return dir_ + "/v" + std::to_string(disk); }
    stowaway::os::Handle Create(uint32_t disk) override {
        namespace os = stowaway::os;
        return os::Open(Path(disk), os::kRead | os::kWrite | os::kCreate | os::kTruncate, 0600);
    }
    stowaway::os::Handle Reopen(uint32_t disk) override {
        return stowaway::os::Open(Path(disk), stowaway::os::kRead | stowaway::os::kWrite);
    }
    void Remove(uint32_t disk) override { stowaway::os::Remove(Path(disk)); }
    bool Sealed(uint32_t) const override { return false; }
    void MediumFull(uint32_t) override {}

  private:
    std::string dir_;
};

class OutFileTest : public ::testing::Test {
  protected:
    stowaway::test::TempDir temp;
    std::string dir = temp.path();
};

TEST_F(OutFileTest, AHeaderRolledBackNoLongerMovesTheCut) {
    FolderTarget target(dir);
    {
        OutFile out(target, 1000, 0);
        out.Write(std::string(980, 'a'));
        // A header announced across the volume's end, then dropped again.
        out.Reserve(50);
        out.Write(std::string(50, 'h'));
        out.Rollback(980);
        out.Write(std::string(600, 'b'));  // plain data: may be cut anywhere
        out.Finish();
    }
    // The volume is filled to its limit, not cut where the dropped header began.
    EXPECT_EQ(fs::file_size(toPath(target.Path(0))), 1000u);
    EXPECT_EQ(fs::file_size(toPath(target.Path(0))) + fs::file_size(toPath(target.Path(1))),
              4u + 980 + 600);
}

TEST_F(OutFileTest, AHeaderKeptStillMovesTheCut) {
    FolderTarget target(dir);
    {
        OutFile out(target, 1000, 0);
        out.Write(std::string(980, 'a'));
        out.Reserve(50);
        out.Write(std::string(650, 'h'));
        out.Finish();
    }
    EXPECT_EQ(fs::file_size(toPath(target.Path(0))), 4u + 980);
}

}  // namespace
