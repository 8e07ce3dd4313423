// Reading ZIP archives our own way: the end records found as unzip finds them
// (bytes before the archive allowed), split sets, every central header with
// its raw bytes, local headers checked against the central directory, and
// data decompressed with its CRC checked.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "Os.h"
#include "VolumeSet.h"

namespace pkzip {

namespace crypto {
class Password;
class KeyCache;
}  // namespace crypto

// Where an entry's modification time came from, finest first.
enum class TimeSource : uint8_t { Ntfs, Extended, InfoZipUnix, Dos };

struct ArchiveEntry {
    size_t index = 0;  // position in the central directory

    // As recorded in the central header (Zip64 values already applied). An
    // entry is made afresh from its central record on each Entry(); its views
    // point into the reader, which must outlive it.
    std::string_view name;  // raw bytes
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint32_t crc = 0;
    uint64_t compSize = 0;
    uint64_t size = 0;
    uint32_t diskStart = 0;
    uint64_t localOffset = 0;  // as recorded, without the bytes before the archive
    uint16_t internalAttrs = 0;
    uint32_t externalAttrs = 0;
    std::string_view extra;    // raw central extra field
    std::string_view comment;  // raw entry comment
    std::string_view central;  // the whole central record, signature to comment
    bool zip64 = false;        // a Zip64 extra field supplied a value

    // Derived.
    std::string_view
        path;           // the name with '/' separators (backslashes of DOS/Windows hosts turned)
    uint8_t host = 0;   // versionMadeBy >> 8
    int64_t mtime = 0;  // seconds since 1970, UTC, signed
    uint32_t mtimeNsec = 0;  // below the second, NTFS times only
    TimeSource timeSource = TimeSource::Dos;
    bool hasUnixMode = false;
    uint32_t unixMode = 0;  // type and permission bits, when made on Unix
    bool isDir = false;
    bool isSymlink = false;
    bool isSpecial = false;  // device, socket, or a fifo without data
    bool isHeader = false;   // our own header entry
    bool encrypted = false;
    bool hasDescriptor = false;  // flag bit 3: sizes and CRC follow the data
    std::string damage;          // non-empty: the central record itself is damaged
};

// Where an entry's data starts, once its local header has been checked.
struct DataLocation {
    uint32_t disk = 0;
    uint64_t offset = 0;       // of the first data byte on `disk`
    uint32_t headerSize = 0;   // of the local header
    uint64_t headerStart = 0;  // on `localDisk`, bytes before the archive included
    uint32_t localDisk = 0;
};

// NeedsPassword and WrongPassword: an encrypted entry read without its password.
enum class ReadStatus {
    Ok,
    Damaged,
    Unsupported,
    IoError,
    SinkStopped,
    NeedsPassword,
    WrongPassword
};

// Receives decompressed data; returns false to stop.
using DataSink = std::function<bool(const unsigned char* data, size_t len)>;

class ArchiveReader {
  public:
    // Entries up to this size (both sizes) are decompressed whole in memory,
    // their CRC checked before the sink sees a byte.
    static constexpr uint64_t kInMemoryLimit = 64ull << 20;

    ArchiveReader();
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Fails with a readable reason for a missing, empty, non-regular or
    // broken archive, or a volume of a set that cannot be found.
    bool Open(const std::string& path, std::string& error, VolumeAsker* asker = nullptr);
    // Before Open: where the volumes of a set are, when not beside the last.
    void UseVolumePaths(std::vector<std::string> paths) { volumes_.UsePaths(std::move(paths)); }
    // Before Open: another folder that may hold volumes of the set.
    void AlsoLookIn(std::string folder) { volumes_.AlsoLookIn(std::move(folder)); }

    // Before Open: keep nothing per entry, not even the central directory;
    // the entries are then read in turn with ForEachBatch, and Entry and
    // Name must not be used.
    void StreamDirectory() { stream_ = true; }

    // Before Open: the central directory is copied into a work file without
    // a name in `folder` and read from there, rather than held in memory;
    // the pages read are let go every few thousand entries, so a pass over a
    // million entries holds a few megabytes of it. Where no work file can be
    // made, it is held in memory after all.
    void SpillDirectory(std::string folder) { spillFolder_ = std::move(folder); }
    bool DirectorySpilled() const { return map_.data != nullptr; }
    // Lets the pages of a spilled directory read so far go; views of it stay
    // valid (what they show is read again when used).
    void ReleaseDirectory() const;

    // Only the central directory's own bytes and a small record per entry
    // are kept: an archive may hold millions of entries.
    size_t Count() const { return count_; }
    ArchiveEntry Entry(size_t i) const;
    std::string_view Name(size_t i) const;  // Entry(i).name, found faster
    bool HasHeaderEntry() const { return headerIndex_ != SIZE_MAX; }

    // Calls `fn` with every entry in order, some thousands at a time (their
    // views last until it returns), until it returns false. False with
    // `error` when the directory cannot be read again.
    bool ForEachBatch(const std::function<bool(const std::vector<ArchiveEntry>&)>& fn,
                      std::string& error) const;

    // The archive comment as far as present; CommentShort() when the file
    // ends before its recorded length.
    const std::string& Comment() const { return comment_; }
    bool CommentShort() const { return commentShort_; }
    // Damage to the archive as a whole (not to one entry), one text each.
    const std::vector<std::string>& Damage() const { return damage_; }

    uint64_t PrefixBytes() const { return prefix_; }  // bytes before the archive
    bool IsSplit() const { return volumes_.IsSplit(); }
    const VolumeSet& Volumes() const { return volumes_; }
    uint32_t CentralDisk() const { return cdDisk_; }
    uint64_t CentralOffset() const { return cdOffset_; }  // as recorded
    uint64_t CentralSize() const { return cdSize_; }

