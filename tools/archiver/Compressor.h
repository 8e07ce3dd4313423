// Reads the files to store and deflates them on all cores, handing the pieces
// back in file order. Most files are read and compressed whole; a large file
// is cut into pieces that are compressed independently and joined on a byte
// boundary (DeflateJoin), so the result is one ordinary deflate stream, and
// memory stays bounded whatever the file sizes.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Os.h"
#include "crypto/Aes2Entry.h"
#include "crypto/KeyCache.h"
#include "crypto/Password.h"

namespace pkzip {

struct SourceFile {
    std::string_view path;  // as listed, followed by a NUL
    std::string_view name;  // as stored
    bool replacing = false;
};

struct Piece {
    size_t file = 0;
    bool first = false;
    bool last = false;
    std::string error;       // the file could not be opened or read: no entry for it
    std::string warning;     // on the last piece: the file changed while it was read
    bool rewritten = false;  // on a large file's last piece: written to in place meanwhile
    os::FileInfo st;         // on the first piece
    bool reserveZip64 = false;
    std::vector<unsigned char> in;
    std::vector<unsigned char> out;  // deflated (empty at level 0)
    bool allStored = false;          // `out` holds only stored blocks: it did not shrink
    uint32_t crc = 0;                // of `in`
    bool ready = false;
    // A file read whole, encrypted by the worker: `in` (stored) or `out`
    // (deflated) holds the encrypted data, to go between aesHead and aesMac.
    bool sealed = false;
    bool sealedStored = false;
    std::array<unsigned char, crypto::Aes2Encryptor::kHeadSize> aesHead{};
    std::array<unsigned char, crypto::kMacSize> aesMac{};
};

// Files this large at the start get Zip64 size fields in their local header
// from the outset; the margin covers deflate's worst-case growth.
constexpr uint64_t kZip64Reserve = 0xFF000000u;

// libdeflate's level for one of the archiver's levels 0..9.
int CompressorLevel(int level);

class Compressor {
  public:
    // Throws std::runtime_error when not even one worker and the reader can be
    // started. With a password, the workers also encrypt every file read
    // whole, adding its keys to `keys`.
    Compressor(const std::vector<SourceFile>& files, int level, unsigned threads,
               const crypto::Password* password = nullptr, crypto::KeyCache* keys = nullptr);
    ~Compressor();
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    // The next piece in order, or null when all files are done.
    std::unique_ptr<Piece> Next();

  private:
    void Produce();
    void Work();
    bool Submit(std::unique_ptr<Piece> p);
    bool FlushPending();
    bool ProduceFile(size_t i);
    void Retire(const std::string& why);
    void StopAndJoin();
    void Seal(Piece& p) const;

    const std::vector<SourceFile>& files_;
    int level_;
    const crypto::Password* password_;
    crypto::KeyCache* keys_;
    std::mutex mutex_;
    std::condition_variable workCv_;   // workers: a piece to compress
    std::condition_variable spaceCv_;  // reader: room for another piece
    std::condition_variable readyCv_;  // writer: the next piece in order is ready
    std::deque<std::unique_ptr<Piece>> ordered_;
    std::deque<Piece*> todo_;
    std::vector<std::unique_ptr<Piece>> pending_;  // the reader's, not yet handed on
    size_t pendingBytes_ = 0;
    std::deque<std::unique_ptr<Piece>> taken_;  // the writer's, taken but not yet asked for
    size_t bytesInFlight_ = 0;
    bool producerDone_ = false;
    bool stop_ = false;
    unsigned liveWorkers_ = 0;
    std::string setupFailure_;
    std::vector<std::thread> threads_;
};

}  // namespace pkzip
