// Reads a list file (one path per line, CR LF or LF ended, empty lines
// skipped) a block at a time, so that a million paths never sit in memory
// at once; and a store for the few paths that must stay.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Os.h"

namespace pkzip {

class ListStream {
  public:
    ListStream() = default;
    ~ListStream();
    ListStream(const ListStream&) = delete;
    ListStream& operator=(const ListStream&) = delete;

    // False with `error` when the file cannot be opened.
    bool Open(const std::string& path, std::string& error);
    // Back to the first line.
    bool Rewind(std::string& error);
    // Up to `most` further paths into `out` (cleared first), each followed
    // by a NUL; they stay valid until the next call. False at the end, or
    // with `error` set when the file cannot be read.
    bool Next(size_t most, std::vector<std::string_view>& out, std::string& error);
    // An upper bound of the paths in the whole file (its line ends, plus one).
    size_t CountLines(std::string& error);

  private:
    static constexpr size_t kBlock = 1u << 20;
    bool Fill(std::string& error);

    os::Handle file_ = os::kNoHandle;
    std::string buf_;  // [pos_, size()) not handed out yet
    size_t pos_ = 0;
    bool atEnd_ = false;
};

// Copies of paths kept to the end of the run, in blocks that never move, so
// that views of them stay valid.
class TextArena {
  public:
    // The copy, followed by a NUL.
    std::string_view Keep(std::string_view text);

  private:
    static constexpr size_t kBlock = 1u << 20;
    std::vector<std::unique_ptr<char[]>> blocks_;
    size_t used_ = 0;  // of the last block
    size_t size_ = 0;  // of the last block
};

}  // namespace pkzip
