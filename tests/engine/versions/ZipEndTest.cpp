#include <gtest/gtest.h>

#include <map>

#include "ZipBytes.h"
#include "engine/versions/ZipEnd.h"

namespace stowaway {
namespace {

using test::EndRecord;
using test::Put;
using test::TinyZip;

struct Read {
    std::optional<ZipEnd> end;
    std::string error;
};

// The end records of an archive whose disks are held in memory.
Read Parse(const std::vector<std::string>& disks) {
    Read r;
    const DiskReader read = [&](std::uint32_t disk, std::uint32_t, std::uint64_t offset,
                                std::size_t length, std::string& out) {
        if (disk >= disks.size() || offset > disks[disk].size()) return false;
        out = disks[disk].substr(offset, length);
        return true;
    };
    r.end = ParseZipEnd(disks.back(), 0, read, r.error);
    return r;
}

TEST(ZipEnd, ReadsEntriesAndVolumes) {
    Read whole = Parse({TinyZip(3)});
    ASSERT_TRUE(whole.end) << whole.error;
    EXPECT_EQ(whole.end->entries, 3u);
    EXPECT_EQ(whole.end->disks, 1u);

    Read empty = Parse({TinyZip(0, "")});
    ASSERT_TRUE(empty.end) << empty.error;
    EXPECT_EQ(empty.end->entries, 0u);

    Read set = Parse(test::TinySet(2));
    ASSERT_TRUE(set.end) << set.error;
    EXPECT_EQ(set.end->entries, 2u);
    EXPECT_EQ(set.end->disks, 2u);

    // A ZIP64 end record and locator before the classic record, which holds 0xFFFF.
    const std::string plain = TinyZip(2, "");
    const std::size_t end = plain.size() - 22;
    std::string zip64 = plain.substr(0, end);
    const std::size_t directory = plain.find(std::string("PK\x01\x02", 4));
    Put(zip64, 0x06064b50, 4);
    Put(zip64, 44, 8);
    Put(zip64, 45, 2);
    Put(zip64, 45, 2);
    Put(zip64, 0, 4);
    Put(zip64, 0, 4);
    Put(zip64, 70000, 8);
    Put(zip64, 70000, 8);
    Put(zip64, end - directory, 8);
    Put(zip64, directory, 8);
    Put(zip64, 0x07064b50, 4);
    Put(zip64, 0, 4);
    Put(zip64, end, 8);
    Put(zip64, 1, 4);
    zip64 += EndRecord(0xFFFF, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
    Read wide = Parse({zip64});
    ASSERT_TRUE(wide.end) << wide.error;
    EXPECT_EQ(wide.end->entries, 70000u);
    EXPECT_EQ(wide.end->disks, 1u);
}

// Damaged end records are reported, never read past and never crash.
TEST(ZipEnd, DamagedEndRecordsAreReported) {
    const std::string good = TinyZip(2);
    std::string badComment = good;
    badComment[badComment.size() - 8] = 'x';  // the comment length no longer ends the file
    badComment[good.size() - 6 - 2] = 9;
    std::string pastEnd = good.substr(0, good.size() - 28) + EndRecord(0, 0, 2, 500, 10, "header");
    std::string noDirectory =
        good.substr(0, good.size() - 28) + EndRecord(0, 0, 2, 10, 3, "header");
    std::string hugeOffset =
        good.substr(0, good.size() - 28) + EndRecord(0, 0, 2, 0xFFFFFFF0, 0xFFFFFFF0, "header");
    std::string badLocator = good.substr(0, good.size() - 28);
    Put(badLocator, 0x07064b50, 4);
    Put(badLocator, 0, 4);
    Put(badLocator, 0xFFFFFFFFFFFFull, 8);
    Put(badLocator, 1, 4);
    badLocator += EndRecord(0xFFFF, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF);
    std::string missingDisk = EndRecord(4, 0, 1, 46, 0);
    const struct {
        const char* what;
        std::vector<std::string> disks;
        const char* error;
    } cases[] = {
        {"empty", {""}, "too short"},
        {"cut short", {good.substr(0, good.size() - 10)}, "no end of central directory"},
        {"not a ZIP", {std::string(3000, 'z')}, "no end of central directory"},
        {"comment length wrong", {badComment}, "no end of central directory"},
        {"directory past the end", {pastEnd}, "runs past the end record"},
        {"no directory where it says", {noDirectory}, "no central directory where"},
        {"offsets that overflow", {hugeOffset}, "runs past the end record"},
        {"ZIP64 locator pointing nowhere", {badLocator}, "ZIP64 end record"},
        {"a volume missing", {"", missingDisk}, "no central directory where"},
    };
    for (const auto& c : cases) {
        const Read r = Parse(c.disks);
        EXPECT_FALSE(r.end) << c.what;
        EXPECT_NE(r.error.find(c.error), std::string::npos) << c.what << ": " << r.error;
    }
}

}  // namespace
}  // namespace stowaway
