// A pipe holding a secret for a program to read on a descriptor of its own,
// as the program hands the archiver its password.
#pragma once

#include <string>

#include "platform/os/Process.h"

namespace stowaway::test {

class SecretPipe {
  public:
    SecretPipe() = default;
    // The whole text written and the writing end closed (a pipe holds far more
    // than a password), so the reader meets its end after it. `inheritable`:
    // every program we start would get the reading end unless told otherwise,
    // as a careless caller's pipe would be.
    explicit SecretPipe(const std::string& text, bool inheritable = false);
    ~SecretPipe() { Close(read_); }
    SecretPipe(SecretPipe&& other) noexcept : read_(other.read_) { other.read_ = os::NoHandle; }
    SecretPipe& operator=(SecretPipe&& other) noexcept {
        if (this != &other) {
            Close(read_);
            read_ = other.read_;
            other.read_ = os::NoHandle;
        }
        return *this;
    }
    SecretPipe(const SecretPipe&) = delete;
    SecretPipe& operator=(const SecretPipe&) = delete;

    // NoHandle when the pipe could not be made and filled.
    os::NativeHandle readEnd() const { return read_; }

  private:
    static void Close(os::NativeHandle handle);

    os::NativeHandle read_ = os::NoHandle;
};

}  // namespace stowaway::test
