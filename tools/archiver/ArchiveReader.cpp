#include "ArchiveReader.h"

#include <libdeflate.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <string_view>
#include <system_error>
#include <thread>

#include "Reusable.h"
#include "TempFile.h"
#include "ZipFormat.h"
#include "crypto/Aes2Entry.h"
#include "crypto/AesRead.h"

namespace pkzip {
namespace {

constexpr uint32_t kSigLocal = 0x04034b50;
constexpr const char* kEndsEarly = "its deflate stream ends before its recorded compressed size";
constexpr uint32_t kSigCentral = 0x02014b50;
constexpr uint32_t kSigEnd = 0x06054b50;
constexpr uint32_t kSigEnd64 = 0x06064b50;
constexpr uint32_t kSigLocator = 0x07064b50;
constexpr uint32_t kSigDescriptor = 0x08074b50;
constexpr size_t kEndSize = 22;
constexpr size_t kLocatorSize = 20;
constexpr size_t kEnd64Size = 56;
constexpr int64_t kNtfsEpochDiff = 11644473600;  // seconds from 1601 to 1970

uint16_t Get16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t Get32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint64_t Get64(const unsigned char* p) {
    return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32);
}
const unsigned char* U(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// Calls fn(id, data, size) for each well-formed field of an extra block.
template <typename Fn>
void ForEachExtra(std::string_view extra, Fn fn) {
    const unsigned char* p = U(extra);
    size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const uint16_t id = Get16(p + pos);
        const uint16_t len = Get16(p + pos + 2);
        if (pos + 4 + len > extra.size()) break;
        fn(id, p + pos + 4, len);
        pos += 4 + len;
    }
}

// A 32-bit Unix time may have been written signed (Info-ZIP) or unsigned
// (some others, for dates after 2038). The DOS time, accurate to a day or
// so whatever the time zone, tells which one was meant.
int64_t Unix32(uint32_t v, int64_t dosGuess, bool dosUsable) {
    const int64_t asSigned = static_cast<int32_t>(v);
    const int64_t asUnsigned = v;
    if (asSigned == asUnsigned || !dosUsable) return asSigned;
    const auto dist = [&](int64_t t) { return t > dosGuess ? t - dosGuess : dosGuess - t; };
    return dist(asUnsigned) < dist(asSigned) ? asUnsigned : asSigned;
}

bool IsDosHost(uint8_t host) {
    return host == 0 || host == 6 || host == 11 || host == 14;  // FAT, HPFS, NTFS, VFAT
}

// The length of the central record at `pos` when it is there whole, else 0.
size_t RecordLength(std::string_view all, size_t pos) {
    if (pos + 46 > all.size() || Get32(U(all) + pos) != kSigCentral) return 0;
    const unsigned char* h = U(all) + pos;
    const size_t len = 46 + Get16(h + 28) + Get16(h + 30) + Get16(h + 32);
    return pos + len <= all.size() ? len : 0;
}

// The fixed fields, the name and the Zip64 values of the central record at
// `pos` (known to be whole); false with `damage` when a Zip64 value is missing.
void ParseFixed(std::string_view all, size_t pos, ArchiveEntry& e) {
    const unsigned char* h = U(all) + pos;
    const size_t nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
    e.versionMadeBy = Get16(h + 4);
    e.versionNeeded = Get16(h + 6);
    e.flags = Get16(h + 8);
    e.method = Get16(h + 10);
    e.dosTime = Get16(h + 12);
    e.dosDate = Get16(h + 14);
    e.crc = Get32(h + 16);
    e.compSize = Get32(h + 20);
    e.size = Get32(h + 24);
    e.diskStart = Get16(h + 34);
    e.internalAttrs = Get16(h + 36);
    e.externalAttrs = Get32(h + 38);
    e.localOffset = Get32(h + 42);
    e.name = all.substr(pos + 46, nameLen);
    e.path = e.name;
    e.extra = all.substr(pos + 46 + nameLen, extraLen);
    e.comment = all.substr(pos + 46 + nameLen + extraLen, commentLen);
    e.central = all.substr(pos, 46 + nameLen + extraLen + commentLen);
    e.host = static_cast<uint8_t>(e.versionMadeBy >> 8);
    e.encrypted = e.flags & 1;
    e.hasDescriptor = e.flags & 8;
    const bool needSize = e.size == kMax32, needComp = e.compSize == kMax32,
               needOffset = e.localOffset == kMax32, needDisk = e.diskStart == 0xFFFF;
    if (!(needSize || needComp || needOffset || needDisk)) return;
    bool done = false;
    ForEachExtra(e.extra, [&](uint16_t id, const unsigned char* d, uint16_t len) {
        if (id != 1 || done) return;
        size_t at = 0;
        auto take = [&](uint64_t& v, size_t w) {
            if (at + w > len) return false;
            v = w == 8 ? Get64(d + at) : Get32(d + at);
            at += w;
            return true;
        };
        uint64_t disk = e.diskStart;
        done = (!needSize || take(e.size, 8)) && (!needComp || take(e.compSize, 8)) &&
               (!needOffset || take(e.localOffset, 8)) && (!needDisk || take(disk, 4));
        e.diskStart = static_cast<uint32_t>(disk);
        e.zip64 = true;
    });
    if (!done) e.damage = "its Zip64 sizes or offset are missing";
}

// The modification time, from the finest source the extra fields hold.
void ParseTime(ArchiveEntry& e) {
    // The DOS time (local time, through mktime) only when needed: it is slow.
    const bool dosUsable = !(e.dosDate == ((1 << 5) | 1) && e.dosTime == 0) && e.dosDate != 0;
    bool haveNtfs = false, haveExt = false, haveUnix = false;
    uint32_t ext = 0, unixT = 0;
    ForEachExtra(e.extra, [&](uint16_t id, const unsigned char* d, uint16_t len) {
        if (id == 0x000a && len >= 4 && !haveNtfs) {
            size_t pos = 4;  // reserved
            while (pos + 4 <= len) {
                const uint16_t tag = Get16(d + pos);
                const uint16_t size = Get16(d + pos + 2);
                if (pos + 4 + size > len) break;
                if (tag == 1 && size >= 8) {
                    const uint64_t ft = Get64(d + pos + 4);
                    if (ft != 0 && ft <= static_cast<uint64_t>(INT64_MAX)) {
                        const int64_t ticks = static_cast<int64_t>(ft);
                        e.mtime = ticks / 10000000 - kNtfsEpochDiff;
                        e.mtimeNsec = static_cast<uint32_t>(ticks % 10000000 * 100);
                        haveNtfs = true;
                    }
                }
                pos += 4 + size;
            }
        } else if (id == 0x5455 && len >= 5 && (d[0] & 1) && !haveExt) {
            ext = Get32(d + 1);
            haveExt = true;
        } else if (id == 0x5855 && len >= 8 && !haveUnix) {
            unixT = Get32(d + 4);
            haveUnix = true;
        }
    });
    if (haveNtfs) {
        e.timeSource = TimeSource::Ntfs;
    } else if (haveExt || haveUnix) {
        const uint32_t v = haveExt ? ext : unixT;
        const bool ambiguous = (v & 0x80000000u) && dosUsable;
        e.mtime = Unix32(v, ambiguous ? FromDosTime(e.dosTime, e.dosDate) : 0, ambiguous);
        e.timeSource = haveExt ? TimeSource::Extended : TimeSource::InfoZipUnix;
    } else {
        e.mtime = FromDosTime(e.dosTime, e.dosDate);
        e.timeSource = TimeSource::Dos;
    }
}

// What kind of entry it is, once its path is known.
void ParseKind(ArchiveEntry& e) {
    if (e.name == kHeaderEntryName) {
        ForEachExtra(e.extra, [&](uint16_t id, const unsigned char*, uint16_t) {
            e.isHeader = e.isHeader || id == kHeaderMarkerId;
        });
    }
    const uint32_t mode = e.externalAttrs >> 16;
    if ((e.host == 3 || e.host == 19) && mode != 0) {
        e.hasUnixMode = true;
        e.unixMode = mode;
    }
    e.isDir = e.path.ends_with('/') || (e.hasUnixMode && IsUnixFolder(e.unixMode)) ||
              (!e.hasUnixMode && (e.externalAttrs & 0x10));
    if (e.hasUnixMode && !e.isDir) {
        e.isSymlink = IsUnixLink(e.unixMode);
        const uint32_t type = e.unixMode & kUnixTypeMask;
        // A fifo that holds data is what a stream into the archiver leaves:
        // its content is a file like any other.
        const bool dataFifo = type == kUnixFifo && e.size > 0;
        e.isSpecial = type != 0 && type != kUnixFile && !e.isSymlink && !dataFifo;
    }
}

// The text kept for entry `i` in a list sorted by index, or null.
const std::string* Sparse(const std::vector<std::pair<size_t, std::string>>& list, size_t i) {
    const auto it = std::lower_bound(list.begin(), list.end(), i,
                                     [](const auto& p, size_t k) { return p.first < k; });
    return it != list.end() && it->first == i ? &it->second : nullptr;
}

struct Decompressor {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Decompressor() { libdeflate_free_decompressor(d); }
};

struct Buffers {
    std::unique_ptr<unsigned char[]> in, out;
    size_t inCap = 0, outCap = 0;
    unsigned char* In(size_t n) {
        if (n > inCap || !in) {
            inCap = std::max<size_t>(n, 1 << 16);
            in.reset(new unsigned char[inCap]);
        }
        return in.get();
    }
    unsigned char* Out(size_t n) {
        if (n > outCap || !out) {
            outCap = std::max<size_t>(n, 1 << 16);
            out.reset(new unsigned char[outCap]);
        }
        return out.get();
    }
    // Large buffers are not kept for the life of the thread.
    void Trim() {
        if (inCap > (8u << 20)) in.reset(), inCap = 0;
        if (outCap > (8u << 20)) out.reset(), outCap = 0;
    }
};

std::string MethodText(uint16_t m) {
    return "compression method " + std::to_string(m);
}

}  // namespace

