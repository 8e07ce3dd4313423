// The password of an encrypted archive, read from an inherited descriptor so
// that it never appears on a command line. Kept in a page of its own that is
// locked in memory where allowed, left out of core dumps and wiped at the end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pkzip::crypto {

class Password {
  public:
    static constexpr size_t kMaxLength = 1024;

    Password() = default;
    ~Password();
    Password(const Password&) = delete;
    Password& operator=(const Password&) = delete;

    // Reads all bytes up to the first newline or the end of `fd`, then closes
    // it. False with `error` (which never holds the password) when nothing
    // usable was read.
    bool ReadFrom(int fd, std::string& error);
    // For tests and tools that hold the text already.
    bool Set(std::string_view text, std::string& error);

    std::string_view View() const { return {page_, length_}; }
    bool Empty() const { return length_ == 0; }

  private:
    bool Allocate(std::string& error);
    char* page_ = nullptr;
    size_t length_ = 0;
};

}  // namespace pkzip::crypto
