#include "OutFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace pkzip {
namespace {

constexpr size_t kBufferSize = 4 << 20;
constexpr uint32_t kSplitSignature = 0x08074b50;
constexpr uint32_t kSingleSegmentMarker = 0x30304b50;  // "PK00": a split that came out whole
// Volumes kept open besides the last: older ones are opened again when needed.
constexpr size_t kOpenVolumes = 4;
// At most this much of a stored entry is carried to the next medium.
constexpr uint64_t kMaxStoredCarry = 64ull << 20;

std::string WriteErrorText(int err) {
    if (err == EFBIG) {
        return "the file became too large (the size limit of the file system or of this process)";
    }
    return os::ErrorText(err);
}

void PWriteAll(os::Handle fd, const char* p, size_t n, uint64_t off) {
    while (n > 0) {
        const int64_t w = os::WriteAt(fd, p, n, off);
        if (w < 0) {
            if (os::LastError() == EINTR) continue;
            throw WriteError(WriteErrorText(os::LastError()));
        }
        p += w;
        n -= static_cast<size_t>(w);
        off += static_cast<uint64_t>(w);
    }
}

void PReadAll(os::Handle fd, char* p, size_t n, uint64_t off) {
    while (n > 0) {
        const int64_t r = os::ReadAt(fd, p, n, off);
        if (r < 0 && os::LastError() == EINTR) continue;
        if (r <= 0) throw WriteError("cannot read back a volume just written");
        p += r;
        n -= static_cast<size_t>(r);
        off += static_cast<uint64_t>(r);
    }
}

void Put32(char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<char>(v >> (8 * i));
}

}  // namespace

OutFile::OutFile(os::Handle fd) : fd_(fd) {
    vols_.push_back(Volume{0, 0, fd, 0, false});
    buffer_.reserve(kBufferSize);
}

OutFile::OutFile(VolumeTarget& target, uint64_t volumeLimit, uint64_t mediumBytes)
    : fd_(os::kNoHandle), target_(&target), volumeLimit_(volumeLimit), mediumBytes_(mediumBytes) {
    buffer_.reserve(kBufferSize);
    NewVolume(0);
}

OutFile::~OutFile() {
    if (!target_) return;
    for (Volume& v : vols_) {
        if (v.fd != os::kNoHandle) os::Close(v.fd);
    }
}

void OutFile::NewVolume(uint64_t start) {
    const uint32_t disk = static_cast<uint32_t>(vols_.size());
    Volume v;
    v.start = start;
    v.fd = target_->Create(disk);
    const bool medium = mediumBytes_ > 0 && (volumeLimit_ == 0 || mediumBytes_ < volumeLimit_);
    v.limit = medium ? mediumBytes_ : volumeLimit_;
    v.mediumLimit = medium;
    vols_.push_back(v);
    for (size_t i = 0; i + kOpenVolumes < vols_.size(); ++i) {
        if (vols_[i].fd != os::kNoHandle) {
            os::Close(vols_[i].fd);
            vols_[i].fd = -1;
        }
    }
}

os::Handle OutFile::Fd(uint32_t disk) {
    Volume& v = vols_[disk];
    if (v.fd == os::kNoHandle) v.fd = target_->Reopen(disk);
    return v.fd;
}

size_t OutFile::VolumeAt(uint64_t pos) const {
    size_t i = vols_.size() - 1;
    while (i > 0 && vols_[i].start > pos) --i;
    return i;
}

Place OutFile::Where(uint64_t offset) const {
    const size_t i = VolumeAt(offset);
    return {static_cast<uint32_t>(i), vols_[i].prefix + (offset - vols_[i].start)};
}

void OutFile::Reserve(size_t n) {
    if (!target_) return;
    // Only reservations near the end can still be cut through.
    const uint64_t at = Tell();
    headers_.erase(
        std::remove_if(headers_.begin(), headers_.end(),
                       [&](const auto& h) { return h.first + h.second + 8 < bufferStart_; }),
        headers_.end());
    headers_.emplace_back(at, n);
}

