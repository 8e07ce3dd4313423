#include "Password.h"

#include <openssl/crypto.h>

#include <cerrno>
#include <cstring>

#include "Os.h"

namespace pkzip::crypto {
namespace {

constexpr size_t kPage = 4096;
static_assert(Password::kMaxLength < kPage);

}  // namespace

Password::~Password() {
    if (page_ == nullptr) return;
    OPENSSL_cleanse(page_, kPage);
    os::FreeLockedPage(page_, kPage);
}

bool Password::Allocate(std::string& error) {
    if (page_ != nullptr) return true;
    void* p = os::LockedPage(kPage);
    if (p == nullptr) {
        error = "no memory for the password";
        return false;
    }
    page_ = static_cast<char*>(p);
    return true;
}

bool Password::ReadFrom(int fd, std::string& error) {
    if (!Allocate(error)) return false;
    const os::Handle handle = os::Inherited(fd);
    length_ = 0;
    bool ended = false, tooLong = false, failed = false;
    int readErrno = 0;
    // A byte at a time: what follows the first line is not ours to take.
    while (!ended) {
        char c;
        const int64_t n = os::Read(handle, &c, 1);
        if (n < 0 && os::LastError() == EINTR) continue;
        if (n < 0) {
            failed = true;
            readErrno = os::LastError();
            break;
        }
        if (n == 0 || c == '\n') {
            ended = true;
        } else if (length_ < kMaxLength) {
            page_[length_++] = c;
        } else {
            tooLong = true;
        }
    }
    os::Close(handle);
    if (failed) {
        error = readErrno == EBADF
                    ? "the password descriptor is not open"
                    : std::string("cannot read the password: ") + os::ErrorText(readErrno);
    } else if (tooLong) {
        error = "the password is longer than " + std::to_string(kMaxLength) + " bytes";
    }
    if (error.empty() && length_ == 0) error = "the password is empty";
    if (!error.empty()) {
        OPENSSL_cleanse(page_, kPage);
        length_ = 0;
        return false;
    }
    return true;
}

bool Password::Set(std::string_view text, std::string& error) {
    if (!Allocate(error)) return false;
    if (text.empty() || text.size() > kMaxLength) {
        error = text.empty() ? "the password is empty" : "the password is too long";
        return false;
    }
    std::memcpy(page_, text.data(), text.size());
    length_ = text.size();
    return true;
}

}  // namespace pkzip::crypto