    // The stored header: the header entry's content when the archive has one,
    // otherwise the comment.
    bool Header(std::string& out, std::string& error) const;

    // Checks the entry's local header against its central one (signature,
    // name, method, and CRC and sizes unless they follow the data); a
    // disagreement is damage.
    ReadStatus Locate(const ArchiveEntry& e, DataLocation& out, std::string& error) const;
    // The same, for a caller that read ahead: `pre` holds `preLen` bytes from
    // where the local header starts (see HeaderPlace); what they lack is read.
    ReadStatus LocateIn(const ArchiveEntry& e, DataLocation& out, const unsigned char* pre,
                        size_t preLen, std::string& error) const;
    // Volume and position of the entry's local header.
    void HeaderPlace(const ArchiveEntry& e, uint32_t& disk, uint64_t& offset) const {
        disk = e.diskStart;
        offset = e.localOffset + (volumes_.IsSplit() ? 0 : prefix_);
    }
    // Raw bytes of the entry's stored data, `pos` bytes from its start.
    bool ReadRaw(const DataLocation& loc, uint64_t pos, void* buf, size_t len,
                 std::string& error) const;

    // Before reading entries: a deflate stream must end exactly at its
    // recorded compressed size (the checks of what was written, and of what
    // would be carried over, ask for it; a restore takes such data as it is).
    void RequireExactLength() { exactLength_ = true; }
    // The password of encrypted entries (not owned; null: none given), and
    // keys already derived for some of them.
    void UsePassword(const crypto::Password* password, const crypto::KeyCache* keys = nullptr) {
        password_ = password;
        keys_ = keys;
    }
    bool HasPassword() const { return password_ != nullptr; }

    bool FitsInMemory(const ArchiveEntry& e) const;
    // Decompresses into `sink` and checks size and CRC (and a data
    // descriptor's CRC). For an entry that fits in memory the sink is called
    // once, after the checks; otherwise in pieces, and the result tells
    // whether what it got was sound.
    ReadStatus Extract(const ArchiveEntry& e, const DataSink& sink, std::string& error) const;
    ReadStatus ExtractToString(const ArchiveEntry& e, std::string& out, std::string& error) const;

  private:
    // Bytes of whole-entry buffers in use at once, over all threads.
    static constexpr uint64_t kMemoryBudget = 160ull << 20;
    class MemoryClaim;

    bool FindEnd(std::string& error);
    bool ReadCentral(std::string& error);
    struct FirstOnDisk {  // the entry that starts first on a volume
        bool found = false;
        uint64_t offset = 0;
        std::string name;
    };
    bool VolumesBelongTogether(const std::vector<FirstOnDisk>& first, std::string& error) const;
    // Calls each(buffer, pos) for every whole central record in order, and
    // flush() before the buffer changes and at the end; either stops the
    // scan by returning false.
    bool ScanCentral(const std::function<bool(std::string_view, size_t)>& each,
                     const std::function<bool()>& flush, std::string& error) const;
    static ArchiveEntry FromRecord(std::string_view record, size_t index,
                                   std::deque<std::string>& paths);
    static constexpr size_t kScanChunk = 1u << 20;
    static constexpr size_t kBatch = 16384;
    ReadStatus CheckDescriptor(const ArchiveEntry& e, const DataLocation& loc,
                               std::string& error) const;
    ReadStatus ExtractInMemory(const ArchiveEntry& e, const DataSink& sink,
                               std::string& error) const;
    ReadStatus ExtractStreaming(const ArchiveEntry& e, const DataLocation& loc,
                                const DataSink& sink, std::string& error) const;
    ReadStatus ExtractOther(const ArchiveEntry& e, const DataLocation& loc, const DataSink& sink,
                            std::string& error) const;

    VolumeSet volumes_;
    VolumeAsker* asker_ = nullptr;
    // Per entry: where its central record starts and its time, which may
    // take a slow local-time conversion to work out.
    struct Slot {
        uint64_t at = 0;
        int64_t mtime = 0;
        uint32_t mtimeNsec = 0;
        TimeSource timeSource = TimeSource::Dos;
    };
    bool SpillCentral(std::string& error);
    void Touch() const {
        if (map_.data && (++touches_ & 4095) == 0) ReleaseDirectory();
    }

    std::string centralDir_;  // unless spilled
    std::string_view dir_;    // the directory's records: centralDir_ or map_
    std::string spillFolder_;
    os::Mapping map_;
    mutable std::atomic<uint64_t> touches_{0};
    std::vector<Slot> slots_;
    // The few entries with a turned path or damage to their record, by index.
    std::vector<std::pair<size_t, std::string>> paths_;
    std::vector<std::pair<size_t, std::string>> entryDamage_;
    size_t headerIndex_ = SIZE_MAX;
    std::string headerRecord_;  // the header entry's central record
    size_t count_ = 0;
    bool stream_ = false;
    std::string comment_;
    bool commentShort_ = false;
    std::vector<std::string> damage_;
    uint64_t prefix_ = 0;
    uint32_t cdDisk_ = 0;
    uint64_t cdOffset_ = 0;
    uint64_t cdSize_ = 0;
    uint64_t entryCount_ = 0;
    bool exactLength_ = false;
    const crypto::Password* password_ = nullptr;
    const crypto::KeyCache* keys_ = nullptr;
    mutable std::mutex memMutex_;
    mutable std::condition_variable memCv_;
    mutable uint64_t memUsed_ = 0;
};

}  // namespace pkzip