// Threads that decompress large entries in memory at once wait for each
// other, so the buffers in use stay within kMemoryBudget together.
class ArchiveReader::MemoryClaim {
  public:
    MemoryClaim(const ArchiveReader& r, uint64_t bytes)
        : r_(r), bytes_(bytes < (1u << 20) ? 0 : std::min(bytes, kMemoryBudget)) {
        if (bytes_ == 0) return;
        std::unique_lock<std::mutex> lock(r_.memMutex_);
        r_.memCv_.wait(lock, [&] { return r_.memUsed_ + bytes_ <= kMemoryBudget; });
        r_.memUsed_ += bytes_;
    }
    ~MemoryClaim() {
        if (bytes_ == 0) return;
        {
            std::lock_guard<std::mutex> lock(r_.memMutex_);
            r_.memUsed_ -= bytes_;
        }
        r_.memCv_.notify_all();
    }

  private:
    const ArchiveReader& r_;
    uint64_t bytes_;
};

ArchiveReader::ArchiveReader() = default;
ArchiveReader::~ArchiveReader() {
    os::Unmap(map_);
}

void ArchiveReader::ReleaseDirectory() const {
    os::ReleasePages(map_);
}

std::string_view ArchiveReader::Name(size_t i) const {
    Touch();
    const size_t at = slots_[i].at;
    return dir_.substr(at + 46,
                       Get16(reinterpret_cast<const unsigned char*>(dir_.data()) + at + 28));
}

