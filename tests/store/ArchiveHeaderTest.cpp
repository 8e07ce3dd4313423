#include "store/ArchiveHeader.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "startup/App.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

using test::Documents;

TEST(ArchiveHeader, TheWorkedExampleIsWrittenLineForLine) {
    test::TestProgram p(true);
    p.app->store.CrateTable[3] = Documents();
    ASSERT_TRUE(
        WriteArchiveHeader(*p.platform, p.app->store.CrateTable[3], "C:\\Backup\\SWHeader.dat"));
    EXPECT_EQ(test::ReadFile(p.native("C:\\Backup\\SWHeader.dat")),
              "\r\n"
              "Stowaway Internal Crate Data\r\n"
              "Version: 2.0\r\n"
              "Criticals:\r\n"
              "  Name: Documents\r\n"
              "  Backup Location: C:\\Backup\\SWBackup.zip\r\n"
              "  Restore Location: C:\\Backup\r\n"
              "  Compression Level: 5\r\n"
              "Options:\r\n"
              "  Update Only: 0\r\n"
              "  Multi-Disk Mode: 0\r\n"
              "Crate Data:\r\n"
              "  Max Folders: 2\r\n"
              "    Folder: R+ C:\\My Documents\\*.*\r\n"
              "    Folder: R- Include: C:\\Work\\*.doc\r\n"
              "  Max Files: 1\r\n"
              "    File: C:\\AUTOEXEC.BAT\r\n");
    EXPECT_FALSE(WriteArchiveHeader(*p.platform, p.app->store.CrateTable[3],
                                    "C:\\No\\Such\\Folder\\SWHeader.dat"));
}

TEST(ArchiveHeader, EmptyAndUnloadedCountsWriteNoEntries) {
    CrateRecord c;
    c.Name = "Empty, really";
    std::string text = FormatArchiveHeader(c);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 14);
    EXPECT_NE(text.find("  Name: Empty, really\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 34), "  Max Folders: 0\r\n  Max Files: 0\r\n");
    c.FolderMax = -1;
    CrateRecord::SetEntry(c.Folders, 0, "R+ C:\\stale\\*.*");
    text = FormatArchiveHeader(c);
    EXPECT_NE(text.find("  Max Folders: -1\r\n  Max Files: 0\r\n"), std::string::npos);
}

}  // namespace
}  // namespace stowaway
