// The written entries' records on their own: what spills to the work file
// reads back as it went in, changes to it are kept, and the work file
// leaves no trace in the folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "EntryRecords.h"
#include "OutFile.h"
#include "platform/NativeText.h"
#include "support/TestPlatforms.h"

namespace {

using stowaway::fromPath;
using stowaway::toPath;

namespace fs = std::filesystem;
using namespace pkzip;

class EntryRecordsTest : public ::testing::Test {
  protected:
    stowaway::test::TempDir temp;
    std::string dir = temp.path();
    size_t FilesInDir() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(toPath(dir)), {}));
    }
};

EntryRecord Numbered(size_t i) {
    static const std::string names = "abcdefghij";
    EntryRecord e;
    e.name = std::string_view(names).substr(i % 10, 1);
    e.crc = static_cast<uint32_t>(i * 2654435761u);
    e.size = i;
    e.localOffset = i * 100;
    e.carried = i % 3 == 0;
    return e;
}

TEST_F(EntryRecordsTest, RecordsReadBackInOrderAcrossTheWorkFileAndMemory) {
    {
        EntryRecords records(dir, 7);
        for (size_t i = 0; i < 50; ++i) records.Add(Numbered(i));
        ASSERT_EQ(records.Size(), 50u);
        std::vector<EntryRecord> got;
        // From the file, across its end into memory, and from memory alone.
        for (const auto& [first, count] :
             std::vector<std::pair<size_t, size_t>>{{0, 7}, {3, 20}, {40, 10}, {49, 1}, {0, 50}}) {
            records.Read(first, count, got);
            ASSERT_EQ(got.size(), count);
            for (size_t k = 0; k < count; ++k) {
                const EntryRecord want = Numbered(first + k);
                EXPECT_EQ(got[k].name, want.name) << first + k;
                EXPECT_EQ(got[k].crc, want.crc) << first + k;
                EXPECT_EQ(got[k].localOffset, want.localOffset) << first + k;
                EXPECT_EQ(got[k].carried, want.carried) << first + k;
            }
        }
        size_t seen = 0;
        records.Visit([&](const EntryRecord& e) { EXPECT_EQ(e.size, seen++); });
        EXPECT_EQ(seen, 50u);
        // The work file has no name (on Windows its name goes with its last handle):
        // nothing to remove on any way out.
#ifndef _WIN32
        EXPECT_EQ(FilesInDir(), 0u);
#endif
    }
    EXPECT_EQ(FilesInDir(), 0u);
}

TEST_F(EntryRecordsTest, ChangesReachEveryRecordWhereverItIsKept) {
    EntryRecords records(dir, 4);
    for (size_t i = 0; i < 10; ++i) records.Add(Numbered(i));
    records.Change([](EntryRecord& e) {
        e.disk = static_cast<uint32_t>(e.size + 1);
        e.localOffset += 5;
    });
    std::vector<EntryRecord> got;
    records.Read(0, 10, got);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(got[i].disk, i + 1) << i;
        EXPECT_EQ(got[i].localOffset, i * 100 + 5) << i;
    }
}

TEST_F(EntryRecordsTest, FewRecordsNeedNoWorkFileAndAFolderThatTakesNoneSaysSo) {
    const std::string gone = dir + "/gone";
    EntryRecords few(gone, 8);
    for (size_t i = 0; i < 8; ++i) few.Add(Numbered(i));
    EXPECT_EQ(few.Size(), 8u);
    EntryRecords many(gone, 8);
    for (size_t i = 0; i < 8; ++i) many.Add(Numbered(i));
    try {
        many.Add(Numbered(8));
        FAIL() << "no error";
    } catch (const WriteError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot create a work file in " + gone),
                  std::string::npos)
            << e.what();
    }
}

}  // namespace