ArchiveEntry ArchiveReader::Entry(size_t i) const {
    Touch();
    const Slot& s = slots_[i];
    ArchiveEntry e;
    e.index = i;
    ParseFixed(dir_, s.at, e);
    if (const std::string* path = Sparse(paths_, i)) e.path = *path;
    e.damage.clear();
    if (const std::string* damage = Sparse(entryDamage_, i)) e.damage = *damage;
    e.mtime = s.mtime;
    e.mtimeNsec = s.mtimeNsec;
    e.timeSource = s.timeSource;
    ParseKind(e);
    return e;
}

bool ArchiveReader::Open(const std::string& path, std::string& error, VolumeAsker* asker) {
    asker_ = asker;
    if (!volumes_.OpenLast(path, error)) return false;
    if (volumes_.VolumeSize(0) == 0) {
        error = "the file is empty, not a ZIP archive";
        return false;
    }
    return FindEnd(error) && ReadCentral(error);
}

bool ArchiveReader::FindEnd(std::string& error) {
    const uint64_t size = volumes_.VolumeSize(0);
    const size_t tailLen =
        static_cast<size_t>(std::min<uint64_t>(size, kEndSize + 65535 + kLocatorSize));
    std::string tail(tailLen, '\0');
    if (!volumes_.ReadAt(0, size - tailLen, tail.data(), tailLen, error)) return false;
    const unsigned char* t = U(tail);
    // Backwards, as unzip does; a record whose comment ends exactly at the end
    // of the file is preferred over one found first inside a comment.
    size_t found = std::string::npos;
    for (size_t pos = tailLen >= kEndSize ? tailLen - kEndSize + 1 : 0; pos-- > 0;) {
        if (Get32(t + pos) != kSigEnd) continue;
        if (found == std::string::npos) found = pos;
        if (pos + kEndSize + Get16(t + pos + 20) == tailLen) {
            found = pos;
            break;
        }
    }
    if (found == std::string::npos) {
        error = "no end of central directory record (damaged or not a ZIP archive)";
        return false;
    }
    const unsigned char* r = t + found;
    const uint64_t endPos = size - tailLen + found;
    uint32_t thisDisk = Get16(r + 4);
    cdDisk_ = Get16(r + 6);
    entryCount_ = Get16(r + 10);
    cdSize_ = Get32(r + 12);
    cdOffset_ = Get32(r + 16);
    const size_t commentLen = Get16(r + 20);
    const size_t present = tailLen - found - kEndSize;
    comment_.assign(tail, found + kEndSize, std::min(commentLen, present));
    if (commentLen > present) {
        commentShort_ = true;
        damage_.push_back("the archive comment is shorter than its recorded length (" +
                          std::to_string(present) + " of " + std::to_string(commentLen) +
                          " bytes)");
    }

    // Zip64: the locator sits just before the end record.
    bool zip64 = false;
    uint64_t end64Pos = 0;
    uint32_t disks = thisDisk + 1;
    if (found >= kLocatorSize && Get32(r - kLocatorSize) == kSigLocator) {
        const unsigned char* loc = r - kLocatorSize;
        const uint32_t end64Disk = Get32(loc + 4);
        const uint64_t recorded = Get64(loc + 8);
        const uint32_t totalDisks = Get32(loc + 16);
        if (totalDisks >= 1 && totalDisks <= 65536) disks = totalDisks;
        const uint64_t locPos = endPos - kLocatorSize;
        unsigned char rec[kEnd64Size];
        std::string why;
        if (disks == 1 && end64Disk == 0) {
            // Where it is recorded, or just before the locator when bytes
            // before the archive moved it.
            if (recorded + kEnd64Size <= locPos &&
                volumes_.ReadAt(0, recorded, rec, kEnd64Size, why) && Get32(rec) == kSigEnd64 &&
                recorded + 12 + Get64(rec + 4) == locPos) {
                end64Pos = recorded;
                zip64 = true;
            } else if (locPos >= kEnd64Size &&
                       volumes_.ReadAt(0, locPos - kEnd64Size, rec, kEnd64Size, why) &&
                       Get32(rec) == kSigEnd64) {
                end64Pos = locPos - kEnd64Size;
                zip64 = true;
            }
            if (!zip64) {
                error = "the Zip64 end record is missing (damaged archive)";
                return false;
            }
        } else {
            if (!volumes_.OpenSplit(disks, asker_, error)) return false;
            if (end64Disk >= disks || !volumes_.ReadAt(end64Disk, recorded, rec, kEnd64Size, why) ||
                Get32(rec) != kSigEnd64) {
                error = "the Zip64 end record is missing (damaged archive)";
                return false;
            }
            end64Pos = recorded;
            zip64 = true;
        }
        thisDisk = Get32(rec + 16);
        cdDisk_ = Get32(rec + 20);
        entryCount_ = Get64(rec + 32);
        cdSize_ = Get64(rec + 40);
        cdOffset_ = Get64(rec + 48);
    } else if (disks > 1) {
        if (!volumes_.OpenSplit(disks, asker_, error)) return false;
    }
    if (cdDisk_ >= volumes_.DiskCount()) {
        error = "the central directory is on a disk the archive does not have (damaged archive)";
        return false;
    }

    if (!volumes_.IsSplit()) {
        // Bytes before the archive (a self-extractor, padding) shift every
        // offset: the central directory ends where the end records start.
        const uint64_t cdEnd = zip64 ? end64Pos : endPos;
        if (cdSize_ > cdEnd) {
            error = "the central directory is larger than the archive (damaged archive)";
            return false;
        }
        const uint64_t cdStart = cdEnd - cdSize_;
        if (cdStart < cdOffset_) {
            error =
                "the central directory is not where the end record puts it (damaged or "
                "truncated archive)";
            return false;
        }
        prefix_ = cdStart - cdOffset_;
        if (prefix_ > 0 && entryCount_ > 0) {
            unsigned char sig[4];
            std::string why;
            const bool atShift =
                volumes_.ReadAt(0, cdStart, sig, 4, why) && Get32(sig) == kSigCentral;
            if (!atShift && volumes_.ReadAt(0, cdOffset_, sig, 4, why) && Get32(sig) == kSigCentral)
                prefix_ = 0;  // junk between the directory and the end record instead
        }
    }
    return true;
}

