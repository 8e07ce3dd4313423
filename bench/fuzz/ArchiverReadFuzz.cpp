// libFuzzer target over the archiver's read side: the archive reader on the
// input as an archive (inputs of odd length with exact deflate lengths
// required, tested on two threads as an update tests what it carries), what
// an update would carry over from it, then the
// brief listing and a restore into a scratch folder. Built and run by bench/fuzz_reader.sh, not by
// the normal build.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ArchiveReader.h"
#include "CarryCheck.h"
#include "CarryOver.h"
#include "Extract.h"
#include "Listing.h"
#include "Options.h"

namespace {

std::string Scratch() {
    static const std::string dir = [] {
        char templ[] = "/tmp/pkzip-fuzz-XXXXXX";
        return std::string(::mkdtemp(templ));
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        // The listing and restore lines are not what is looked at here.
        return std::freopen("/dev/null", "w", stdout) != nullptr;
    }();
    (void)quiet;
    const std::string archive = Scratch() + "/input.zip";
    const std::string target = Scratch() + "/out";
    {
        const int fd = ::open(archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) return 0;
        if (size > 0 && ::write(fd, data, size) != static_cast<ssize_t>(size)) {
            ::close(fd);
            return 0;
        }
        ::close(fd);
    }

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
