#include "AesRead.h"

#include <libdeflate.h>
#include <zlib.h>

#include <memory>
#include <vector>

#include "Aes2Entry.h"
#include "Reusable.h"
#include "ZipFormat.h"

namespace pkzip::crypto {
namespace {

constexpr const char* kNotAuthentic =
    "its authentication code does not match: the data was changed or damaged";

struct Inflater {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Inflater() { libdeflate_free_decompressor(d); }
};

// One per thread at work, and not kept large between entries.
struct Scratch {
    std::vector<unsigned char> in, out;
    void Trim() {
        if (in.capacity() > (8u << 20)) std::vector<unsigned char>().swap(in);
        if (out.capacity() > (8u << 20)) std::vector<unsigned char>().swap(out);
    }
};

ReadStatus InMemory(const ArchiveReader& reader, const ArchiveEntry& e, const AesField& f,
                    const DataLocation& loc, size_t head, Aes2Decryptor& dec,
                    const unsigned char* mac, bool exactLength, const DataSink& sink,
                    std::string& error) {
    static Reusable<Scratch> scratches;
    static Reusable<Inflater> inflaters;
    const Reusable<Scratch>::Lease lease(scratches);
    const Reusable<Inflater>::Lease inflater(inflaters);
    Scratch& buf = *lease;
    struct Trimmer {
        Scratch& s;
        ~Trimmer() { s.Trim(); }
    } trim{buf};
    const size_t len = static_cast<size_t>(e.compSize - head - kMacSize);
    const size_t size = static_cast<size_t>(e.size);
    buf.in.resize(len);
    std::string why;
    if (len > 0 && !reader.ReadRaw(loc, head, buf.in.data(), len, why)) {
        error = "its data is cut short (" + why + ")";
        return ReadStatus::Damaged;
    }
    dec.Decrypt(buf.in.data(), len);
    if (!dec.Finish(mac)) {
        error = kNotAuthentic;
        return ReadStatus::Damaged;
    }
    const unsigned char* data = buf.in.data();
    if (f.method == kMethodDeflate) {
        buf.out.resize(size);
        size_t used = 0, produced = 0;
        const libdeflate_result r = libdeflate_deflate_decompress_ex(
            inflater->d, buf.in.data(), len, buf.out.data(), size, &used, &produced);
        if (r != LIBDEFLATE_SUCCESS || produced != size) {
            error = "its compressed data is damaged";
            return ReadStatus::Damaged;
        }
        if (exactLength && used != len) {
            error = "its deflate stream ends before its recorded compressed size";
            return ReadStatus::Damaged;
        }
        data = buf.out.data();
    } else if (len != size) {
        error = "a stored entry whose sizes differ";
        return ReadStatus::Damaged;
    }
    if (f.vendorVersion == 1 && libdeflate_crc32(0, data, size) != e.crc) {
        error = "CRC check failed";
        return ReadStatus::Damaged;
    }
    return sink(data, size) ? ReadStatus::Ok : ReadStatus::SinkStopped;
}

ReadStatus Streaming(const ArchiveReader& reader, const ArchiveEntry& e, const AesField& f,
                     const DataLocation& loc, size_t head, Aes2Decryptor& dec,
                     const unsigned char* mac, bool exactLength, const DataSink& sink,
                     std::string& error) {
    constexpr size_t kPiece = 1 << 20;
    const uint64_t len = e.compSize - head - kMacSize;
    std::unique_ptr<unsigned char[]> in(new unsigned char[kPiece]);
    std::unique_ptr<unsigned char[]> out(new unsigned char[kPiece]);
    z_stream zs{};
    const bool deflated = f.method == kMethodDeflate;
    if (deflated && inflateInit2(&zs, -15) != Z_OK) {
        error = "out of memory";
        return ReadStatus::IoError;
    }
    struct End {
        z_stream* zs;
        ~End() {
            if (zs) inflateEnd(zs);
        }
    } end{deflated ? &zs : nullptr};
    uint32_t crc = 0;
    uint64_t produced = 0;
    bool streamEnded = !deflated;
    std::string why;
    for (uint64_t done = 0; done < len;) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kPiece, len - done));
        if (!reader.ReadRaw(loc, head + done, in.get(), n, why)) {
            error = "its data is cut short (" + why + ")";
            return ReadStatus::Damaged;
        }
        done += n;
        dec.Decrypt(in.get(), n);
        if (!deflated) {
            crc = static_cast<uint32_t>(libdeflate_crc32(crc, in.get(), n));
            produced += n;
            if (produced > e.size) break;
            if (!sink(in.get(), n)) return ReadStatus::SinkStopped;
            continue;
        }
        zs.next_in = in.get();
        zs.avail_in = static_cast<uInt>(n);
        while (zs.avail_in > 0 && !streamEnded) {
            zs.next_out = out.get();
            zs.avail_out = kPiece;
            const int r = inflate(&zs, Z_NO_FLUSH);
            if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR) {
                error = "its compressed data is damaged";
                return ReadStatus::Damaged;
            }
            streamEnded = r == Z_STREAM_END;
            const size_t made = kPiece - zs.avail_out;
            crc = static_cast<uint32_t>(libdeflate_crc32(crc, out.get(), made));
            produced += made;
            if (produced > e.size) break;
            if (made > 0 && !sink(out.get(), made)) return ReadStatus::SinkStopped;
            if (r == Z_BUF_ERROR) break;
        }
        if (produced > e.size) break;
        if (streamEnded && (zs.avail_in > 0 || done < len) && exactLength) {
            error = "its deflate stream ends before its recorded compressed size";
            return ReadStatus::Damaged;
        }
    }
    if (produced > e.size) {
        error = "it holds more data than recorded";
        return ReadStatus::Damaged;
    }
    if (!dec.Finish(mac)) {
        error = kNotAuthentic;
        return ReadStatus::Damaged;
    }
    if (!streamEnded) {
        error = "its compressed data ends early";
        return ReadStatus::Damaged;
    }
    if (produced != e.size || (f.vendorVersion == 1 && crc != e.crc)) {
        error = "CRC or size check failed";
        return ReadStatus::Damaged;
    }
    return ReadStatus::Ok;
}

}  // namespace

