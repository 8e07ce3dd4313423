#include "platform/secrets/SecretText.h"

#include <mutex>
#include <utility>

#include "platform/secrets/ProcessDumps.h"

namespace stowaway {

namespace {

std::mutex heldMutex;
int heldCount = 0;
int dumpableBefore = 1;

void Hold() {
    std::lock_guard<std::mutex> lock(heldMutex);
    if (heldCount++ == 0) {
        dumpableBefore = ForbidDumps();
    }
}

// The sanitizers' leak check at exit attaches to the process: it gets its
// dumpable flag back once no secret is held.
void Release() {
    std::lock_guard<std::mutex> lock(heldMutex);
    if (--heldCount == 0 && dumpableBefore > 0) AllowDumps(dumpableBefore);
}

}  // namespace

bool SecretsHeld() {
    std::lock_guard<std::mutex> lock(heldMutex);
    return heldCount > 0;
}

SecretText::SecretText(SecretText&& other) noexcept
    : buffer_(std::move(other.buffer_)), size_(std::exchange(other.size_, 0)) {}

SecretText& SecretText::operator=(SecretText&& other) noexcept {
    if (this != &other) {
        clear();
        buffer_ = std::move(other.buffer_);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

SecretText::~SecretText() {
    clear();
}

bool SecretText::assign(std::string_view text) {
    clear();
    if (text.size() > Capacity) return false;
    if (text.empty()) return true;
    Hold();
    buffer_ = std::make_unique<char[]>(Capacity);
    text.copy(buffer_.get(), text.size());
    size_ = text.size();
    return true;
}

void SecretText::clear() {
    if (!buffer_) return;
    WipeMemory(buffer_.get(), Capacity);
    buffer_.reset();
    size_ = 0;
    Release();
}

}  // namespace stowaway
