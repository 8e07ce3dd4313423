// Buffered sequential writer for the new archive. Besides appending it can
// rewrite bytes already written (a local header once its entry's size and CRC
// are known) and step back to drop an entry that failed half-way.
//
// Spanning, it writes one stream of bytes into volumes: a volume ends at its
// size limit or where the file system refuses to let it grow, and a header
// announced with Reserve() never straddles two volumes. Positions are those
// of the stream (Tell); Where() tells the disk and the offset on it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "Os.h"

namespace pkzip {

struct WriteError : std::runtime_error {
    explicit WriteError(const std::string& what) : std::runtime_error(what) {}
};

// Where the volumes of a spanned archive go.
class VolumeTarget {
  public:
    virtual ~VolumeTarget() = default;
    // Creates volume `disk` (empty) and returns its descriptor; throws WriteError.
    virtual os::Handle Create(uint32_t disk) = 0;
    // Opens an existing volume again for writing.
    virtual os::Handle Reopen(uint32_t disk) = 0;
    virtual void Remove(uint32_t disk) = 0;
    // Whether volume `disk` is on a medium already taken out: final, out of reach.
    virtual bool Sealed(uint32_t disk) const = 0;
    // The medium that holds volume `disk` is full and the volume is complete
    // as far as it goes. Returns to go on (in the folder now chosen); throws
    // WriteError to stop.
    virtual void MediumFull(uint32_t disk) = 0;
};

struct Place {
    uint32_t disk = 0;
    uint64_t offset = 0;
};

class OutFile {
  public:
    // One file, no volumes.
    explicit OutFile(os::Handle fd);
    // Volumes made by `target`, each at most `volumeLimit` bytes (0: as large
    // as the file system lets it grow), a medium taking at most `mediumBytes`
    // (0: no limit) before it counts as full.
    OutFile(VolumeTarget& target, uint64_t volumeLimit, uint64_t mediumBytes);
    ~OutFile();
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;

    void Write(const void* data, size_t n);
    void Write(const std::string& s) { Write(s.data(), s.size()); }
    uint64_t Tell() const { return bufferStart_ + buffer_.size(); }
    // The next `n` bytes written are one header: kept in one volume.
    void Reserve(size_t n);
    // Appends `length` bytes of `fd` from `offset`, in the kernel where it can.
    void CopyFrom(os::Handle fd, uint64_t offset, uint64_t length);
    void Patch(uint64_t offset, const std::string& bytes);
    // The local header at `offset` waits for its entry's CRC and sizes. Should
    // its medium be taken out meanwhile, the header is marked for a data
    // descriptor first, and HeaderSealed() then says it cannot be rewritten.
    // A stored entry (`stored`) is moved whole to the next medium rather than
    // given a descriptor, where it can be.
    void OpenHeader(uint64_t offset, bool stored = false) {
        openHeader_ = offset;
        openStored_ = stored;
        headerOpen_ = true;
        headerSealed_ = false;
    }
    void CloseHeader() { headerOpen_ = headerSealed_ = false; }
    bool HeaderSealed() const { return headerSealed_; }
    void Rollback(uint64_t offset);
    // Before the central directory and end records (`n` bytes) are made up:
    // when they will not fit in a first volume, the set starts now, so disk
    // 0 takes its signature before any offset on it is written down.
    void PrepareDirectory(uint64_t n);
    // Writes out the buffer; positions up to Tell() then have their place.
    void Flush();
    Place Where(uint64_t offset) const;
    uint32_t Disks() const { return static_cast<uint32_t>(vols_.size()); }
    bool Spanning() const { return target_ != nullptr; }
    // Writes out the buffer, cuts the last volume at the current position and
    // syncs every volume.
    void Finish();

  private:
    struct Volume {
        uint64_t start = 0;   // stream position of its first byte after the prefix
        uint32_t prefix = 0;  // bytes before it: the split signature on disk 0
        os::Handle fd = os::kNoHandle;
        uint64_t limit = 0;  // 0: none known
        bool mediumLimit = false;
    };
    void WriteOut(const char* p, size_t n, uint64_t pos);
    void WriteAt(const char* p, size_t n, uint64_t pos);
    void Cut(uint64_t pos, bool mediumFull);
    void NewVolume(uint64_t start);
    void AddSignature(Volume& v, uint64_t length);
    os::Handle Fd(uint32_t disk);
    size_t VolumeAt(uint64_t pos) const;

    os::Handle fd_;
    VolumeTarget* target_ = nullptr;
    uint64_t volumeLimit_ = 0;
    uint64_t mediumBytes_ = 0;
    std::vector<Volume> vols_;
    std::vector<std::pair<uint64_t, uint64_t>> headers_;  // recent reservations
    uint64_t openHeader_ = 0;
    bool headerOpen_ = false;
    bool openStored_ = false;
    bool headerSealed_ = false;
    uint64_t bufferStart_ = 0;
    std::vector<char> buffer_;
};

}  // namespace pkzip
