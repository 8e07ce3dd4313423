// A pipe holding a secret for a program to read on a descriptor of its own,
// as the program hands the archiver its password. Windows only: on POSIX the
// tests fork and make the pipe themselves.
#pragma once

#ifdef _WIN32
#include <string>

#include "platform/os/Process.h"

namespace stowaway::test {

class SecretPipe {
  public:
    SecretPipe() = default;
    // The whole text written and the writing end closed (a pipe holds far more
    // than a password), so the reader meets its end after it.
    explicit SecretPipe(const std::string& text);
    ~SecretPipe();
    SecretPipe(SecretPipe&& other) noexcept;
    SecretPipe& operator=(SecretPipe&& other) noexcept;
    SecretPipe(const SecretPipe&) = delete;
    SecretPipe& operator=(const SecretPipe&) = delete;

    os::NativeHandle readEnd() const { return read_; }

  private:
    os::NativeHandle read_ = os::NoHandle;
};

}  // namespace stowaway::test
#endif
