#include "ListStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Os.h"

namespace pkzip {

ListStream::~ListStream() {
    os::Close(file_);
}

bool ListStream::Open(const std::string& path, std::string& error) {
    file_ = os::Open(path, os::kRead | os::kSource);
    if (file_ == os::kNoHandle) {
        error = os::ErrorText(os::LastError());
        return false;
    }
    return true;
}

bool ListStream::Rewind(std::string& error) {
    buf_.clear();
    pos_ = 0;
    atEnd_ = false;
    if (!os::Rewind(file_)) {
        error = os::ErrorText(os::LastError());
        return false;
    }
    return true;
}

// Reads one more block after what is left; a last line without its end gets one.
bool ListStream::Fill(std::string& error) {
    buf_.erase(0, pos_);
    pos_ = 0;
    const size_t have = buf_.size();
    buf_.resize(have + kBlock);
    size_t n = 0;
    while (n < kBlock) {
        const int64_t got = os::Read(file_, buf_.data() + have + n, kBlock - n);
        if (got < 0 && os::LastError() == EINTR) continue;
        if (got < 0) {
            buf_.resize(have);
            error = "read error";
            return false;
        }
        if (got == 0) break;
        n += static_cast<size_t>(got);
    }
    buf_.resize(have + n);
    if (n == 0) {
        atEnd_ = true;
        if (!buf_.empty() && buf_.back() != '\n') buf_ += '\n';
    }
    return true;
}

bool ListStream::Next(size_t most, std::vector<std::string_view>& out, std::string& error) {
    out.clear();
    error.clear();
    // The views of the last call go now: what is left moves to the front.
    if (pos_ > 0 && !atEnd_) {
        buf_.erase(0, pos_);
        pos_ = 0;
    }
    while (out.size() < most) {
        const size_t end = buf_.find('\n', pos_);
        if (end == std::string::npos) {
            if (atEnd_) break;
            // Views handed out in this call must stay put: fill only when none are.
            if (!out.empty()) break;
            if (!Fill(error)) return false;
            continue;
        }
        size_t stop = end;
        if (stop > pos_ && buf_[stop - 1] == '\r') --stop;
        buf_[stop] = '\0';  // the NUL after the path, in place of its line end
        os::UsePortableSeparators(buf_.data() + pos_, buf_.data() + stop);
        if (stop > pos_) out.emplace_back(buf_.data() + pos_, stop - pos_);
        pos_ = end + 1;
    }
    if (out.empty()) std::string().swap(buf_);  // at the end: the block is not needed
    return !out.empty();
}

size_t ListStream::CountLines(std::string& error) {
    size_t lines = 1;
    char block[1 << 16];
    for (;;) {
        const int64_t n = os::Read(file_, block, sizeof block);
        if (n < 0 && os::LastError() == EINTR) continue;
        if (n < 0) error = "read error";
        if (n <= 0) break;
        for (const char* p = block;
             (p = static_cast<const char*>(std::memchr(p, '\n', block + n - p))); ++p)
            ++lines;
    }
    std::string ignored;
    if (!Rewind(error.empty() ? error : ignored)) return 0;
    return lines;
}

std::string_view TextArena::Keep(std::string_view text) {
    const size_t need = text.size() + 1;
    if (size_ - used_ < need) {
        size_ = std::max(kBlock, need);
        blocks_.emplace_back(new char[size_]);
        used_ = 0;
    }
    char* at = blocks_.back().get() + used_;
    std::memcpy(at, text.data(), text.size());
    at[text.size()] = '\0';
    used_ += need;
    return {at, text.size()};
}

}  // namespace pkzip