bool ArchiveReader::ReadCentral(std::string& error) {
    uint64_t total = 0;
    for (uint32_t d = 0; d < volumes_.DiskCount(); ++d) total += volumes_.VolumeSize(d);
    if (cdSize_ > total) {
        error = "the central directory is larger than the archive (damaged archive)";
        return false;
    }
    std::vector<FirstOnDisk> first(volumes_.DiskCount());
    count_ = 0;
    const auto note = [&](std::string_view all, size_t pos) {
        const size_t index = count_++;
        ArchiveEntry e;
        ParseFixed(all, pos, e);
        if (e.name.find('\0') != std::string_view::npos) e.damage = "the name holds a NUL byte";
        if (e.diskStart < first.size() && e.damage.empty()) {
            FirstOnDisk& f = first[e.diskStart];
            if (!f.found || e.localOffset < f.offset)
                f = {true, e.localOffset, std::string(e.name)};
        }
        if (headerIndex_ == SIZE_MAX) {
            ParseKind(e);
            if (e.isHeader) {
                headerIndex_ = index;
                headerRecord_ = e.central;
            }
        }
        if (stream_) return true;
        if (IsDosHost(e.host) && e.name.find('\\') != std::string_view::npos) {
            std::string path(e.name);
            std::replace(path.begin(), path.end(), '\\', '/');
            paths_.emplace_back(index, std::move(path));
        }
        if (!e.damage.empty()) entryDamage_.emplace_back(index, std::move(e.damage));
        ParseTime(e);
        Slot slot;
        slot.at = pos;
        slot.mtime = e.mtime;
        slot.mtimeNsec = e.mtimeNsec;
        slot.timeSource = e.timeSource;
        slots_.push_back(slot);
        return true;
    };
    if (stream_) {
        // Read through once, for the count, the header and the volumes' first entries.
        if (!ScanCentral(
                note, [] { return true; }, error))
            return false;
    } else {
        if (spillFolder_.empty() || !SpillCentral(error)) {
            if (!error.empty()) return false;
            centralDir_.assign(static_cast<size_t>(cdSize_), '\0');
            const uint64_t start = cdOffset_ + (volumes_.IsSplit() ? 0 : prefix_);
            if (!volumes_.ReadAt(cdDisk_, start, centralDir_.data(), centralDir_.size(), error)) {
                error = "cannot read the central directory: " + error + " (damaged archive)";
                return false;
            }
            dir_ = centralDir_;
        }
        slots_.reserve(static_cast<size_t>(std::min<uint64_t>(entryCount_, dir_.size() / 46)));
        for (size_t pos = 0, len; (len = RecordLength(dir_, pos)) > 0; pos += len) {
            note(dir_, pos);
            if (map_.data && (count_ & 4095) == 0) ReleaseDirectory();
        }
        ReleaseDirectory();
    }
    if (count_ != entryCount_ && (count_ & 0xFFFF) != entryCount_) {
        damage_.push_back("the central directory holds " + std::to_string(count_) +
                          " entries where the end record says " + std::to_string(entryCount_));
    }
    if (count_ == 0 && entryCount_ > 0) {
        error = "the central directory cannot be read (damaged archive)";
        return false;
    }
    return !volumes_.IsSplit() || VolumesBelongTogether(first, error);
}

// Copies the directory into a work file and maps it. False with `error`
// when the archive cannot be read; false without, to hold it in memory
// instead.
bool ArchiveReader::SpillCentral(std::string& error) {
    if (cdSize_ == 0) return false;
    const os::Handle fd = NamelessWorkFile(spillFolder_, error);
    if (fd == os::kNoHandle) {
        error.clear();
        return false;
    }
    uint32_t disk = cdDisk_;
    uint64_t at = cdOffset_ + (volumes_.IsSplit() ? 0 : prefix_);
    std::string buf(static_cast<size_t>(std::min<uint64_t>(cdSize_, kScanChunk)), '\0');
    bool written = true;
    for (uint64_t done = 0; done < cdSize_ && written;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(cdSize_ - done, buf.size()));
        if (!volumes_.ReadAt(disk, at, buf.data(), n, error) || !volumes_.Advance(disk, at, n)) {
            os::Close(fd);
            error = "cannot read the central directory: " + error + " (damaged archive)";
            return false;
        }
        for (size_t w = 0; w < n && written;) {
            const int64_t k = os::WriteAt(fd, buf.data() + w, n - w, done + w);
            if (k < 0 && os::LastError() == EINTR) continue;
            written = k > 0;
            if (written) w += static_cast<size_t>(k);
        }
        done += n;
    }
    const bool mapped = written && os::Map(fd, static_cast<size_t>(cdSize_), map_);
    os::Close(fd);              // the mapping keeps the file
    if (!mapped) return false;  // a full disk, say: in memory then
    dir_ = std::string_view(reinterpret_cast<const char*>(map_.data), map_.size);
    return true;
}