ReadStatus ExtractAes(const ArchiveReader& reader, const ArchiveEntry& e, const Password* password,
                      const KeyCache* keys, bool exactLength, const DataSink& sink,
                      std::string& error) {
    AesField f;
    if (!FindAesField(e.extra, f)) {
        error = "its AES encryption field is missing or damaged";
        return ReadStatus::Damaged;
    }
    if (password == nullptr || password->Empty()) {
        error = "it is encrypted and needs a password";
        return ReadStatus::NeedsPassword;
    }
    if (f.method != kMethodStore && f.method != kMethodDeflate) {
        error = "compression method " + std::to_string(f.method) + " is not supported";
        return ReadStatus::Unsupported;
    }
    const size_t head = SaltSize(f.strength) + kVerifierSize;
    if (e.compSize < head + kMacSize) {
        error = "its encrypted data is cut short";
        return ReadStatus::Damaged;
    }
    DataLocation loc;
    const ReadStatus located = reader.Locate(e, loc, error);
    if (located != ReadStatus::Ok) return located;
    unsigned char salt[kMaxSalt + kVerifierSize];
    unsigned char mac[kMacSize];
    std::string why;
    if (!reader.ReadRaw(loc, 0, salt, head, why) ||
        !reader.ReadRaw(loc, e.compSize - kMacSize, mac, kMacSize, why)) {
        error = "its data is cut short (" + why + ")";
        return ReadStatus::Damaged;
    }
    Aes2Decryptor dec;
    switch (dec.Begin(password->View(), f.strength, salt, keys)) {
        case Aes2Decryptor::Start::Ok:
            break;
        case Aes2Decryptor::Start::WrongPassword:
            error = "the password is wrong";
            return ReadStatus::WrongPassword;
        case Aes2Decryptor::Start::Failed:
            error = "the decryption could not be set up";
            return ReadStatus::IoError;
    }
    if (reader.FitsInMemory(e))
        return InMemory(reader, e, f, loc, head, dec, mac, exactLength, sink, error);
    return Streaming(reader, e, f, loc, head, dec, mac, exactLength, sink, error);
}

}  // namespace pkzip::crypto
