// The keys derived for the entries a backup writes, found again by their salt
// when the check after writing reads those entries back: the derivation
// (1,000 rounds) costs more than compressing a small file, and doing it twice
// per entry doubled what encryption adds to a backup. The check still reads
// the salt and verifier from disk and authenticates and decrypts every entry.
// About 130 bytes per encrypted entry, wiped at the end.
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "Aes2Entry.h"

namespace pkzip::crypto {

class KeyCache {
  public:
    static constexpr size_t kSaltBytes = SaltSize(kStrength256);
    static constexpr size_t kKeyBytes = 2 * KeySize(kStrength256) + kVerifierSize;

    KeyCache() = default;
    ~KeyCache();
    KeyCache(const KeyCache&) = delete;
    KeyCache& operator=(const KeyCache&) = delete;

    // Both may be called from several threads at once.
    void Add(const unsigned char* salt, const unsigned char* keys);
    bool Find(const unsigned char* salt, unsigned char* keys) const;

  private:
    struct Item {
        unsigned char salt[kSaltBytes];
        unsigned char keys[kKeyBytes];
    };
    mutable std::mutex mutex_;
    std::unordered_multimap<uint64_t, Item> items_;
};

}  // namespace pkzip::crypto
