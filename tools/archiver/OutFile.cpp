#include "OutFile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace pkzip {
namespace {

constexpr size_t kBufferSize = 4 << 20;

std::string WriteErrorText(int err) {
    if (err == EFBIG) {
        return "the file became too large (the size limit of the file system or of this process)";
    }
    return std::strerror(err);
}

void PWriteAll(int fd, const char* p, size_t n, uint64_t off) {
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, p, n, static_cast<off_t>(off));
        if (w < 0) {
            if (errno == EINTR) continue;
            throw WriteError(WriteErrorText(errno));
        }
        p += w;
        n -= static_cast<size_t>(w);
        off += static_cast<uint64_t>(w);
    }
}

}  // namespace

OutFile::OutFile(int fd) : fd_(fd) {
    buffer_.reserve(kBufferSize);
}

void OutFile::Write(const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    if (buffer_.size() + n > kBufferSize) {
        Flush();
        if (n >= kBufferSize) {
            PWriteAll(fd_, p, n, bufferStart_);
            bufferStart_ += n;
            return;
        }
    }
    buffer_.insert(buffer_.end(), p, p + n);
}

void OutFile::Flush() {
    if (buffer_.empty()) return;
    PWriteAll(fd_, buffer_.data(), buffer_.size(), bufferStart_);
    bufferStart_ += buffer_.size();
    buffer_.clear();
}

void OutFile::Patch(uint64_t offset, const std::string& bytes) {
    size_t done = 0;
    if (offset < bufferStart_) {
        const size_t before =
            static_cast<size_t>(std::min<uint64_t>(bytes.size(), bufferStart_ - offset));
        PWriteAll(fd_, bytes.data(), before, offset);
        done = before;
    }
    if (done < bytes.size()) {
        const size_t at = static_cast<size_t>(offset + done - bufferStart_);
        std::memcpy(buffer_.data() + at, bytes.data() + done, bytes.size() - done);
    }
}

void OutFile::Rollback(uint64_t offset) {
    if (offset >= bufferStart_) {
        buffer_.resize(static_cast<size_t>(offset - bufferStart_));
    } else {
        buffer_.clear();
        bufferStart_ = offset;
    }
}

void OutFile::Finish() {
    Flush();
    if (::ftruncate(fd_, static_cast<off_t>(bufferStart_)) != 0 || ::fsync(fd_) != 0) {
        throw WriteError(WriteErrorText(errno));
    }
}

}  // namespace pkzip
