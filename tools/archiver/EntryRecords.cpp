#include "EntryRecords.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "OutFile.h"
#include "TempFile.h"

namespace pkzip {
namespace {

// Written and read back as bytes within one run: the views stay valid.
static_assert(std::is_trivially_copyable_v<EntryRecord>);

std::string Why(int err) {
    return os::ErrorText(err);
}

void AllAt(bool write, os::Handle fd, void* buf, size_t len, uint64_t at) {
    auto* p = static_cast<char*>(buf);
    while (len > 0) {
        const int64_t n = write ? os::WriteAt(fd, p, len, at) : os::ReadAt(fd, p, len, at);
        if (n < 0 && os::LastError() == EINTR) continue;
        if (n <= 0) {
            throw WriteError(std::string(write ? "cannot write" : "cannot read") +
                             " the work file of the entry records: " +
                             (n < 0 ? Why(os::LastError()) : std::string("it ends early")));
        }
        p += n;
        len -= static_cast<size_t>(n);
        at += static_cast<uint64_t>(n);
    }
}

os::Handle NamelessFile(const std::string& folder) {
    std::string error;
    const os::Handle fd = NamelessWorkFile(folder, error);
    if (fd == os::kNoHandle) throw WriteError(error);
    return fd;
}

}  // namespace

EntryRecords::EntryRecords(std::string folder, size_t inMemory)
    : folder_(std::move(folder)), inMemory_(std::max<size_t>(inMemory, 1)) {}

EntryRecords::~EntryRecords() {
    if (fd_ != os::kNoHandle) os::Close(fd_);
}

void EntryRecords::Add(const EntryRecord& e) {
    if (tail_.size() >= inMemory_) Spill();
    if (tail_.capacity() == 0) tail_.reserve(inMemory_);
    tail_.push_back(e);
}

void EntryRecords::Spill() {
    if (fd_ == os::kNoHandle) fd_ = NamelessFile(folder_);
    WriteSpilled(spilled_, tail_.size(), tail_.data());
    spilled_ += tail_.size();
    tail_.clear();
}

void EntryRecords::ReadSpilled(size_t first, size_t count, EntryRecord* to) const {
    AllAt(false, fd_, to, count * sizeof(EntryRecord), first * sizeof(EntryRecord));
}

void EntryRecords::WriteSpilled(size_t first, size_t count, const EntryRecord* from) {
    AllAt(true, fd_, const_cast<EntryRecord*>(from), count * sizeof(EntryRecord),
          first * sizeof(EntryRecord));
}

void EntryRecords::Read(size_t first, size_t count, std::vector<EntryRecord>& out) const {
    out.resize(count);
    const size_t fromFile = first < spilled_ ? std::min(count, spilled_ - first) : 0;
    if (fromFile > 0) ReadSpilled(first, fromFile, out.data());
    for (size_t k = fromFile; k < count; ++k) out[k] = tail_[first + k - spilled_];
    if (afterChunk_) afterChunk_();
}

void EntryRecords::Visit(const std::function<void(const EntryRecord&)>& fn) const {
    std::vector<EntryRecord> chunk;
    for (size_t first = 0; first < spilled_; first += inMemory_) {
        const size_t n = std::min(inMemory_, spilled_ - first);
        chunk.resize(n);
        ReadSpilled(first, n, chunk.data());
        for (const EntryRecord& e : chunk) fn(e);
        if (afterChunk_) afterChunk_();
    }
    for (const EntryRecord& e : tail_) fn(e);
    if (afterChunk_) afterChunk_();
}

void EntryRecords::Change(const std::function<void(EntryRecord&)>& fn) {
    std::vector<EntryRecord> chunk;
    for (size_t first = 0; first < spilled_; first += inMemory_) {
        const size_t n = std::min(inMemory_, spilled_ - first);
        chunk.resize(n);
        ReadSpilled(first, n, chunk.data());
        for (EntryRecord& e : chunk) fn(e);
        WriteSpilled(first, n, chunk.data());
        if (afterChunk_) afterChunk_();
    }
    for (EntryRecord& e : tail_) fn(e);
    if (afterChunk_) afterChunk_();
}

}  // namespace pkzip