bool ArchiveReader::ScanCentral(const std::function<bool(std::string_view, size_t)>& each,
                                const std::function<bool()>& flush, std::string& error) const {
    uint32_t disk = cdDisk_;
    uint64_t at = cdOffset_ + (volumes_.IsSplit() ? 0 : prefix_);
    uint64_t left = cdSize_;  // not yet read into buf
    std::string buf;
    // A chunk and the start of a record cut short (at most 46 + 3 * 65535 bytes).
    buf.reserve(static_cast<size_t>(std::min<uint64_t>(cdSize_, kScanChunk)) + 46 + 3 * 65535);
    size_t pos = 0;
    for (;;) {
        size_t len;
        while ((len = RecordLength(buf, pos)) > 0) {
            if (!each(buf, pos)) {
                flush();
                return true;
            }
            pos += len;
        }
        // Bytes that are no central record end the directory; a record cut
        // short by the buffer is read on.
        const bool noRecord = buf.size() - pos >= 4 && Get32(U(buf) + pos) != kSigCentral;
        if (noRecord || left == 0) break;
        if (!flush()) return true;
        buf.erase(0, pos);
        pos = 0;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(left, kScanChunk));
        const size_t have = buf.size();
        buf.resize(have + n);
        if (!volumes_.ReadAt(disk, at, buf.data() + have, n, error) ||
            !volumes_.Advance(disk, at, n)) {
            error = "cannot read the central directory: " + error + " (damaged archive)";
            return false;
        }
        left -= n;
    }
    flush();
    return true;
}

bool ArchiveReader::ForEachBatch(const std::function<bool(const std::vector<ArchiveEntry>&)>& fn,
                                 std::string& error) const {
    std::vector<ArchiveEntry> batch;
    if (!stream_) {
        for (size_t i = 0; i < count_; i += kBatch) {
            batch.clear();
            for (size_t k = i; k < std::min(count_, i + kBatch); ++k) batch.push_back(Entry(k));
            if (!fn(batch)) return true;
        }
        return true;
    }
    std::deque<std::string> paths;  // turned paths of the batch
    size_t index = 0;
    bool go = true;
    const auto each = [&](std::string_view all, size_t pos) {
        batch.push_back(FromRecord(all.substr(pos), index++, paths));
        return true;
    };
    const auto flush = [&] {
        if (!batch.empty() && go) go = fn(batch);
        batch.clear();
        paths.clear();
        return go;
    };
    return ScanCentral(each, flush, error);
}

ArchiveEntry ArchiveReader::FromRecord(std::string_view record, size_t index,
                                       std::deque<std::string>& paths) {
    ArchiveEntry e;
    e.index = index;
    ParseFixed(record, 0, e);
    if (IsDosHost(e.host) && e.name.find('\\') != std::string_view::npos) {
        std::string& path = paths.emplace_back(e.name);
        std::replace(path.begin(), path.end(), '\\', '/');
        e.path = path;
    }
    if (e.name.find('\0') != std::string_view::npos) e.damage = "the name holds a NUL byte";
    ParseTime(e);
    ParseKind(e);
    return e;
}

// A NAME.zip beside volumes of another set of the same name (an update cut
// short, a volume copied from another backup) would be misread entry by
// entry: the first local header on each volume must be where, and what, the
// central directory says.
bool ArchiveReader::VolumesBelongTogether(const std::vector<FirstOnDisk>& first,
                                          std::string& error) const {
    for (uint32_t d = 0; d < first.size(); ++d) {
        const FirstOnDisk& e = first[d];
        if (!e.found) continue;
        std::string header(30 + e.name.size(), '\0');
        std::string why;
        const bool read = volumes_.ReadAt(d, e.offset, header.data(), header.size(), why);
        const unsigned char* h = U(header);
        if (read && Get32(h) == kSigLocal && Get16(h + 26) == e.name.size() &&
            header.compare(30, e.name.size(), e.name) == 0) {
            continue;
        }
        error = "the volume " + volumes_.VolumePath(d) +
                " does not belong to this set: the entry " + e.name +
                " is not where the last volume's directory puts it (a volume of another "
                "backup of the same name?)";
        return false;
    }
    return true;
}

ReadStatus ArchiveReader::Locate(const ArchiveEntry& e, DataLocation& out,
                                 std::string& error) const {
    return LocateIn(e, out, nullptr, 0, error);
}

