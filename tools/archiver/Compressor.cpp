#include "Compressor.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>

#include "ZipFormat.h"

namespace pkzip {
namespace {

constexpr size_t kPieceSize = 1 << 20;
constexpr size_t kWindow = 32 << 10;
constexpr size_t kMaxBytesInFlight = 48 << 20;
constexpr size_t kMaxPiecesInFlight = 256;
// Files this large at the start get Zip64 size fields in their local header
// from the outset; the margin covers deflate's worst-case growth.
constexpr uint64_t kZip64Reserve = 0xFF000000u;

// Reads up to `want` bytes; returns the count, or -1 with errno set.
ssize_t ReadFull(int fd, unsigned char* buf, size_t want) {
    size_t got = 0;
    while (got < want) {
        const ssize_t n = ::read(fd, buf + got, want - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// Fills `p.in` with the next piece of the file, in whole pieces up to the
// size seen at open: a file that grows while it is read (a log) cannot hold
// the run, and one that shrinks ends early. A file whose size says 0 may be a
// pseudo file (/proc) that cannot tell: it is read to its end. On failure the
// piece becomes the file's last, carrying the reason, and the entry will be
// dropped.
bool ReadPiece(int fd, Piece& p, uint64_t& total, uint64_t expected, bool reserved, bool& eof) {
    size_t want = kPieceSize;
    if (expected > 0) want = static_cast<size_t>(std::min<uint64_t>(kPieceSize, expected - total));
    p.in.resize(want);
    const ssize_t n = want == 0 ? 0 : ReadFull(fd, p.in.data(), want);
    if (n < 0) {
        p.error = std::string("read error: ") + std::strerror(errno);
    } else {
        total += static_cast<uint64_t>(n);
        if (!reserved && total >= kZip64Reserve) {
            p.error = "the file grew past 4 GiB while it was being read";
        }
    }
    if (!p.error.empty()) {
        p.in.clear();
        p.last = true;
        return false;
    }
    p.in.resize(static_cast<size_t>(n));
    eof = static_cast<size_t>(n) < want || want == 0 || (expected > 0 && total == expected);
    return true;
}

// Compares what was read with the size at open and now. A file whose size
// stays 0 is a pseudo file that cannot tell its size; that is no change.
// A file that grew is stored as it was at open.
std::string SizeChange(int fd, uint64_t atOpen, uint64_t read) {
    struct stat now {};
    if (::fstat(fd, &now) != 0) return {};
    const auto atEnd = static_cast<uint64_t>(now.st_size);
    if (atOpen == atEnd && (atEnd == read || atEnd == 0)) return {};
    return "its size changed while it was read (" + std::to_string(atOpen) +
           " bytes at the start, " + std::to_string(atEnd) + " at the end, " +
           std::to_string(read) + " stored)";
}
}  // namespace

Compressor::Compressor(const std::vector<SourceFile>& files, int level, unsigned threads)
    : files_(files), level_(level) {
    if (threads < 1) threads = 1;
    // A thread that cannot be created (a process limit) means fewer workers;
    // with no reader or no worker at all, the run cannot go on.
    std::string failure;
    try {
        threads_.emplace_back(&Compressor::Produce, this);
        for (unsigned i = 0; i < threads; ++i) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                ++liveWorkers_;
            }
            try {
                threads_.emplace_back(&Compressor::Work, this);
            } catch (...) {
                std::lock_guard<std::mutex> lock(mutex_);
                --liveWorkers_;
                throw;
            }
        }
        return;
    } catch (const std::system_error& e) {
        failure = e.what();
    }
    if (threads_.size() > 1) return;  // the reader and at least one worker run
    StopAndJoin();
    throw std::runtime_error("cannot start a thread: " + failure);
}

void Compressor::StopAndJoin() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
    threads_.clear();
}

Compressor::~Compressor() {
    StopAndJoin();
}

bool Compressor::Submit(std::unique_ptr<Piece> p) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] {
        return stop_ || ordered_.empty() ||
               (bytesInFlight_ + p->in.size() <= kMaxBytesInFlight &&
                ordered_.size() < kMaxPiecesInFlight);
    });
    if (stop_) return false;
    bytesInFlight_ += p->in.size();
    if (p->error.empty() && liveWorkers_ == 0) p->error = setupFailure_;
    if (p->error.empty() && !(p->first && p->last && p->in.empty())) {
        todo_.push_back(p.get());
    } else {
        p->ready = true;  // nothing to compute
    }
    ordered_.push_back(std::move(p));
    lock.unlock();
    changed_.notify_all();
    return true;
}

