// Builds one deflate stream from pieces compressed independently (libdeflate
// works on whole buffers and always ends with a final block): each piece's
// final-block bit is cleared and an empty stored block brings it to a byte
// boundary, so the next piece simply follows. A piece that does not shrink
// goes in as stored blocks. Each worker owns one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct libdeflate_compressor;

namespace pkzip {

class DeflateJoin {
  public:
    // Level 1..12 of libdeflate. Throws std::bad_alloc when it cannot be set up.
    explicit DeflateJoin(int level);
    ~DeflateJoin();
    DeflateJoin(const DeflateJoin&) = delete;
    DeflateJoin& operator=(const DeflateJoin&) = delete;

    // Deflates `in` onto the end of `out`; `final` ends the stream. Returns
    // true when it went in as stored blocks: deflated it would not shrink.
    bool Append(const unsigned char* in, size_t n, bool final, std::vector<unsigned char>& out);

  private:
    void AppendStored(const unsigned char* in, size_t n, bool final,
                      std::vector<unsigned char>& out);
    bool AppendCompressed(const unsigned char* in, size_t n, bool final,
                          std::vector<unsigned char>& out);
    libdeflate_compressor* compressor_;
    void* inflater_;  // z_stream that finds the last block's header
    std::vector<unsigned char> window_;
};

}  // namespace pkzip