// `pre` holds `preLen` bytes read from where the local header should start,
// when the caller read ahead; what they lack is read here.
ReadStatus ArchiveReader::LocateIn(const ArchiveEntry& e, DataLocation& out,
                                   const unsigned char* pre, size_t preLen,
                                   std::string& error) const {
    if (!e.damage.empty()) {
        error = e.damage;
        return ReadStatus::Damaged;
    }
    if (e.diskStart >= volumes_.DiskCount()) {
        error = "it starts on a disk the archive does not have";
        return ReadStatus::Damaged;
    }
    out.localDisk = e.diskStart;
    out.headerStart = e.localOffset + (volumes_.IsSplit() ? 0 : prefix_);
    unsigned char hbuf[30];
    const unsigned char* h = pre;
    std::string why;
    if (preLen < 30) {
        if (!volumes_.ReadAt(out.localDisk, out.headerStart, hbuf, sizeof hbuf, why)) {
            error = "its local header is missing or damaged";
            return ReadStatus::Damaged;
        }
        h = hbuf;
    }
    if (Get32(h) != kSigLocal) {
        error = "its local header is missing or damaged";
        return ReadStatus::Damaged;
    }
    const size_t nameLen = Get16(h + 26), extraLen = Get16(h + 28);
    std::string_view rest;
    std::string restBuf;
    if (preLen >= 30 + nameLen + extraLen) {
        rest = std::string_view(reinterpret_cast<const char*>(pre) + 30, nameLen + extraLen);
    } else {
        restBuf.resize(nameLen + extraLen);
        if (!volumes_.ReadAt(out.localDisk, out.headerStart + 30, restBuf.data(), restBuf.size(),
                             why)) {
            error = "its local header is cut short";
            return ReadStatus::Damaged;
        }
        rest = restBuf;
    }
    if (rest.compare(0, nameLen, e.name) != 0 || nameLen != e.name.size()) {
        error = "the name in its local header differs from the central directory";
        return ReadStatus::Damaged;
    }
    if (Get16(h + 8) != e.method) {
        error = "the method in its local header differs from the central directory";
        return ReadStatus::Damaged;
    }
    if (!e.hasDescriptor) {
        uint64_t comp = Get32(h + 18), size = Get32(h + 22);
        if (comp == kMax32 || size == kMax32) {
            ForEachExtra(rest.substr(nameLen),
                         [&](uint16_t id, const unsigned char* d, uint16_t len) {
                             if (id != 1) return;
                             size_t at = 0;
                             if (size == kMax32 && at + 8 <= len) size = Get64(d + at), at += 8;
                             if (comp == kMax32 && at + 8 <= len) comp = Get64(d + at);
                         });
        }
        if (Get32(h + 14) != e.crc || comp != e.compSize || size != e.size) {
            error = "the CRC or sizes in its local header differ from the central directory";
            return ReadStatus::Damaged;
        }
    }
    out.headerSize = static_cast<uint32_t>(30 + rest.size());
    out.disk = out.localDisk;
    out.offset = out.headerStart;
    volumes_.Advance(out.disk, out.offset, out.headerSize);
    return ReadStatus::Ok;
}

bool ArchiveReader::ReadRaw(const DataLocation& loc, uint64_t pos, void* buf, size_t len,
                            std::string& error) const {
    uint32_t disk = loc.disk;
    uint64_t offset = loc.offset;
    volumes_.Advance(disk, offset, pos);
    return volumes_.ReadAt(disk, offset, buf, len, error);
}

bool ArchiveReader::FitsInMemory(const ArchiveEntry& e) const {
    return e.size <= kInMemoryLimit && e.compSize <= kInMemoryLimit;
}

ReadStatus ArchiveReader::CheckDescriptor(const ArchiveEntry& e, const DataLocation& loc,
                                          std::string& error) const {
    if (!e.hasDescriptor) return ReadStatus::Ok;
    unsigned char d[8];
    std::string why;
    uint32_t crc = 0;
    if (ReadRaw(loc, e.compSize, d, 8, why)) {
        crc = Get32(d) == kSigDescriptor ? Get32(d + 4) : Get32(d);
    } else if (ReadRaw(loc, e.compSize, d, 4, why) && Get32(d) != kSigDescriptor) {
        crc = Get32(d);
    } else {
        error = "its data descriptor is missing";
        return ReadStatus::Damaged;
    }
    if (crc != e.crc) {
        error = "the CRC in its data descriptor differs from the central directory";
        return ReadStatus::Damaged;
    }
    return ReadStatus::Ok;
}

ReadStatus ArchiveReader::Extract(const ArchiveEntry& e, const DataSink& sink,
                                  std::string& error) const {
    if (e.encrypted && e.method == crypto::kMethodAes) {
        MemoryClaim claim(*this, FitsInMemory(e) ? e.compSize + e.size : 0);
        return crypto::ExtractAes(*this, e, password_, keys_, exactLength_, sink, error);
    }
    if (e.encrypted) {
        // The old "traditional" encryption: broken, and never written here.
        error = "its old ZIP encryption is not supported";
        return ReadStatus::Unsupported;
    }
    if (FitsInMemory(e) &&
        (e.method == kMethodDeflate || (e.method == kMethodStore && e.compSize == e.size)))
        return ExtractInMemory(e, sink, error);
    DataLocation loc;
    const ReadStatus located = Locate(e, loc, error);
    if (located != ReadStatus::Ok) return located;
    if (e.method != kMethodStore && e.method != kMethodDeflate)
        return ExtractOther(e, loc, sink, error);
    if (e.method == kMethodStore && e.compSize != e.size) {
        error = "a stored entry whose sizes differ";
        return ReadStatus::Damaged;
    }
    return ExtractStreaming(e, loc, sink, error);
}

ReadStatus ArchiveReader::ExtractToString(const ArchiveEntry& e, std::string& out,
                                          std::string& error) const {
    out.clear();
    return Extract(
        e,
        [&](const unsigned char* d, size_t n) {
            out.append(reinterpret_cast<const char*>(d), n);
            return true;
        },
        error);
}

