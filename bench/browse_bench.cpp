// The restore browser on one archive: time and peak resident memory of opening
// the Crate's versions (end records and a check of every directory record),
// reading the version's listing, the root's and a deep folder's children, and
// a search.
//
//   browse_bench ARCHIVE [PATTERN]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "engine/versions/VersionCatalogue.h"
#include "platform/PosixPlatform.h"

namespace {

using namespace stowaway;
using Clock = std::chrono::steady_clock;

long PeakKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

template <typename Step>
void Timed(const char* what, Step step) {
    const auto start = Clock::now();
    const std::string said = step();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-34s %8.3f s   peak RSS %7.1f MB   %s\n", what, seconds,
                static_cast<double>(PeakKb()) / 1024.0, said.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: browse_bench ARCHIVE [PATTERN]\n");
        return 2;
    }
    const std::string pattern = argc > 2 ? argv[2] : "*report*";
    PosixPlatform platform;
    ArchiveName name;
    if (!SplitArchiveName(argv[1], '/', name)) return 2;
    std::unique_ptr<VersionCatalogue> catalogue;
    const VersionListing* listing = nullptr;
    const auto start = Clock::now();
    Timed("versions and their checks", [&] {
        catalogue = std::make_unique<VersionCatalogue>(platform, name, nullptr);
        return std::to_string(catalogue->versions().size()) + " version(s), " +
               (catalogue->versions().empty() ? "none" : catalogue->versions()[0].check);
    });
    Timed("listing of the current version", [&] {
        listing = catalogue->listing(0);
        return listing ? std::to_string(listing->size()) + " entries, " +
                             std::to_string(listing->heldBytes() / (1024 * 1024)) + " MB held"
                       : "cannot be listed";
    });
    if (!listing) return 1;
    std::string deep;
    Timed("root folder, then down to a deep one", [&] {
        const std::vector<ListingChild> children = listing->children("");
        // Down the first folder of each level for the deep one.
        std::vector<ListingChild> level = children;
        while (!level.empty() && level.front().folder) {
            deep += std::string(level.front().name) + "/";
            level = listing->children(deep);
        }
        return std::to_string(children.size()) + " children";
    });
    const double opened = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-34s %8.3f s\n", "open to a shown root, in all", opened);
    Timed("a deep folder", [&] {
        return "/" + deep + ": " + std::to_string(listing->children(deep).size()) + " children";
    });
    Timed("search", [&] {
        bool more = false;
        const auto hits = catalogue->search(pattern, 1000, more);
        return std::to_string(hits.size()) + (more ? "+" : "") + " hits for " + pattern;
    });
    Timed("search, no hit", [&] {
        bool more = false;
        return std::to_string(catalogue->search("no-such-name-anywhere", 1000, more).size()) +
               " hits";
    });
    return 0;
}
