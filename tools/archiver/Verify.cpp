#include "Verify.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "ZipReader.h"

namespace pkzip {
namespace {

constexpr size_t kBuffer = 1 << 18;

uint32_t Get16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}
uint32_t Get32(const unsigned char* p) {
    return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16);
}

bool PReadAll(int fd, unsigned char* buf, size_t n, uint64_t off) {
    while (n > 0) {
        const ssize_t r = ::pread(fd, buf, n, static_cast<off_t>(off));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        buf += r;
        n -= static_cast<size_t>(r);
        off += static_cast<uint64_t>(r);
    }
    return true;
}

// Reads one entry straight from the file, by its local header, and checks
// that its data inflates to the recorded size and CRC.
class EntryChecker {
  public:
    explicit EntryChecker(int fd)
        : fd_(fd), in_(new unsigned char[kBuffer]), out_(new unsigned char[kBuffer]) {
        inflateInit2(&zs_, -15);
    }
    ~EntryChecker() { inflateEnd(&zs_); }

    bool Check(const EntryRecord& e, std::string& error) {
        unsigned char h[30];
        if (!PReadAll(fd_, h, sizeof h, e.localOffset) || Get32(h) != 0x04034b50) {
            error = "no local header where the entry should start";
            return false;
        }
        const uint32_t nameLen = Get16(h + 26);
        const uint32_t extraLen = Get16(h + 28);
        std::string name(nameLen, '\0');
        if (Get16(h + 8) != e.method || nameLen != e.name.size() ||
            !PReadAll(fd_, reinterpret_cast<unsigned char*>(name.data()), nameLen,
                      e.localOffset + 30) ||
            name != e.name) {
            error = "local header does not match";
            return false;
        }
        uint64_t pos = e.localOffset + 30 + nameLen + extraLen;
        uint64_t left = e.compSize;
        uLong crc = 0;
        uint64_t size = 0;
        if (e.method == kMethodStore) {
            while (left > 0) {
                const size_t n = static_cast<size_t>(std::min<uint64_t>(left, kBuffer));
                if (!PReadAll(fd_, in_.get(), n, pos)) return Fail(error, "unexpected end of file");
                crc = crc32_z(crc, in_.get(), n);
                size += n;
                pos += n;
                left -= n;
            }
        } else if (e.method == kMethodDeflate) {
            inflateReset(&zs_);
            // Input may be used up while output is still pending (the buffer
            // filled in the middle of the last match): go on calling inflate
            // until it reports the end or can make no more progress.
            for (;;) {
                if (zs_.avail_in == 0 && left > 0) {
                    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, kBuffer));
                    if (!PReadAll(fd_, in_.get(), n, pos))
                        return Fail(error, "unexpected end of file");
                    pos += n;
                    left -= n;
                    zs_.next_in = in_.get();
                    zs_.avail_in = static_cast<uInt>(n);
                }
                zs_.next_out = out_.get();
                zs_.avail_out = kBuffer;
                const int rc = inflate(&zs_, Z_NO_FLUSH);
                const size_t produced = kBuffer - zs_.avail_out;
                crc = crc32_z(crc, out_.get(), produced);
                size += produced;
                if (rc == Z_STREAM_END) break;
                if (rc == Z_BUF_ERROR) return Fail(error, "deflate data ends early");
                if (rc != Z_OK) return Fail(error, "deflate data is damaged");
            }
            if (left != 0 || zs_.avail_in != 0) return Fail(error, "deflate data ends early");
        } else {
            return true;  // carried over unchanged in a method we do not decode; CRC unchecked
        }
        if (size != e.size || crc != e.crc) return Fail(error, "CRC check failed");
        return true;
    }

  private:
    static bool Fail(std::string& error, const char* text) {
        error = text;
        return false;
    }
    int fd_;
    z_stream zs_{};
    std::unique_ptr<unsigned char[]> in_;
    std::unique_ptr<unsigned char[]> out_;
};

}  // namespace

bool VerifyArchive(const std::string& path, const std::vector<EntryRecord>& expected,
                   const std::string& comment, unsigned threads, std::string& error) {
    // The directory as a standard reader sees it: every name, in order, the
    // comment, and local headers consistent with the central ones.
    {
        ZipReader zr;
        if (!zr.Open(path, error, true)) return false;
        if (zr.Count() != expected.size()) {
            error = "the entry count read back differs from the count written";
            return false;
        }
        if (zr.Comment() != comment) {
            error = "the comment read back differs from the header";
            return false;
        }
        for (uint64_t i = 0; i < expected.size(); ++i) {
            const char* name = zip_get_name(zr.Handle(), i, ZIP_FL_ENC_RAW);
            if (!name || expected[i].name != name) {
                error = "entry " + std::to_string(i) + " has the wrong name";
                return false;
            }
        }
    }

    // Then every entry's data, on all cores.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    std::atomic<size_t> nextIndex{0};
    std::atomic<bool> failed{false};
    std::mutex errorMutex;
    auto run = [&] {
        EntryChecker checker(fd);
        while (!failed) {
            const size_t i = nextIndex++;
            if (i >= expected.size()) return;
            std::string e;
            if (!checker.Check(expected[i], e)) {
                std::lock_guard<std::mutex> lock(errorMutex);
                if (!failed.exchange(true)) {
                    error = "entry " + std::to_string(i) + " (" + expected[i].name + "): " + e;
                }
                return;
            }
        }
    };
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < threads && expected.size() > 1; ++t) {
        try {
            workers.emplace_back(run);
        } catch (const std::system_error&) {
            break;  // fewer threads: this one checks the rest
        }
    }
    run();
    for (std::thread& w : workers) w.join();
    ::close(fd);
    return !failed;
}

}  // namespace pkzip
