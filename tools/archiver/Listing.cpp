#include "Listing.h"

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

#include "ArchiveReader.h"
#include "Names.h"
#include "OpenArchive.h"
#include "Output.h"
#include "crypto/Aes2Entry.h"

namespace pkzip {
namespace {

constexpr int kFatal = 2;

const char* MethodName(uint16_t method) {
    switch (method) {
        case 0:
            return "Stored";
        case 8:
            return "Deflated";
        case 9:
            return "Deflate64";
        case 12:
            return "BZip2";
        case 14:
            return "LZMA";
        default:
            return "Other";
    }
}

// An encrypted entry shows its real method.
const char* EntryMethodName(const ArchiveEntry& e) {
    crypto::AesField f;
    if (e.method != crypto::kMethodAes || !crypto::FindAesField(e.extra, f))
        return MethodName(e.method);
    return f.method == 8 ? "AES-Defl" : f.method == 0 ? "AES-Store" : "AES-Other";
}

std::string DateText(int64_t t) {
    struct tm tm {};
    char buf[32] = "----------  --:--";
    if (os::LocalTime(t, tm)) std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
    return buf;
}

// Header lines as stored: CR LF or LF ended; the final line end closes the
// last line and does not start a new one.
void PrintHeaderLines(const std::string& header) {
    size_t pos = 0;
    while (pos < header.size()) {
        size_t end = header.find('\n', pos);
        const bool lastLine = end == std::string::npos;
        if (lastLine) end = header.size();
        size_t stop = end;
        if (stop > pos && header[stop - 1] == '\r') --stop;
        Line(std::string_view(header).substr(pos, stop - pos));
        Line("");
        pos = end + 1;
    }
}

}  // namespace

int RunListing(const Options& o) {
    // The directory is read through three times rather than kept: the
    // listing's memory stays the same whatever the number of entries.
    ArchiveReader zr;
    zr.StreamDirectory();
    ConsoleVolumeAsker asker;
    if (!OpenArchive(o.archive, true, zr, asker)) return kFatal;
    std::string error;
    std::string header;
    if (!zr.Header(header, error)) {
        Problem("cannot read the archive header: " + error);
        return kFatal;
    }
    size_t count = 0;
    uint64_t totalSize = 0;
    uint64_t totalPacked = 0;
    const auto readAgain = [&](const std::function<void(const ArchiveEntry&)>& each) {
        const bool read = zr.ForEachBatch(
            [&](const std::vector<ArchiveEntry>& batch) {
                for (const ArchiveEntry& e : batch) each(e);
                return true;
            },
            error);
        if (!read) Problem("cannot read the archive's directory again: " + error);
        return read;
    };
    const bool counted = readAgain([&](const ArchiveEntry& info) {
        if (info.isHeader) return;
        totalSize += info.size;
        totalPacked += info.compSize;
        ++count;
    });
    if (!counted) return kFatal;

    // Exactly six lines of one item each before the header.
    Line("PKZIP25.EXE archive listing (brief)");
    Line("Stand-in for PKZIP 2.5 on this system");
    Line("Entries: " + std::to_string(count));
    Line("Total size: " + std::to_string(totalSize) + " bytes");
    Line("Total packed: " + std::to_string(totalPacked) + " bytes");
    Line(header.empty() ? "Archive header: none" : "Archive header:");
    PrintHeaderLines(header);

    Line("Archive: " + Shown(o.archive));
    char row[160];
    std::snprintf(row, sizeof row, "%14s %14s  %-9s %-19s  %-8s  %s", "Length", "Packed", "Method",
                  "Date", "CRC-32", "Name");
    Line(row);
    const bool listed = readAgain([&](const ArchiveEntry& info) {
        if (info.isHeader) return;
        const ArchiveEntry* e = &info;
        std::snprintf(row, sizeof row, "%14llu %14llu  %-9s %-19s  %08x  ",
                      static_cast<unsigned long long>(e->size),
                      static_cast<unsigned long long>(e->compSize), EntryMethodName(*e),
                      DateText(e->mtime).c_str(), e->crc);
        Line(row + Shown(e->name));
    });
    if (!listed) return kFatal;
    // Damage is told after the listing, so that the header keeps its place
    // for whoever reads it back.
    for (const std::string& d : zr.Damage()) Problem("the archive is damaged: " + d);
    readAgain([](const ArchiveEntry& info) {
        if (!info.damage.empty())
            Problem("entry " + Shown(info.name) + " is damaged: " + info.damage);
    });
    return ProblemCount() > 0 ? 1 : 0;
}

}  // namespace pkzip