void OutFile::Write(const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    if (buffer_.size() + n > kBufferSize) {
        Flush();
        if (n >= kBufferSize) {
            WriteOut(p, n, bufferStart_);
            bufferStart_ += n;
            return;
        }
    }
    buffer_.insert(buffer_.end(), p, p + n);
}

void OutFile::WriteOut(const char* p, size_t n, uint64_t pos) {
    if (!target_) {
        PWriteAll(fd_, p, n, pos);
        return;
    }
    while (n > 0) {
        Volume& v = vols_.back();
        const uint64_t inVolume = v.prefix + (pos - v.start);
        uint64_t room = n;
        if (v.limit > 0) room = v.limit > inVolume ? std::min<uint64_t>(n, v.limit - inVolume) : 0;
        if (room == 0) {
            Cut(pos, v.mediumLimit);
            continue;
        }
        const int64_t w = os::WriteAt(Fd(static_cast<uint32_t>(vols_.size() - 1)), p,
                                      static_cast<size_t>(room), inVolume);
        if (w < 0) {
            if (os::LastError() == EINTR) continue;
            if ((os::LastError() == EFBIG || os::LastError() == ENOSPC) && inVolume > v.prefix) {
                Cut(pos, os::LastError() == ENOSPC);
                continue;
            }
            throw WriteError(WriteErrorText(os::LastError()));
        }
        p += w;
        n -= static_cast<size_t>(w);
        pos += static_cast<uint64_t>(w);
    }
}

// The last volume ends at `pos`, or earlier where a header would be cut in
// two; what it holds past the cut goes on into the next volume.
void OutFile::Cut(uint64_t pos, bool mediumFull) {
    Volume& v = vols_.back();
    const uint32_t disk = static_cast<uint32_t>(vols_.size() - 1);
    const bool first = disk == 0 && v.prefix == 0;
    uint64_t cut = pos;
    if (first) cut = cut >= 4 ? cut - 4 : 0;  // room for the split signature
    for (bool moved = true; moved;) {
        moved = false;
        for (const auto& [start, len] : headers_) {
            if (start < cut && cut < start + len) {
                cut = start;
                moved = true;
            }
        }
    }
    if (cut <= v.start) throw WriteError("a header does not fit in one volume");
    // A stored entry whose header would leave with the medium would need a
    // data descriptor, which some readers refuse for stored data: the entry
    // goes whole to the next medium instead, unless it starts this volume
    // or what it already holds would be too much to carry over.
    if (mediumFull && headerOpen_ && !headerSealed_ && openStored_ && openHeader_ > v.start &&
        openHeader_ < cut && cut - openHeader_ <= kMaxStoredCarry) {
        cut = openHeader_;
    }
    std::vector<char> carry(static_cast<size_t>(pos - cut));
    const uint64_t cutInVolume = v.prefix + (cut - v.start);
    PReadAll(Fd(disk), carry.data(), carry.size(), cutInVolume);
    // Shifted before the cut, so a full medium gives up no space it needs.
    if (first) AddSignature(v, cutInVolume);
    if (!os::Truncate(Fd(disk), v.prefix + (cut - v.start))) {
        throw WriteError(WriteErrorText(os::LastError()));
    }
    if (mediumFull) {
        // The open entry's header may be about to leave with its medium: it
        // announces a data descriptor, which a header still in reach loses
        // again when rewritten.
        const bool markHeader = headerOpen_ && !headerSealed_ && openHeader_ < cut &&
                                !target_->Sealed(Where(openHeader_).disk);
        if (markHeader) {
            char flags[2];
            const Place at = Where(openHeader_ + 6);
            PReadAll(Fd(at.disk), flags, 2, at.offset);
            flags[0] = static_cast<char>(flags[0] | 0x08);
            PWriteAll(Fd(at.disk), flags, 2, at.offset);
        }
        for (uint32_t d = 0; d <= disk; ++d) {
            if (vols_[d].fd != os::kNoHandle && !os::Sync(vols_[d].fd)) {
                throw WriteError(WriteErrorText(os::LastError()));
            }
        }
        target_->MediumFull(disk);
        for (uint32_t d = 0; d <= disk; ++d) {
            if (!target_->Sealed(d) || vols_[d].fd == os::kNoHandle) continue;
            os::Close(vols_[d].fd);
            vols_[d].fd = -1;
        }
        if (markHeader && target_->Sealed(Where(openHeader_).disk)) headerSealed_ = true;
    } else if (!os::Sync(Fd(disk))) {
        throw WriteError(WriteErrorText(os::LastError()));
    }
    NewVolume(cut);
    WriteOut(carry.data(), carry.size(), cut);
}

