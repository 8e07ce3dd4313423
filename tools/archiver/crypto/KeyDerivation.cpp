// SHA1_Transform is deprecated in OpenSSL 3 but still the one way to its
// block function, which uses the processor's SHA instructions.
#define OPENSSL_SUPPRESS_DEPRECATED
#include "KeyDerivation.h"

#include <openssl/crypto.h>
#include <openssl/sha.h>

#include "Sha1Chains.h"

#include <atomic>
#include <cstdint>
#include <cstring>

namespace pkzip::crypto {
namespace {

constexpr size_t kBlock = 64;
constexpr size_t kDigest = 20;

std::atomic<bool> shaAllowed{true};

uint32_t GetBig(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

void PutBig(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

// The digest of a finished one-block message, written big-endian.
void PutState(unsigned char* to, const SHA_CTX& c) {
    const uint32_t h[5] = {c.h0, c.h1, c.h2, c.h3, c.h4};
    for (int i = 0; i < 5; ++i) PutBig(to + 4 * i, h[i]);
}

// The first round of block `index`: HMAC(password, salt || INT(index)).
void FirstRound(const SHA_CTX& inner, const SHA_CTX& outer, const unsigned char* salt,
                size_t saltLen, uint32_t index, unsigned char* u) {
    unsigned char be[4];
    PutBig(be, index);
    SHA_CTX c = inner;
    SHA1_Update(&c, salt, saltLen);
    SHA1_Update(&c, be, 4);
    SHA1_Final(u, &c);
    c = outer;
    SHA1_Update(&c, u, kDigest);
    SHA1_Final(u, &c);
    OPENSSL_cleanse(&c, sizeof c);
}

// One output block after the other on OpenSSL's block function.
void DeriveOnBlockFunction(const SHA_CTX& inner, const SHA_CTX& outer, const unsigned char* salt,
                           size_t saltLen, unsigned char* out, size_t outLen, int rounds) {
    // Each later round hashes one 20-byte value after a pad: one block, its
    // padding and length (64 + 20 bytes, in bits) fixed.
    unsigned char block[kBlock] = {};
    block[kDigest] = 0x80;
    block[kBlock - 2] = static_cast<unsigned char>(((kBlock + kDigest) * 8) >> 8);
    block[kBlock - 1] = static_cast<unsigned char>(((kBlock + kDigest) * 8) & 0xFF);
    unsigned char sum[kDigest], u[kDigest];
    SHA_CTX c;
    for (uint32_t index = 1; outLen > 0; ++index) {
        FirstRound(inner, outer, salt, saltLen, index, u);
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
    OPENSSL_cleanse(block, sizeof block);
    OPENSSL_cleanse(sum, sizeof sum);
    OPENSSL_cleanse(u, sizeof u);
    OPENSSL_cleanse(&c, sizeof c);
}

// Up to kMaxChains output blocks at a time on the SHA instructions.
void DeriveOnChains(const SHA_CTX& innerCtx, const SHA_CTX& outerCtx, const unsigned char* salt,
                    size_t saltLen, unsigned char* out, size_t outLen, int rounds) {
    const uint32_t inner[5] = {innerCtx.h0, innerCtx.h1, innerCtx.h2, innerCtx.h3, innerCtx.h4};
    const uint32_t outer[5] = {outerCtx.h0, outerCtx.h1, outerCtx.h2, outerCtx.h3, outerCtx.h4};
    unsigned char u[kDigest];
    uint32_t first[kMaxChains][5], sum[kMaxChains][5];
    unsigned char bytes[kDigest];
    for (uint32_t index = 1; outLen > 0;) {
        int count = 0;
        for (; count < kMaxChains && outLen > kDigest * count; ++count) {
            FirstRound(innerCtx, outerCtx, salt, saltLen, index + count, u);
            for (int i = 0; i < 5; ++i) first[count][i] = GetBig(u + 4 * i);
        }
        RunSha1Chains(inner, outer, first, count, rounds, sum);
        for (int k = 0; k < count; ++k) {
            for (int i = 0; i < 5; ++i) PutBig(bytes + 4 * i, sum[k][i]);
            const size_t n = outLen < kDigest ? outLen : kDigest;
            std::memcpy(out, bytes, n);
            out += n;
            outLen -= n;
        }
        index += count;
    }
    OPENSSL_cleanse(u, sizeof u);
    OPENSSL_cleanse(first, sizeof first);
    OPENSSL_cleanse(sum, sizeof sum);
    OPENSSL_cleanse(bytes, sizeof bytes);
}

}  // namespace

void AllowShaInstructions(bool allow) {
    shaAllowed = allow;
}

bool UsesShaInstructions() {
    return shaAllowed && Sha1ChainsAvailable();
}

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
    if (UsesShaInstructions()) {
        DeriveOnChains(inner, outer, salt, saltLen, out, outLen, rounds);
    } else {
        DeriveOnBlockFunction(inner, outer, salt, saltLen, out, outLen, rounds);
    }
    OPENSSL_cleanse(key, sizeof key);
    OPENSSL_cleanse(pad, sizeof pad);
    OPENSSL_cleanse(&inner, sizeof inner);
    OPENSSL_cleanse(&outer, sizeof outer);
}

}  // namespace pkzip::crypto
