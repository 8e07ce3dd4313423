// Reading archives through libzip: opening with clear failure texts, and what
// we need to know of each entry.
#pragma once

#include <zip.h>

#include <cstdint>
#include <string>

namespace pkzip {

struct EntryInfo {
    uint64_t index = 0;
    std::string name;  // raw bytes as stored
    uint64_t size = 0;
    uint64_t compSize = 0;
    uint32_t crc = 0;
    uint16_t method = 0;
    bool encrypted = false;
    int64_t mtime = 0;  // from the extended timestamp if present, else the DOS time
    bool hasUnixTime = false;
    uint32_t externalAttrs = 0;
    bool hasUnixMode = false;
    uint32_t unixMode = 0;  // type and permission bits, when made on Unix
    bool isDir = false;
    bool isSymlink = false;
    bool isSpecial = false;  // device, fifo, socket
    bool isHeader = false;   // our own header entry
};

class ZipReader {
  public:
    ZipReader() = default;
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // Fails with a readable reason for a missing, empty, non-regular or
    // damaged archive.
    bool Open(const std::string& path, std::string& error, bool checkConsistency = false);
    zip_t* Handle() const { return zip_; }
    uint64_t Count() const;
    bool Info(uint64_t index, EntryInfo& out, std::string& error) const;
    std::string Comment() const;
    // The stored header: the header entry's content when the archive has one,
    // otherwise the comment.
    bool Header(std::string& out, std::string& error) const;

  private:
    zip_t* zip_ = nullptr;
};

std::string ZipErrorText(int code);
std::string ZipErrorText(zip_t* archive);
std::string ZipFileErrorText(zip_file_t* file);

}  // namespace pkzip