// Disk 0 of a set starts with the split signature: its bytes move up by four,
// in place from the end, so a full medium needs no room for a copy.
void OutFile::AddSignature(Volume& v, uint64_t length) {
    const os::Handle fd = Fd(0);
    uint64_t end = length;
    std::vector<char> buf(1 << 20);
    while (end > 0) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(end, buf.size()));
        PReadAll(fd, buf.data(), n, end - n);
        PWriteAll(fd, buf.data(), n, end - n + 4);
        end -= n;
    }
    char sig[4];
    Put32(sig, kSplitSignature);
    PWriteAll(fd, sig, 4, 0);
    v.prefix = 4;
}

void OutFile::PrepareDirectory(uint64_t n) {
    if (!target_ || vols_.size() > 1 || vols_[0].prefix > 0) return;
    Flush();
    const uint64_t pos = Tell();
    if (pos == 0) return;
    Volume& v = vols_[0];
    if (v.limit > 0) {
        if (pos + n > v.limit) Cut(pos, v.mediumLimit);
        return;
    }
    // No limit known: the file system tells by reserving the room.
    const int err = os::Reserve(Fd(0), pos, n);
    if (err == EFBIG || err == ENOSPC) Cut(pos, err == ENOSPC);
}

void OutFile::WriteAt(const char* p, size_t n, uint64_t pos) {
    if (!target_) {
        PWriteAll(fd_, p, n, pos);
        return;
    }
    while (n > 0) {
        const size_t i = VolumeAt(pos);
        const uint64_t end = i + 1 < vols_.size() ? vols_[i + 1].start : UINT64_MAX;
        const size_t k = static_cast<size_t>(std::min<uint64_t>(n, end - pos));
        PWriteAll(Fd(static_cast<uint32_t>(i)), p, k, vols_[i].prefix + (pos - vols_[i].start));
        p += k;
        n -= k;
        pos += k;
    }
}

void OutFile::CopyFrom(os::Handle fd, uint64_t offset, uint64_t length) {
    Flush();
    if (target_) {
        std::vector<char> buf(static_cast<size_t>(std::min<uint64_t>(length, kBufferSize)));
        while (length > 0) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(length, buf.size()));
            const int64_t n = os::ReadAt(fd, buf.data(), want, offset);
            if (n < 0 && os::LastError() == EINTR) continue;
            if (n < 0)
                throw WriteError(std::string("reading the old archive: ") +
                                 os::ErrorText(os::LastError()));
            if (n == 0) throw WriteError("the old archive ends early");
            WriteOut(buf.data(), static_cast<size_t>(n), bufferStart_);
            bufferStart_ += static_cast<uint64_t>(n);
            offset += static_cast<uint64_t>(n);
            length -= static_cast<uint64_t>(n);
        }
        return;
    }
    uint64_t in = offset;
    uint64_t out = bufferStart_;
    bool kernel = true;
    std::vector<char> buf;
    while (length > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(length, 1 << 30));
        int64_t n = -1;
        if (kernel) {
            n = os::CopyRange(fd, &in, fd_, &out, want);
            if (n < 0 && os::LastError() == EINTR) continue;
            if (n < 0 && (os::LastError() == EXDEV || os::LastError() == EINVAL ||
                          os::LastError() == ENOSYS)) {
                kernel = false;
                continue;
            }
            if (n < 0) throw WriteError(WriteErrorText(os::LastError()));
        } else {
            if (buf.empty()) buf.resize(kBufferSize);
            n = os::ReadAt(fd, buf.data(), std::min(want, buf.size()), in);
            if (n < 0 && os::LastError() == EINTR) continue;
            if (n < 0)
                throw WriteError(std::string("reading the old archive: ") +
                                 os::ErrorText(os::LastError()));
            if (n > 0) PWriteAll(fd_, buf.data(), static_cast<size_t>(n), out);
            in += static_cast<uint64_t>(n);
            out += static_cast<uint64_t>(n);
        }
        if (n == 0) throw WriteError("the old archive ends early");
        length -= static_cast<uint64_t>(n);
    }
    bufferStart_ = out;
}

