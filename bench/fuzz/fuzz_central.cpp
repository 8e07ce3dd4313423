// libFuzzer target: a version's central directory read into a listing from
// arbitrary bytes (the input is the archive's one volume), then its tree walked,
// searched and looked up. What it holds stays bounded by the input's size.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "FuzzSeeds.h"
#include "engine/versions/VersionListing.h"
#include "platform/PosixPlatform.h"

namespace {

using namespace stowaway;

std::string Put(std::uint64_t value, int width) {
    std::string out;
    for (int i = 0; i < width; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// Two stored entries, "a/b" and "../c", with their directory and end record.
std::string TwoEntries() {
    std::string local, central;
    for (const std::string name : {"a/b", "../c"}) {
        const std::uint64_t offset = local.size();
        local += Put(0x04034b50, 4) + Put(10, 2) + Put(0, 2) + Put(0, 2) + Put(0, 4) + Put(0, 4) +
                 Put(1, 4) + Put(1, 4) + Put(name.size(), 2) + Put(0, 2) + name + "x";
        central += Put(0x02014b50, 4) + Put(20, 2) + Put(10, 2) + Put(0, 2) + Put(0, 2) +
                   Put(0, 4) + Put(0, 4) + Put(1, 4) + Put(1, 4) + Put(name.size(), 2) + Put(0, 2) +
                   Put(0, 2) + Put(0, 2) + Put(0, 2) + Put(0, 4) + Put(offset, 4) + name;
    }
    return local + central + Put(0x06054b50, 4) + Put(0, 2) + Put(0, 2) + Put(2, 2) + Put(2, 2) +
           Put(central.size(), 4) + Put(local.size(), 4) + Put(0, 2);
}

std::string InputPath() {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/fuzz_central." + std::to_string(::getpid());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string seeds[] = {TwoEntries()};
    stowaway::fuzz::WriteSeeds(seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = InputPath();
    static const PosixPlatform platform;
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const VersionListing listing(SourceOfFiles(platform, {path}));
    if (listing.size() > size / 46) std::abort();
    if (listing.heldBytes() > 2 * size + 4096) std::abort();
    // The tree, a few levels down from the root, and every name found again.
    std::vector<std::string> open{""};
    for (int folders = 0; !open.empty() && folders < 64; ++folders) {
        const std::string prefix = open.back();
        open.pop_back();
        for (const ListingChild& child : listing.children(prefix)) {
            if (child.entry >= listing.size()) std::abort();
            if (child.folder) open.push_back(prefix + std::string(child.name) + "/");
        }
    }
    for (std::uint32_t e = 0; e < listing.size(); ++e)
        if (listing.name(listing.find(listing.name(e))) != listing.name(e)) std::abort();
    if (listing.search("*", listing.size() + 1).size() > listing.size()) std::abort();
    return 0;
}
