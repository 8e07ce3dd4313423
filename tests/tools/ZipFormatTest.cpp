// Record layout the archiver writes, where only archives past 4 GiB would
// show it: Zip64 versions and carried-over offsets.
#include <gtest/gtest.h>

#include "ZipFormat.h"

namespace {

using namespace pkzip;

uint32_t At16(const std::string& s, size_t i) {
    return static_cast<unsigned char>(s[i]) | static_cast<unsigned char>(s[i + 1]) << 8;
}
uint32_t At32(const std::string& s, size_t i) {
    return At16(s, i) | At16(s, i + 2) << 16;
}

// The central header keeps the version its local header asked for, also when
// the entry was placed on its volume after the local header was written.
TEST(ZipFormat, LocalAndCentralHeadersNeedTheSameVersionForZip64) {
    struct Case {
        uint64_t size, offset;
        bool zip64Sizes;
        uint16_t method;
        bool placed;  // by PlaceOnDisk on volume 3 at 1000: far below 4 GiB
    };
    for (const Case c : {Case{100, 5ull << 30, false, kMethodDeflate, false},
                         Case{100, 5ull << 30, false, kMethodStore, false},
                         Case{6ull << 30, 0, true, kMethodDeflate, false},
                         Case{100, 0, false, kMethodStore, false},
                         Case{100, 5ull << 30, false, kMethodStore, true},
                         Case{10, 100, false, kMethodStore, true}}) {
        EntryRecord e;
        e.name = "file.bin";
        e.method = c.method;
        e.size = e.compSize = c.size;
        e.localOffset = c.offset;
        e.zip64Sizes = c.zip64Sizes;
        const std::string local = LocalHeader(e);
        if (c.placed) PlaceOnDisk(e, 3, 1000);
        const std::string central = CentralHeader(e);
        EXPECT_EQ(At16(local, 4), At16(central, 6)) << c.offset << " " << c.size;
        if (c.offset >= kMax32 || c.zip64Sizes) {
            EXPECT_GE(At16(local, 4), 45u);
        } else {
            EXPECT_LT(At16(local, 4), 45u) << c.offset << " " << c.size;
        }
    }
}

// A carried entry keeps every byte of its central record but where it starts.
TEST(ZipFormat, CarriedCentralRecordMovesOnlyTheOffset) {
    EntryRecord r;
    r.name = "kept.txt";
    r.size = r.compSize = 10;
    r.localOffset = 6ull << 30;  // recorded in a Zip64 field
    r.hasUnixTime = true;
    r.mtime = 1700000000;
    std::string central = CentralHeader(r);
    central[4] = 0x14;  // "made by" as another tool wrote it
    central[5] = 0x00;

    const std::string small = CarriedCentral(central, 10, 10, 1234);
    EXPECT_EQ(At32(small, 42), 1234u);
    EXPECT_EQ(At16(small, 4), 0x0014u);
    EXPECT_EQ(small.size(), central.size() - 12);  // the Zip64 field is gone
    EXPECT_EQ(small.substr(46 + 8), central.substr(46 + 8 + 12));

    const std::string big = CarriedCentral(central, 10, 10, 7ull << 30);
    EXPECT_EQ(At32(big, 42), kMax32);
    EXPECT_EQ(big.size(), central.size());
    EXPECT_EQ(At32(big, 46 + 8 + 4), 0xC0000000u);  // 7 GiB, low and high half
    EXPECT_EQ(At32(big, 46 + 8 + 8), 1u);
}

}  // namespace