void OutFile::Flush() {
    if (buffer_.empty()) return;
    WriteOut(buffer_.data(), buffer_.size(), bufferStart_);
    bufferStart_ += buffer_.size();
    buffer_.clear();
}

void OutFile::Patch(uint64_t offset, const std::string& bytes) {
    size_t done = 0;
    if (offset < bufferStart_) {
        const size_t before =
            static_cast<size_t>(std::min<uint64_t>(bytes.size(), bufferStart_ - offset));
        WriteAt(bytes.data(), before, offset);
        done = before;
    }
    if (done < bytes.size()) {
        const size_t at = static_cast<size_t>(offset + done - bufferStart_);
        std::memcpy(buffer_.data() + at, bytes.data() + done, bytes.size() - done);
    }
}

void OutFile::Rollback(uint64_t offset) {
    // Headers announced past the point are gone with their bytes: kept, they
    // would still move a later volume's cut.
    headers_.erase(std::remove_if(headers_.begin(), headers_.end(),
                                  [&](const auto& h) { return h.first >= offset; }),
                   headers_.end());
    if (offset >= bufferStart_) {
        buffer_.resize(static_cast<size_t>(offset - bufferStart_));
        return;
    }
    buffer_.clear();
    bufferStart_ = offset;
    if (!target_) return;
    while (vols_.size() > 1 && vols_.back().start >= offset) {
        Volume& v = vols_.back();
        if (v.fd != os::kNoHandle) os::Close(v.fd);
        target_->Remove(static_cast<uint32_t>(vols_.size() - 1));
        vols_.pop_back();
    }
    Volume& v = vols_.back();
    if (!os::Truncate(Fd(static_cast<uint32_t>(vols_.size() - 1)), v.prefix + (offset - v.start))) {
        throw WriteError(WriteErrorText(os::LastError()));
    }
}

void OutFile::Finish() {
    Flush();
    if (!target_) {
        if (!os::Truncate(fd_, bufferStart_) || !os::Sync(fd_)) {
            throw WriteError(WriteErrorText(os::LastError()));
        }
        return;
    }
    Volume& last = vols_.back();
    const uint32_t lastDisk = static_cast<uint32_t>(vols_.size() - 1);
    if (!os::Truncate(Fd(lastDisk), last.prefix + (bufferStart_ - last.start))) {
        throw WriteError(WriteErrorText(os::LastError()));
    }
    if (vols_.size() == 1 && last.prefix == 4) {
        // Split once, then the later volumes were given up again.
        char sig[4];
        Put32(sig, kSingleSegmentMarker);
        PWriteAll(Fd(0), sig, 4, 0);
    }
    for (uint32_t d = 0; d < vols_.size(); ++d) {
        if (target_->Sealed(d)) continue;  // synced before its medium went
        if (!os::Sync(Fd(d))) throw WriteError(WriteErrorText(os::LastError()));
        if (d + kOpenVolumes < vols_.size()) {
            os::Close(vols_[d].fd);
            vols_[d].fd = -1;
        }
    }
}

}  // namespace pkzip
