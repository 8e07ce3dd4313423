#include "OutFile.h"

#include <unistd.h>

#include <string>
#include <vector>

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

void OutFile::CopyFrom(int fd, uint64_t offset, uint64_t length) {
    Flush();
    auto in = static_cast<loff_t>(offset);
    auto out = static_cast<loff_t>(bufferStart_);
    bool kernel = true;
    std::vector<char> buf;
    while (length > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(length, 1 << 30));
        ssize_t n = -1;
        if (kernel) {
            n = ::copy_file_range(fd, &in, fd_, &out, want, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                          errno == EOPNOTSUPP || errno == EBADF)) {
                kernel = false;
                continue;
            }
            if (n < 0) throw WriteError(WriteErrorText(errno));
        } else {
            if (buf.empty()) buf.resize(kBufferSize);
            n = ::pread(fd, buf.data(), std::min(want, buf.size()), in);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0)
                throw WriteError(std::string("reading the old archive: ") + std::strerror(errno));
            if (n > 0)
                PWriteAll(fd_, buf.data(), static_cast<size_t>(n), static_cast<uint64_t>(out));
            in += n;
            out += n;
        }
        if (n == 0) throw WriteError("the old archive ends early");
        length -= static_cast<uint64_t>(n);
    }
    bufferStart_ = static_cast<uint64_t>(out);
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
