#include "DeflateJoin.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <new>

namespace pkzip {
namespace {

constexpr size_t kStoredBlock = 65535;

}  // namespace

DeflateJoin::DeflateJoin(int level) : compressor_(libdeflate_alloc_compressor(level)) {
    auto* zs = new z_stream{};
    inflater_ = zs;
    if (!compressor_ || inflateInit2(zs, -15) != Z_OK) {
        libdeflate_free_compressor(compressor_);
        delete zs;
        throw std::bad_alloc();
    }
    window_.resize(64 << 10);
}

DeflateJoin::~DeflateJoin() {
    auto* zs = static_cast<z_stream*>(inflater_);
    inflateEnd(zs);
    delete zs;
    libdeflate_free_compressor(compressor_);
}

void DeflateJoin::AppendStored(const unsigned char* in, size_t n, bool final,
                               std::vector<unsigned char>& out) {
    do {
        const size_t len = std::min(n, kStoredBlock);
        const bool last = final && len == n;
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<unsigned char>(len & 0xFF));
        out.push_back(static_cast<unsigned char>(len >> 8));
        out.push_back(static_cast<unsigned char>(~len & 0xFF));
        out.push_back(static_cast<unsigned char>((~len >> 8) & 0xFF));
        out.insert(out.end(), in, in + len);
        in += len;
        n -= len;
    } while (n > 0);
}

bool DeflateJoin::AppendCompressed(const unsigned char* in, size_t n, bool final,
                                   std::vector<unsigned char>& out) {
    const size_t start = out.size();
    const size_t room = n + 16;  // beyond this, storing is as good
    out.resize(start + room);
    const size_t got =
        libdeflate_deflate_compress(compressor_, in, n, out.data() + start, room - 8);
    out.resize(start + got);
    if (got == 0) return false;
    if (final) return true;

    // Find the bit where the last block's header starts, and where it ends.
    auto* zs = static_cast<z_stream*>(inflater_);
    inflateReset(zs);
    zs->next_in = out.data() + start;
    zs->avail_in = static_cast<uInt>(got);
    uint64_t lastHeader = 0, endBits = 0;
    for (;;) {
        zs->next_out = window_.data();
        zs->avail_out = static_cast<uInt>(window_.size());
        const int rc = inflate(zs, Z_BLOCK);
        const uint64_t bits = (got - zs->avail_in) * 8 - (zs->data_type & 7);
        // At a block boundary (128): before a header, or (64) just after the
        // last block's end code, before the stream's end rounds to a byte.
        if (zs->data_type & 128) {
            if (zs->data_type & 64) {
                endBits = bits;
            } else {
                lastHeader = bits;
            }
        }
        if (rc == Z_STREAM_END) break;
        if (rc != Z_OK) {  // cannot happen with our own output; store instead
            out.resize(start);
            return false;
        }
    }
    unsigned char* s = out.data() + start;
    s[lastHeader / 8] &= static_cast<unsigned char>(~(1u << (lastHeader % 8)));
    // An empty stored block (3 header bits, then to the byte boundary) after
    // the end of the block: what a sync flush writes.
    out.resize(start + (endBits + 7) / 8);
    s = out.data() + start;
    if (endBits % 8) s[endBits / 8] &= static_cast<unsigned char>((1u << (endBits % 8)) - 1);
    if (endBits % 8 == 0 || endBits % 8 > 5) out.push_back(0);
    for (const int b : {0x00, 0x00, 0xFF, 0xFF}) out.push_back(static_cast<unsigned char>(b));
    return true;
}

bool DeflateJoin::Append(const unsigned char* in, size_t n, bool final,
                         std::vector<unsigned char>& out) {
    if (n == 0) {
        if (final) AppendStored(in, 0, true, out);
        return true;
    }
    // The whole piece is deflated: libdeflate mixes stored blocks in where
    // parts do not compress, and fails when the whole would not shrink, so a
    // piece goes in stored only when nothing in it was worth compressing.
    if (AppendCompressed(in, n, final, out)) return false;
    AppendStored(in, n, final, out);
    return true;
}

}  // namespace pkzip
