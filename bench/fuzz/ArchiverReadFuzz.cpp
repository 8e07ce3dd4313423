// libFuzzer target over the archiver's read side: the archive reader on the
// input as an archive (inputs of odd length with exact deflate lengths
// required, tested on two threads as an update tests what it carries), what
// an update would carry over from it, then the
// brief listing and a restore into a scratch folder. Built and run by bench/fuzz_reader.sh, not by
// the normal build.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ArchiveInput.h"
#include "ArchiveReader.h"
#include "CarryCheck.h"
#include "CarryOver.h"
#include "Extract.h"
#include "Listing.h"
#include "Options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string scratch = pkzip::fuzz::InputAsArchive(data, size);
    if (scratch.empty()) return 0;
    const std::string archive = scratch + "/input.zip";
    const std::string target = scratch + "/out";
    pkzip::ArchiveReader zr;
    std::string error;
    const bool strict = size % 2 == 1;
    if (strict) zr.RequireExactLength();
    if (zr.Open(archive, error)) {
        std::string header;
        zr.Header(header, error);
        uint64_t total = 0;
        if (strict) {
            std::vector<size_t> all;
            for (size_t i = 0; i < zr.Count(); ++i) all.push_back(i);
            total += pkzip::TestCarriedEntries(zr, all, 2).size();
        }
        for (size_t i = 0; i < zr.Count(); ++i) {
            if (strict) break;
            const pkzip::ArchiveEntry e = zr.Entry(i);
            zr.Extract(
                e,
                [&](const unsigned char* p, size_t n) {
                    total += n + (n ? p[n - 1] : 0);
                    return true;
                },
                error);
        }
        // What an update would carry over, found through its read-ahead window.
        pkzip::OldSpanFinder finder(zr);
        for (size_t i = 0; i < zr.Count(); ++i) {
            pkzip::OldSpan span;
            if (finder.Find(zr.Entry(i), span, error)) total += span.length;
        }
        // The directory read a batch at a time, as the check after writing reads it.
        pkzip::ArchiveReader streamed;
        streamed.StreamDirectory();
        if (streamed.Open(archive, error)) {
            streamed.ForEachBatch(
                [&](const std::vector<pkzip::ArchiveEntry>& batch) {
                    for (const pkzip::ArchiveEntry& e : batch) {
                        if (!strict)
                            total += e.path.size() + e.index;
                        else
                            streamed.Extract(
                                e, [](const unsigned char*, size_t) { return true; }, error);
                    }
                    return true;
                },
                error);
        }

        pkzip::Options o;
        o.archive = archive;
        o.mode = pkzip::Mode::List;
        pkzip::RunListing(o);
        o.mode = pkzip::Mode::Restore;
        o.target = target;
        pkzip::RunRestore(o);
        std::error_code ec;
        std::filesystem::remove_all(target, ec);
    }
    return 0;
}