// Opens one file and hands its pieces on in order. Returns false once the
// run stops (a write error or the end of the writer), so no more is read.
bool Compressor::ProduceFile(size_t i) {
    auto first = std::make_unique<Piece>();
    first->file = i;
    first->first = true;
    first->last = true;
    const int fd = ::open(files_[i].path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        first->error = std::strerror(errno);
        return Submit(std::move(first));
    }
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &first->st) != 0) {
        first->error = std::strerror(errno);
        return Submit(std::move(first));
    }
    if (S_ISDIR(first->st.st_mode)) return Submit(std::move(first));
    if (!S_ISREG(first->st.st_mode)) {
        first->error = "not a regular file";
        return Submit(std::move(first));
    }
    first->last = false;
    ::fcntl(fd, F_SETFL, 0);
    first->reserveZip64 = static_cast<uint64_t>(first->st.st_size) >= kZip64Reserve;
    const bool reserve = first->reserveZip64;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    // One piece is read ahead so that the last one is known as such.
    const auto expected = static_cast<uint64_t>(first->st.st_size);
    std::unique_ptr<Piece> cur = std::move(first);
    uint64_t total = 0;
    bool eof = false;
    std::vector<unsigned char> tail;  // last window of the previous piece
    if (!ReadPiece(fd, *cur, total, expected, reserve, eof)) return Submit(std::move(cur));
    for (;;) {
        cur->dict = tail;
        if (eof) {
            cur->last = true;
            cur->warning = SizeChange(fd, expected, total);
            return Submit(std::move(cur));
        }
        auto next = std::make_unique<Piece>();
        next->file = i;
        const bool ok = ReadPiece(fd, *next, total, expected, reserve, eof);
        cur->last = ok && next->in.empty();
        if (cur->last) cur->warning = SizeChange(fd, expected, total);
        if (cur->in.size() >= kWindow) {
            tail.assign(cur->in.end() - static_cast<ptrdiff_t>(kWindow), cur->in.end());
        } else {
            tail.insert(tail.end(), cur->in.begin(), cur->in.end());
            if (tail.size() > kWindow) tail.erase(tail.begin(), tail.end() - kWindow);
        }
        const bool wasLast = cur->last;
        if (!Submit(std::move(cur))) return false;
        if (wasLast) return true;
        cur = std::move(next);
        if (!ok) return Submit(std::move(cur));
    }
}

void Compressor::Produce() {
    for (size_t i = 0; i < files_.size(); ++i) {
        if (!ProduceFile(i)) break;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    producerDone_ = true;
    changed_.notify_all();
}

}  // namespace pkzip

namespace pkzip {

void Compressor::Work() {
    z_stream zs{};
    if (level_ > 0) {
        const int rc = deflateInit2(&zs, level_, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        if (rc != Z_OK) {
            Retire(rc == Z_MEM_ERROR ? "out of memory" : "error " + std::to_string(rc));
            return;
        }
    }
    for (;;) {
        Piece* p = nullptr;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_ || !todo_.empty() || producerDone_; });
            if (stop_) break;
            if (todo_.empty()) {
                if (producerDone_) break;
                continue;
            }
            p = todo_.front();
            todo_.pop_front();
        }
        p->crc = static_cast<uint32_t>(crc32_z(0, p->in.data(), p->in.size()));
        if (level_ > 0) Compress(*p, &zs);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            p->ready = true;
        }
        changed_.notify_all();
    }
    if (level_ > 0) deflateEnd(&zs);
}

// A worker whose compressor could not be set up takes no pieces; the others
// do its share. When none is left, every piece still waiting fails with the
// reason, so the run ends with it instead of waiting.
void Compressor::Retire(const std::string& why) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        --liveWorkers_;
        if (liveWorkers_ == 0) {
            setupFailure_ = "the compressor could not be set up: " + why;
            for (Piece* p : todo_) {
                p->error = setupFailure_;
                p->ready = true;
            }
            todo_.clear();
        }
    }
    changed_.notify_all();
}

void Compressor::Compress(Piece& p, void* stream) {
    auto* zs = static_cast<z_stream*>(stream);
    deflateReset(zs);
    if (!p.dict.empty()) {
        deflateSetDictionary(zs, p.dict.data(), static_cast<uInt>(p.dict.size()));
    }
    p.out.resize(deflateBound(zs, static_cast<uLong>(p.in.size())) + 64);
    zs->next_in = p.in.data();
    zs->avail_in = static_cast<uInt>(p.in.size());
    size_t produced = 0;
    const int flush = p.last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
        zs->next_out = p.out.data() + produced;
        zs->avail_out = static_cast<uInt>(p.out.size() - produced);
        const int rc = deflate(zs, flush);
        produced = p.out.size() - zs->avail_out;
        if (rc == Z_STREAM_END ||
            (flush == Z_SYNC_FLUSH && zs->avail_in == 0 && zs->avail_out > 0)) {
            break;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            p.error = "compression failed";
            break;
        }
        p.out.resize(p.out.size() * 2);
    }
    p.out.resize(produced);
}

std::unique_ptr<Piece> Compressor::Next() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] {
        return (!ordered_.empty() && ordered_.front()->ready) ||
               (ordered_.empty() && producerDone_);
    });
    if (ordered_.empty()) return nullptr;
    std::unique_ptr<Piece> p = std::move(ordered_.front());
    ordered_.pop_front();
    bytesInFlight_ -= p->in.size();
    lock.unlock();
    changed_.notify_all();
    return p;
}

}  // namespace pkzip
