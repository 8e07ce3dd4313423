// Buffered sequential writer for the new archive. Besides appending it can
// rewrite bytes already written (a local header once its entry's size and CRC
// are known) and step back to drop an entry that failed half-way.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace pkzip {

struct WriteError : std::runtime_error {
    explicit WriteError(const std::string& what) : std::runtime_error(what) {}
};

class OutFile {
  public:
    explicit OutFile(int fd);
    OutFile(const OutFile&) = delete;
    OutFile& operator=(const OutFile&) = delete;

    void Write(const void* data, size_t n);
    void Write(const std::string& s) { Write(s.data(), s.size()); }
    uint64_t Tell() const { return bufferStart_ + buffer_.size(); }
    // Appends `length` bytes of `fd` from `offset`, in the kernel where it can.
    void CopyFrom(int fd, uint64_t offset, uint64_t length);
    void Patch(uint64_t offset, const std::string& bytes);
    void Rollback(uint64_t offset);
    // Writes out the buffer, cuts the file at the current position and syncs it.
    void Finish();

  private:
    void Flush();
    int fd_;
    uint64_t bufferStart_ = 0;
    std::vector<char> buffer_;
};

}  // namespace pkzip
