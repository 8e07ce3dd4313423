#include "KeyCache.h"

#include <openssl/crypto.h>

#include <cstring>

namespace pkzip::crypto {
namespace {

uint64_t Hash(const unsigned char* salt) {
    uint64_t h;
    std::memcpy(&h, salt, sizeof h);  // random bytes
    return h;
}

}  // namespace

KeyCache::~KeyCache() {
    for (auto& [hash, item] : items_) OPENSSL_cleanse(&item, sizeof item);
}

void KeyCache::Add(const unsigned char* salt, const unsigned char* keys) {
    Item item;
    std::memcpy(item.salt, salt, kSaltBytes);
    std::memcpy(item.keys, keys, kKeyBytes);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.emplace(Hash(salt), item);
    }
    OPENSSL_cleanse(&item, sizeof item);
}

bool KeyCache::Find(const unsigned char* salt, unsigned char* keys) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto [from, to] = items_.equal_range(Hash(salt));
    for (auto it = from; it != to; ++it) {
        if (std::memcmp(it->second.salt, salt, kSaltBytes) != 0) continue;
        std::memcpy(keys, it->second.keys, kKeyBytes);
        return true;
    }
    return false;
}

}  // namespace pkzip::crypto
