#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace stowaway {

// A password held in memory of its own: never copied into a growing string, wiped
// when it goes. While any is held the process may not be dumped or traced by
// others (prctl PR_SET_DUMPABLE), so a core file does not carry it.
class SecretText {
  public:
    // Longer passwords are refused: a pipe carries this much at once.
    static constexpr std::size_t Capacity = 1024;

    SecretText() = default;
    SecretText(SecretText&& other) noexcept;
    SecretText& operator=(SecretText&& other) noexcept;
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    ~SecretText();

    // False, holding nothing, when the text is longer than Capacity.
    bool assign(std::string_view text);
    void clear();
    std::string_view view() const { return {buffer_.get(), size_}; }
    bool empty() const { return size_ == 0; }
    std::size_t size() const { return size_; }

  private:
    std::unique_ptr<char[]> buffer_;
    std::size_t size_ = 0;
};

// Overwrites memory the compiler may not skip.
void WipeMemory(void* data, std::size_t size);

// Whether the process is marked not to be dumped (a secret is held).
bool SecretsHeld();

}  // namespace stowaway
