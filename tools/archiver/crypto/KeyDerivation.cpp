// SHA1_Transform is deprecated in OpenSSL 3 but still the one way to its
// block function, which uses the processor's SHA instructions.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "KeyDerivation.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

#include <cstdint>
#include <cstring>

namespace pkzip::crypto {
namespace {

constexpr size_t kBlock = 64;
constexpr size_t kDigest = 20;

// The digest of a finished one-block message, written big-endian.
void PutState(unsigned char* to, const SHA_CTX& c) {
    const uint32_t h[5] = {c.h0, c.h1, c.h2, c.h3, c.h4};
    for (int i = 0; i < 5; ++i) {
        to[4 * i] = static_cast<unsigned char>(h[i] >> 24);
        to[4 * i + 1] = static_cast<unsigned char>(h[i] >> 16);
        to[4 * i + 2] = static_cast<unsigned char>(h[i] >> 8);
        to[4 * i + 3] = static_cast<unsigned char>(h[i]);
    }
}

}  // namespace

void DeriveKeys(std::string_view password, const unsigned char* salt, size_t saltLen,
                unsigned char* out, size_t outLen, int rounds) {
    unsigned char key[kBlock] = {};
    if (password.size() > kBlock) {
        SHA1(reinterpret_cast<const unsigned char*>(password.data()), password.size(), key);
    } else {
        std::memcpy(key, password.data(), password.size());
    }
    unsigned char pad[kBlock];
    SHA_CTX inner, outer;
    for (size_t i = 0; i < kBlock; ++i) pad[i] = key[i] ^ 0x36;
    SHA1_Init(&inner);
    SHA1_Update(&inner, pad, kBlock);
    for (size_t i = 0; i < kBlock; ++i) pad[i] = key[i] ^ 0x5c;
    SHA1_Init(&outer);
    SHA1_Update(&outer, pad, kBlock);

    // Each later round hashes one 20-byte value after a pad: one block, its
    // padding and length (64 + 20 bytes, in bits) fixed.
    unsigned char block[kBlock] = {};
    block[kDigest] = 0x80;
    block[kBlock - 2] = static_cast<unsigned char>(((kBlock + kDigest) * 8) >> 8);
    block[kBlock - 1] = static_cast<unsigned char>(((kBlock + kDigest) * 8) & 0xFF);
    unsigned char sum[kDigest], u[kDigest];
    SHA_CTX c;
    for (uint32_t index = 1; outLen > 0; ++index) {
        const unsigned char be[4] = {
            static_cast<unsigned char>(index >> 24), static_cast<unsigned char>(index >> 16),
            static_cast<unsigned char>(index >> 8), static_cast<unsigned char>(index)};
        c = inner;
        SHA1_Update(&c, salt, saltLen);
        SHA1_Update(&c, be, 4);
        SHA1_Final(u, &c);
        c = outer;
        SHA1_Update(&c, u, kDigest);
        SHA1_Final(u, &c);
        std::memcpy(sum, u, kDigest);
        std::memcpy(block, u, kDigest);
        for (int r = 1; r < rounds; ++r) {
            c = inner;
            SHA1_Transform(&c, block);
            PutState(block, c);
            c = outer;
            SHA1_Transform(&c, block);
            PutState(block, c);
            for (size_t j = 0; j < kDigest; ++j) sum[j] ^= block[j];
        }
        const size_t n = outLen < kDigest ? outLen : kDigest;
        std::memcpy(out, sum, n);
        out += n;
        outLen -= n;
    }
    OPENSSL_cleanse(key, sizeof key);
    OPENSSL_cleanse(pad, sizeof pad);
    OPENSSL_cleanse(block, sizeof block);
    OPENSSL_cleanse(sum, sizeof sum);
    OPENSSL_cleanse(u, sizeof u);
    OPENSSL_cleanse(&inner, sizeof inner);
    OPENSSL_cleanse(&outer, sizeof outer);
    OPENSSL_cleanse(&c, sizeof c);
}

}  // namespace pkzip::crypto