ReadStatus ArchiveReader::ExtractInMemory(const ArchiveEntry& e, const DataSink& sink,
                                          std::string& error) const {
    static Reusable<Buffers> buffers;
    static Reusable<Decompressor> decompressors;
    const Reusable<Buffers>::Lease buf(buffers);
    const Reusable<Decompressor>::Lease dec(decompressors);
    const size_t comp = static_cast<size_t>(e.compSize), size = static_cast<size_t>(e.size);
    MemoryClaim claim(*this, comp + size);
    // One read for the local header, the data and a data descriptor, with
    // room for a local extra field somewhat longer than the central one.
    const size_t guess = 30 + e.name.size() + e.extra.size() + 64 + comp + 24;
    unsigned char* block = buf->In(guess);
    const uint64_t headerStart = e.localOffset + (volumes_.IsSplit() ? 0 : prefix_);
    const size_t got = e.diskStart < volumes_.DiskCount()
                           ? volumes_.ReadSome(e.diskStart, headerStart, block, guess)
                           : 0;
    DataLocation loc;
    ReadStatus st = LocateIn(e, loc, block, got, error);
    if (st != ReadStatus::Ok) return st;
    const unsigned char* in = block + loc.headerSize;
    std::string why;
    if (loc.headerSize + comp > got) {
        unsigned char* again = buf->In(comp);  // the block is no longer needed
        if (!ReadRaw(loc, 0, again, comp, why)) {
            error = "its data is cut short (" + why + ")";
            return ReadStatus::Damaged;
        }
        in = again;
    }
    const unsigned char* data = in;
    if (e.method == kMethodDeflate) {
        unsigned char* out = buf->Out(size);
        size_t produced = 0, used = 0;
        const libdeflate_result r =
            libdeflate_deflate_decompress_ex(dec->d, in, comp, out, size, &used, &produced);
        if (r != LIBDEFLATE_SUCCESS || produced != size) {
            error = "its compressed data is damaged";
            buf->Trim();
            return ReadStatus::Damaged;
        }
        if (exactLength_ && used != comp) {
            error = kEndsEarly;
            buf->Trim();
            return ReadStatus::Damaged;
        }
        data = out;
    }
    if (libdeflate_crc32(0, data, size) != e.crc) {
        error = "CRC check failed";
        buf->Trim();
        return ReadStatus::Damaged;
    }
    st = CheckDescriptor(e, loc, error);
    if (st == ReadStatus::Ok && !sink(data, size)) st = ReadStatus::SinkStopped;
    buf->Trim();
    return st;
}

ReadStatus ArchiveReader::ExtractStreaming(const ArchiveEntry& e, const DataLocation& loc,
                                           const DataSink& sink, std::string& error) const {
    constexpr size_t kPiece = 1 << 20;
    std::unique_ptr<unsigned char[]> in(new unsigned char[kPiece]);
    std::unique_ptr<unsigned char[]> out(new unsigned char[kPiece]);
    uint32_t crc = 0;
    uint64_t produced = 0, consumed = 0;
    std::string why;
    if (e.method == kMethodStore) {
        while (consumed < e.compSize) {
            const size_t n = static_cast<size_t>(std::min<uint64_t>(kPiece, e.compSize - consumed));
            if (!ReadRaw(loc, consumed, in.get(), n, why)) {
                error = "its data is cut short (" + why + ")";
                return ReadStatus::Damaged;
            }
            consumed += n;
            crc = libdeflate_crc32(crc, in.get(), n);
            if (!sink(in.get(), n)) return ReadStatus::SinkStopped;
        }
        produced = consumed;
    } else {
        // `next` takes a filled piece and gives the buffer for the next one
        // (nullptr: stop).
        auto inflateAll = [&](unsigned char* buf,
                              const std::function<unsigned char*(unsigned char*, size_t)>& next,
                              std::string& fault) -> ReadStatus {
            z_stream zs{};
            if (inflateInit2(&zs, -15) != Z_OK) {
                fault = "out of memory";
                return ReadStatus::IoError;
            }
            ReadStatus st = ReadStatus::Ok;
            uint64_t made = 0;
            int r = Z_OK;
            while (r != Z_STREAM_END && st == ReadStatus::Ok) {
                if (zs.avail_in == 0) {
                    const size_t n =
                        static_cast<size_t>(std::min<uint64_t>(kPiece, e.compSize - consumed));
                    std::string cause;
                    if (n == 0 || !ReadRaw(loc, consumed, in.get(), n, cause)) {
                        fault = "its compressed data ends early";
                        st = ReadStatus::Damaged;
                        break;
                    }
                    consumed += n;
                    zs.next_in = in.get();
                    zs.avail_in = static_cast<uInt>(n);
                }
                zs.next_out = buf;
                zs.avail_out = kPiece;
                r = inflate(&zs, Z_NO_FLUSH);
                if (r != Z_OK && r != Z_STREAM_END) {
                    fault = "its compressed data is damaged";
                    st = ReadStatus::Damaged;
                    break;
                }
                const size_t n = kPiece - zs.avail_out;
                made += n;
                if (made > e.size) {
                    fault = "it holds more data than recorded";
                    st = ReadStatus::Damaged;
                } else if (n > 0 && !(buf = next(buf, n))) {
                    st = ReadStatus::SinkStopped;
                }
            }
            if (st == ReadStatus::Ok && exactLength_ &&
                (zs.avail_in != 0 || consumed != e.compSize)) {
                fault = kEndsEarly;
                st = ReadStatus::Damaged;
            }
            inflateEnd(&zs);
            return st;
        };
        auto checkAndPass = [&](unsigned char* piece, size_t n) {
            crc = libdeflate_crc32(crc, piece, n);
            produced += n;
            return sink(piece, n);
        };

        // Inflating takes the most time: a helper thread inflates while this
        // one checks the CRC and writes what came out.
        struct Pipe {
            std::mutex m;
            std::condition_variable cv;
            std::deque<std::pair<unsigned char*, size_t>> full;
            std::vector<std::unique_ptr<unsigned char[]>> owned;
            std::vector<unsigned char*> spare;
            bool done = false, stop = false;
        } pipe;
        for (int i = 0; i < 3; ++i) {
            pipe.owned.emplace_back(new unsigned char[kPiece]);
            pipe.spare.push_back(pipe.owned.back().get());
        }
        ReadStatus made = ReadStatus::Ok;
        std::string fault;
        auto produce = [&] {
            unsigned char* first = pipe.spare.back();
            pipe.spare.pop_back();
            made = inflateAll(
                first,
                [&](unsigned char* piece, size_t n) -> unsigned char* {
                    std::unique_lock<std::mutex> lock(pipe.m);
                    pipe.full.emplace_back(piece, n);
                    pipe.cv.notify_all();
                    pipe.cv.wait(lock, [&] { return pipe.stop || !pipe.spare.empty(); });
                    if (pipe.stop) return nullptr;
                    unsigned char* b = pipe.spare.back();
                    pipe.spare.pop_back();
                    return b;
                },
                fault);
            std::lock_guard<std::mutex> lock(pipe.m);
            pipe.done = true;
            pipe.cv.notify_all();
        };
        std::thread helper;
        try {
            helper = std::thread(produce);
        } catch (const std::system_error&) {
            // No thread to be had: inflate here, one piece after the other.
            const ReadStatus st = inflateAll(
                out.get(),
                [&](unsigned char* piece, size_t n) {
                    return checkAndPass(piece, n) ? piece : nullptr;
                },
                error);
            if (st != ReadStatus::Ok) return st;
        }
        if (helper.joinable()) {
            bool sinkOk = true;
            for (;;) {
                std::unique_lock<std::mutex> lock(pipe.m);
                pipe.cv.wait(lock, [&] { return pipe.done || !pipe.full.empty(); });
                if (pipe.full.empty()) break;
                const auto [piece, n] = pipe.full.front();
                pipe.full.pop_front();
                lock.unlock();
                sinkOk = checkAndPass(piece, n);
                lock.lock();
                pipe.spare.push_back(piece);
                if (!sinkOk) pipe.stop = true;
                pipe.cv.notify_all();
                if (!sinkOk) break;
            }
            helper.join();
            if (!sinkOk) return ReadStatus::SinkStopped;
            if (made != ReadStatus::Ok) {
                error = fault;
                return made;
            }
        }
    }
    if (produced != e.size || crc != e.crc) {
        error = "CRC or size check failed";
        return ReadStatus::Damaged;
    }
    return CheckDescriptor(e, loc, error);
}

