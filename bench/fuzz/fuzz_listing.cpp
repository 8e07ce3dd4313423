// libFuzzer target: the import's reader of the archiver's brief listing. Any text
// gives a verdict; a Crate it accepts is one the table can hold.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "store/ArchiveHeader.h"
#include "store/CrateRecord.h"
#include "store/Import.h"

namespace {

using namespace stowaway;

// The listing the archiver prints for a header: a preamble, then each header line
// followed by an empty one.
std::string ListingOf(const std::string& header) {
    std::string out =
        "PKZIP25.EXE archive listing (brief)\r\nStand-in\r\nEntries: 1\r\nTotal size: 1 bytes\r\n"
        "Total packed: 1 bytes\r\nArchive header:\r\n";
    std::size_t start = 0;
    while (start < header.size()) {
        std::size_t end = header.find("\r\n", start);
        if (end == std::string::npos) end = header.size();
        out += header.substr(start, end - start) + "\r\n\r\n";
        start = end + 2;
    }
    return out + "Archive: x.zip\r\n  Length  Name\r\n       1  a.txt\r\n";
}

CrateRecord Example() {
    CrateRecord c;
    c.Name = "Documents";
    c.BackupLocation = "/b/SWBackup.zip";
    c.RestoreLocation = "/b";
    c.Compression = 5;
    c.UpdateOnly = 1;
    c.FolderMax = 2;
    CrateRecord::SetEntry(c.Folders, 0, "R+ /home/me/*.*");
    CrateRecord::SetEntry(c.Folders, 1, "R- Include: /work/*.doc");
    c.FileMax = 1;
    CrateRecord::SetEntry(c.Files, 0, "/etc/fstab");
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // STOWAWAY_FUZZ_SEEDS=DIR writes the starting corpus.
    if (const char* dir = std::getenv("STOWAWAY_FUZZ_SEEDS")) {
        std::ofstream(std::string(dir) + "/seed0") << ListingOf(FormatArchiveHeader(Example()));
        CrateRecord empty = Example();
        empty.FolderMax = -1;
        empty.FileMax = 0;
        std::ofstream(std::string(dir) + "/seed1") << ListingOf(FormatArchiveHeader(empty));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CrateRecord crate;
    if (ParseHeaderListing(text, crate) != ListingVerdict::Crate) return 0;
    if (crate.Name.empty() || crate.FolderMax > EntrySlots || crate.FileMax > EntrySlots)
        std::abort();
    return 0;
}
