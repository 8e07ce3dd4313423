// libFuzzer target: what a kept version is read from, on arbitrary bytes: an
// archive's end records (every disk reads the input again), a leaf that might be
// one of a Crate's dated names, and a keep policy's text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSeeds.h"
#include "engine/versions/VersionNames.h"
#include "engine/versions/ZipEnd.h"
#include "store/settings/KeepSettings.h"

namespace {

using namespace stowaway;

const std::string Seeds[] = {
    // An empty archive: the end record alone.
    std::string("PK\x05\x06", 4) + std::string(18, '\0'),
    "Docs-2026-12-06_020000.z01",
    "10,7,4,12",
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    stowaway::fuzz::WriteSeeds(Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const DiskReader read = [&](std::uint32_t, std::uint32_t, std::uint64_t offset,
                                std::size_t length, std::string& out) {
        if (offset > input.size()) return false;
        out = input.substr(offset, length);
        return true;
    };
    std::string error;
    if (const std::optional<ZipEnd> end = ParseZipEnd(input, 0, read, error)) {
        if (end->directoryDisk >= end->disks) std::abort();
        if (end->directoryDisk + 1 == end->disks &&
            end->directoryOffset + end->directorySize > end->endOffset)
            std::abort();
    } else if (error.empty()) {
        std::abort();
    }

    ArchiveName name;
    if (SplitArchiveName("/b/Docs.zip", '/', name)) {
        if (const std::optional<DatedLeafMatch> match = MatchDatedLeaf(name, input)) {
            if (!ValidStamp(match->stamp)) std::abort();
            // A name that matches is exactly the name its date and volume give.
            if (DatedLeaf(name, match->stamp, match->volume) != input) std::abort();
        }
    }
    if (const std::optional<KeepPolicy> policy = ParseKeepPolicy(input, error)) {
        std::string again;
        if (ParseKeepPolicy(FormatKeepPolicy(*policy), again) != policy) std::abort();
    }
    return 0;
}
