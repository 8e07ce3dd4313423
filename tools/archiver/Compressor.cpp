#include "Compressor.h"

#include <libdeflate.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <system_error>

#include "DeflateJoin.h"
#include "ReadChange.h"
#include "ZipFormat.h"

namespace pkzip {
namespace {

// A file up to kWholeFile is read and compressed as one piece (most files);
// larger ones in pieces of kPieceSize, compressed on all cores.
constexpr size_t kWholeFile = 8 << 20;
constexpr size_t kPieceSize = 4 << 20;
constexpr size_t kMaxBytesInFlight = 64 << 20;
constexpr size_t kMaxPiecesInFlight = 1024;
constexpr size_t kMaxBatch = 64;
constexpr size_t kBatchBytes = 512 << 10;
constexpr size_t kSubmitBatch = 16;

// Reads up to `want` bytes; returns the count, or -1 (os::LastError() tells why).
int64_t ReadFull(os::Handle fd, unsigned char* buf, size_t want) {
    size_t got = 0;
    while (got < want) {
        const int64_t n = os::Read(fd, buf + got, want - got);
        if (n < 0) {
            if (os::LastError() == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(got);
}

// Fills `p.in` with the next piece of the file, in whole pieces up to the
// size seen at open: a file that grows while it is read (a log) cannot hold
// the run, and one that shrinks ends early. A file whose size says 0 may be a
// pseudo file (/proc) that cannot tell: it is read to its end. On failure the
// piece becomes the file's last, carrying the reason, and the entry will be
// dropped. `sizeSeen` tells that the read itself showed the file ending at
// the size seen at open.
bool ReadPiece(os::Handle fd, Piece& p, uint64_t& total, uint64_t expected, bool reserved,
               bool& eof, bool& sizeSeen) {
    size_t want =
        expected > 0 && expected <= kWholeFile ? static_cast<size_t>(expected) : kPieceSize;
    if (expected > 0) want = static_cast<size_t>(std::min<uint64_t>(want, expected - total));
    int64_t n = 0;
    if (total == 0 && want > 0 && want == expected) {
        // A whole file is asked for with a byte to spare: a regular file's
        // read comes back short only at its end.
        p.in.resize(want + 1);
        do {
            n = os::Read(fd, p.in.data(), want + 1);
        } while (n < 0 && os::LastError() == EINTR);
        sizeSeen = n == static_cast<int64_t>(want);
        if (n > static_cast<int64_t>(want)) {
            n = static_cast<int64_t>(want);  // it grew: stored as it was at open
        } else if (n >= 0 && !sizeSeen) {
            const int64_t more = ReadFull(fd, p.in.data() + n, want - static_cast<size_t>(n));
            n = more < 0 ? more : n + more;
        }
    } else {
        p.in.resize(want);
        if (want > 0) n = ReadFull(fd, p.in.data(), want);
    }
    if (n < 0) {
        p.error = std::string("read error: ") + os::ErrorText(os::LastError());
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

// A file read whole that changed under the read may be torn (rewritten in
// place): it is read again while it changes, up to kReadTries reads in all,
// and otherwise stored as last read with a warning.
constexpr int kReadTries = 3;

void SettleWholeFile(os::Handle fd, Piece& p, uint64_t& total, bool reserve, const char* path) {
    for (int reads = 1;; ++reads) {
        os::FileInfo now;
        if (!os::Stat(fd, now)) return;
        std::string change = ReadChange(p.st, now, total);
        if (change.empty()) return;
        // A pseudo file, or one no longer small enough to read whole, is not
        // read again.
        if (reads == kReadTries || now.size == 0 || now.size > kWholeFile || !os::Rewind(fd)) {
            p.warning = std::move(change);
            return;
        }
        p.st = now;
        total = 0;
        bool eof = false, sizeSeen = false;
        if (!ReadPiece(fd, p, total, now.size, reserve, eof, sizeSeen)) return;
        ChangeOnRead(fd, path);
    }
}

}  // namespace

// The archiver's levels 1..9 on libdeflate's 1..12, chosen by measurement on
// the benchmark's files so that each level is at most Info-ZIP's size at the
// same level, 1 is the fastest and 9 the smallest.
int CompressorLevel(int level) {
    // Levels 1 to 8 each a setting of their own. libdeflate's 5 came out
    // larger than its 4 and than zip -5 on text of few distinct words, and
    // its 6 larger than zip -6 there, so 5 to 7 take the next one up; its 8
    // is larger than its 7 on source text but still below zip -7; its 10
    // (near-optimal parsing) is the smallest that stays within twice zip -9's
    // time.
    static constexpr int kMap[10] = {0, 1, 2, 3, 4, 6, 7, 8, 10, 10};
    return kMap[std::clamp(level, 0, 9)];
}

Compressor::Compressor(const std::vector<SourceFile>& files, int level, unsigned threads,
                       const crypto::Password* password, crypto::KeyCache* keys)
    : files_(files), level_(level), password_(password), keys_(keys) {
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
    workCv_.notify_all();
    spaceCv_.notify_all();
    readyCv_.notify_all();
    for (std::thread& t : threads_) t.join();
    threads_.clear();
}

Compressor::~Compressor() {
    StopAndJoin();
}

// Small files are handed on several at a time: one lock and one wake-up for
// the batch, not one per file.
bool Compressor::Submit(std::unique_ptr<Piece> p) {
    const bool whole = p->first && p->last;
    pendingBytes_ += p->in.size();
    pending_.push_back(std::move(p));
    if (whole && pending_.size() < kSubmitBatch && pendingBytes_ < kBatchBytes) return true;
    return FlushPending();
}

bool Compressor::FlushPending() {
    if (pending_.empty()) return true;
    std::unique_lock<std::mutex> lock(mutex_);
    spaceCv_.wait(lock, [&] {
        return stop_ || ordered_.empty() ||
               (bytesInFlight_ + pendingBytes_ <= kMaxBytesInFlight &&
                ordered_.size() + pending_.size() <= kMaxPiecesInFlight);
    });
    if (stop_) return false;
    const bool front = ordered_.empty();
    size_t work = 0;
    for (std::unique_ptr<Piece>& p : pending_) {
        bytesInFlight_ += p->in.size();
        if (p->error.empty() && liveWorkers_ == 0) p->error = setupFailure_;
        // An empty file is only worked on to be encrypted.
        const bool empty = p->first && p->last && p->in.empty() &&
                           !(password_ && (p->st.type == os::FileType::File));
        if (p->error.empty() && !empty) {
            todo_.push_back(p.get());
            ++work;
        } else {
            p->ready = true;  // nothing to compute
        }
        ordered_.push_back(std::move(p));
    }
    const bool frontReady = front && ordered_.front()->ready;
    pending_.clear();
    pendingBytes_ = 0;
    lock.unlock();
    if (work > 1) {
        workCv_.notify_all();
    } else if (work == 1) {
        workCv_.notify_one();
    }
    if (frontReady) readyCv_.notify_one();
    return true;
}

// Opens one file and hands its pieces on in order. Returns false once the
// run stops (a write error or the end of the writer), so no more is read.
bool Compressor::ProduceFile(size_t i) {
    auto first = std::make_unique<Piece>();
    first->file = i;
    first->first = true;
    first->last = true;
    // A FIFO cannot hold the open; regular files read as usual.
    const os::Handle fd = os::Open(files_[i].path.data(), os::kRead | os::kSource);
    if (fd == os::kNoHandle) {
        first->error = os::ErrorText(os::LastError());
        return Submit(std::move(first));
    }
    struct FdCloser {
        os::Handle fd;
        ~FdCloser() { os::Close(fd); }
    } closer{fd};
    if (!os::Stat(fd, first->st)) {
        first->error = os::ErrorText(os::LastError());
        return Submit(std::move(first));
    }
    if ((first->st.type == os::FileType::Folder)) return Submit(std::move(first));
    if (!(first->st.type == os::FileType::File)) {
        first->error = "not a regular file";
        return Submit(std::move(first));
    }
    first->last = false;
    first->reserveZip64 = first->st.size >= kZip64Reserve;
    const bool reserve = first->reserveZip64;
    if (first->st.size > kWholeFile) os::WillReadThrough(fd);

    // One piece is read ahead so that the last one is known as such.
    const uint64_t expected = first->st.size;
    const os::FileInfo atOpen = first->st;
    const char* path = files_[i].path.data();
    std::unique_ptr<Piece> cur = std::move(first);
    uint64_t total = 0;
    bool eof = false, sizeSeen = false;
    // A large file's last piece says whether it changed; written to in place
    // (same size, new times), the writer reads it again.
    const auto markChange = [&](Piece& last) {
        os::FileInfo now;
        if (!os::Stat(fd, now)) return;
        last.warning = ReadChange(atOpen, now, total);
        last.rewritten = !last.warning.empty() && now.size == atOpen.size && total == expected;
    };
    if (!ReadPiece(fd, *cur, total, expected, reserve, eof, sizeSeen))
        return Submit(std::move(cur));
    ChangeOnRead(fd, path);
    for (;;) {
        if (eof) {
            cur->last = true;
            if (cur->first) {
                SettleWholeFile(fd, *cur, total, reserve, path);
            } else {
                markChange(*cur);
            }
            return Submit(std::move(cur));
        }
        auto next = std::make_unique<Piece>();
        next->file = i;
        const bool ok = ReadPiece(fd, *next, total, expected, reserve, eof, sizeSeen);
        if (ok) ChangeOnRead(fd, path);
        cur->last = ok && next->in.empty();
        if (cur->last) markChange(*cur);
        const bool wasLast = cur->last;
        if (!Submit(std::move(cur))) return false;
        if (wasLast) return true;
        cur = std::move(next);
        if (!ok) return Submit(std::move(cur));
    }
}

void Compressor::Produce() {
    bool going = true;
    for (size_t i = 0; going && i < files_.size(); ++i) going = ProduceFile(i);
    if (going) FlushPending();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        producerDone_ = true;
    }
    workCv_.notify_all();
    readyCv_.notify_all();
}

}  // namespace pkzip

namespace pkzip {

void Compressor::Work() {
    std::unique_ptr<DeflateJoin> join;
    if (level_ > 0) {
        try {
            join = std::make_unique<DeflateJoin>(CompressorLevel(level_));
        } catch (const std::bad_alloc&) {
            Retire("out of memory");
            return;
        }
    }
    std::vector<Piece*> batch;
    for (;;) {
        batch.clear();
        {
            std::unique_lock<std::mutex> lock(mutex_);
            workCv_.wait(lock, [&] { return stop_ || !todo_.empty() || producerDone_; });
            if (stop_) break;
            if (todo_.empty()) {
                if (producerDone_) break;
                continue;
            }
            // Small files are taken several at a time (half of what waits, so
            // the other workers get their share): fewer hand-overs per file.
            const size_t most = std::clamp<size_t>(todo_.size() / 2, 1, kMaxBatch);
            size_t bytes = 0;
            while (!todo_.empty() && batch.size() < most &&
                   (batch.empty() || bytes + todo_.front()->in.size() <= kBatchBytes)) {
                bytes += todo_.front()->in.size();
                batch.push_back(todo_.front());
                todo_.pop_front();
            }
        }
        for (Piece* p : batch) {
            p->crc = static_cast<uint32_t>(libdeflate_crc32(0, p->in.data(), p->in.size()));
            if (join && !(p->first && p->last && p->in.empty())) {
                try {
                    p->out.clear();
                    p->allStored = join->Append(p->in.data(), p->in.size(), p->last, p->out);
                } catch (const std::bad_alloc&) {
                    p->error = "out of memory while compressing";
                }
            }
            if (password_ && p->first && p->last && p->error.empty()) Seal(*p);
        }
        bool frontReady;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (Piece* p : batch) p->ready = true;
            frontReady = !ordered_.empty() && ordered_.front()->ready;
        }
        if (frontReady) readyCv_.notify_one();  // only the front piece lets the writer on
    }
}

// A file read whole is encrypted here too, its key derived here (the
// derivation costs more than compressing a small file): stored or deflated
// as the writer will choose.
void Compressor::Seal(Piece& p) const {
    const bool store = level_ == 0 || p.out.size() >= p.in.size();
    std::vector<unsigned char>& data = store ? p.in : p.out;
    crypto::Aes2Encryptor enc;
    std::string error;
    if (!enc.Begin(password_->View(), error, keys_)) {
        p.error = error;
        return;
    }
    std::copy(enc.Head(), enc.Head() + p.aesHead.size(), p.aesHead.begin());
    enc.Encrypt(data.data(), data.size());
    if (!enc.Finish(p.aesMac.data())) {
        p.error = "the encryption failed";
        return;
    }
    p.sealed = true;
    p.sealedStored = store;
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
    readyCv_.notify_all();
}

std::unique_ptr<Piece> Compressor::Next() {
    if (taken_.empty()) {
        std::unique_lock<std::mutex> lock(mutex_);
        readyCv_.wait(lock, [&] {
            return (!ordered_.empty() && ordered_.front()->ready) ||
                   (ordered_.empty() && producerDone_);
        });
        if (ordered_.empty()) return nullptr;
        // The pieces ready at the front are taken at once, up to a batch's
        // bytes: what the writer holds is no longer counted in flight.
        size_t bytes = 0;
        while (!ordered_.empty() && ordered_.front()->ready &&
               (taken_.empty() || bytes + ordered_.front()->in.size() <= kBatchBytes)) {
            bytes += ordered_.front()->in.size();
            bytesInFlight_ -= ordered_.front()->in.size();
            taken_.push_back(std::move(ordered_.front()));
            ordered_.pop_front();
        }
        lock.unlock();
        spaceCv_.notify_one();
    }
    std::unique_ptr<Piece> p = std::move(taken_.front());
    taken_.pop_front();
    return p;
}

}  // namespace pkzip