// Methods other than store and deflate go through libzip, handed a one-entry
// archive made of this entry's headers and data.
ReadStatus ArchiveReader::ExtractOther(const ArchiveEntry& e, const DataLocation& loc,
                                       const DataSink& sink, std::string& error) const {
    if (!FitsInMemory(e)) {
        error = MethodText(e.method) + " is not supported for an entry this large";
        return ReadStatus::Unsupported;
    }
    EntryRecord r;
    r.name = e.name;
    r.flags = e.flags & ~8;
    r.method = e.method;
    r.dosTime = e.dosTime;
    r.dosDate = e.dosDate;
    r.crc = e.crc;
    r.compSize = e.compSize;
    r.size = e.size;
    std::string mini = LocalHeader(r);
    const size_t dataAt = mini.size();
    mini.resize(dataAt + static_cast<size_t>(e.compSize));
    std::string why;
    if (!ReadRaw(loc, 0, mini.data() + dataAt, static_cast<size_t>(e.compSize), why)) {
        error = "its data is cut short (" + why + ")";
        return ReadStatus::Damaged;
    }
    const uint64_t cdOffset = mini.size();
    const std::string central = CentralHeader(r);
    mini += central;
    mini += EndRecords(1, cdOffset, central.size(), "");

    zip_error_t ze;
    zip_error_init(&ze);
    zip_source_t* src = zip_source_buffer_create(mini.data(), mini.size(), 0, &ze);
    zip_t* z = src ? zip_open_from_source(src, ZIP_RDONLY, &ze) : nullptr;
    if (!z) {
        if (src) zip_source_free(src);
        zip_error_fini(&ze);
        error = "cannot read the entry";
        return ReadStatus::Damaged;
    }
    zip_error_fini(&ze);
    zip_file_t* f = zip_fopen_index(z, 0, 0);
    if (!f) {
        const int code = zip_error_code_zip(zip_get_error(z));
        zip_discard(z);
        error = MethodText(e.method) + " is not supported";
        return code == ZIP_ER_COMPNOTSUPP ? ReadStatus::Unsupported : ReadStatus::Damaged;
    }
    std::string out(static_cast<size_t>(e.size) + 1, '\0');
    size_t got = 0;
    zip_int64_t n = 0;
    while (got < out.size() && (n = zip_fread(f, out.data() + got, out.size() - got)) > 0)
        got += static_cast<size_t>(n);
    zip_fclose(f);
    zip_discard(z);
    if (n < 0 || got != e.size || libdeflate_crc32(0, out.data(), got) != e.crc) {
        error = "CRC or size check failed";
        return ReadStatus::Damaged;
    }
    const ReadStatus st = CheckDescriptor(e, loc, error);
    if (st != ReadStatus::Ok) return st;
    return sink(reinterpret_cast<const unsigned char*>(out.data()), got) ? ReadStatus::Ok
                                                                         : ReadStatus::SinkStopped;
}

bool ArchiveReader::Header(std::string& out, std::string& error) const {
    if (headerIndex_ != SIZE_MAX) {
        std::deque<std::string> paths;
        const ReadStatus st =
            ExtractToString(FromRecord(headerRecord_, headerIndex_, paths), out, error);
        if (st != ReadStatus::Ok) error = "the header entry: " + error;
        return st == ReadStatus::Ok;
    }
    out = comment_;
    return true;
}

}  // namespace pkzip
