#include "Aes2Entry.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cstring>

#include "KeyCache.h"
#include "KeyDerivation.h"

namespace pkzip::crypto {
namespace {

constexpr size_t kMaxKey = 32;

uint16_t Get16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

const EVP_CIPHER* CipherFor(size_t keyLen) {
    switch (keyLen) {
        case 16:
            return EVP_aes_128_ecb();
        case 24:
            return EVP_aes_192_ecb();
        case 32:
            return EVP_aes_256_ecb();
        default:
            return nullptr;
    }
}

// Fetched once: a fetch per entry would take the provider's locks each time.
EVP_MAC* HmacAlgorithm() {
    static EVP_MAC* mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    return mac;
}

// Encryption key, authentication key and verifier, from the password and salt.
struct DerivedKeys {
    unsigned char bytes[2 * kMaxKey + kVerifierSize];
    ~DerivedKeys() { OPENSSL_cleanse(bytes, sizeof bytes); }
};

}  // namespace

bool FindAesField(std::string_view extra, AesField& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(extra.data());
    for (size_t pos = 0; pos + 4 <= extra.size();) {
        const uint16_t id = Get16(p + pos), len = Get16(p + pos + 2);
        if (pos + 4 + len > extra.size()) return false;
        if (id == kAesExtraId) {
            const unsigned char* d = p + pos + 4;
            if (len != 7 || d[2] != 'A' || d[3] != 'E') return false;
            out.vendorVersion = Get16(d);
            out.strength = d[4];
            out.method = Get16(d + 5);
            return (out.vendorVersion == 1 || out.vendorVersion == 2) && out.strength >= 1 &&
                   out.strength <= 3;
        }
        pos += 4 + len;
    }
    return false;
}

std::string AesExtra(uint16_t method) {
    std::string f;
    const auto put16 = [&](uint32_t v) {
        f += static_cast<char>(v & 0xFF);
        f += static_cast<char>((v >> 8) & 0xFF);
    };
    put16(kAesExtraId);
    put16(7);
    put16(2);  // AE-2
    f += "AE";
    f += static_cast<char>(kStrength256);
    put16(method);
    return f;
}

CounterMode::CounterMode() : ctx_(EVP_CIPHER_CTX_new()) {}

CounterMode::~CounterMode() {
    EVP_CIPHER_CTX_free(ctx_);
    OPENSSL_cleanse(stream_, sizeof stream_);
}

bool CounterMode::Init(const unsigned char* key, size_t keyLen) {
    const EVP_CIPHER* cipher = CipherFor(keyLen);
    if (ctx_ == nullptr || cipher == nullptr ||
        EVP_EncryptInit_ex(ctx_, cipher, nullptr, key, nullptr) != 1)
        return false;
    EVP_CIPHER_CTX_set_padding(ctx_, 0);
    counter_ = 0;
    used_ = sizeof stream_;
    return true;
}

// The next kBlocks blocks of key stream: counter blocks (8 bytes little-endian,
// 8 zero bytes) through the block cipher.
void CounterMode::Refill() {
    std::memset(stream_, 0, sizeof stream_);
    for (size_t b = 0; b < kBlocks; ++b) {
        const uint64_t n = ++counter_;
        for (int i = 0; i < 8; ++i) stream_[16 * b + i] = static_cast<unsigned char>(n >> (8 * i));
    }
    int len = 0;
    EVP_EncryptUpdate(ctx_, stream_, &len, stream_, static_cast<int>(sizeof stream_));
    used_ = 0;
}

void CounterMode::Apply(unsigned char* data, size_t n) {
    while (n > 0) {
        if (used_ == sizeof stream_) Refill();
        const size_t k = std::min(n, sizeof stream_ - used_);
        const unsigned char* s = stream_ + used_;
        for (size_t i = 0; i < k; ++i) data[i] ^= s[i];
        used_ += k;
        data += k;
        n -= k;
    }
}

HmacSha1::HmacSha1() : ctx_(HmacAlgorithm() ? EVP_MAC_CTX_new(HmacAlgorithm()) : nullptr) {}

HmacSha1::~HmacSha1() {
    EVP_MAC_CTX_free(ctx_);
}

bool HmacSha1::Init(const unsigned char* key, size_t keyLen) {
    if (ctx_ == nullptr) return false;
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_END};
    return EVP_MAC_init(ctx_, key, keyLen, params) == 1;
}

void HmacSha1::Update(const unsigned char* data, size_t n) {
    EVP_MAC_update(ctx_, data, n);
}

bool HmacSha1::Final(unsigned char* mac) {
    unsigned char full[EVP_MAX_MD_SIZE];
    size_t len = 0;
    if (EVP_MAC_final(ctx_, full, &len, sizeof full) != 1 || len < kMacSize) return false;
    std::memcpy(mac, full, kMacSize);
    return true;
}

bool Aes2Encryptor::Begin(std::string_view password, std::string& error, KeyCache* keys) {
    constexpr size_t salt = SaltSize(kStrength256), key = KeySize(kStrength256);
    if (RAND_bytes(head_, static_cast<int>(salt)) != 1) {
        error = "no random numbers for the encryption";
        return false;
    }
    DerivedKeys k;
    DeriveKeys(password, head_, salt, k.bytes, 2 * key + kVerifierSize);
    if (keys != nullptr) keys->Add(head_, k.bytes);
    std::memcpy(head_ + salt, k.bytes + 2 * key, kVerifierSize);
    if (!cipher_.Init(k.bytes, key) || !mac_.Init(k.bytes + key, key)) {
        error = "the encryption could not be set up";
        return false;
    }
    return true;
}

void Aes2Encryptor::Encrypt(unsigned char* data, size_t n) {
    cipher_.Apply(data, n);
    mac_.Update(data, n);
}

bool Aes2Encryptor::Finish(unsigned char* mac) {
    return mac_.Final(mac);
}

Aes2Decryptor::Start Aes2Decryptor::Begin(std::string_view password, uint8_t strength,
                                          const unsigned char* head, const KeyCache* keys) {
    const size_t salt = SaltSize(strength), key = KeySize(strength);
    DerivedKeys k;
    if (strength != kStrength256 || keys == nullptr || !keys->Find(head, k.bytes))
        DeriveKeys(password, head, salt, k.bytes, 2 * key + kVerifierSize);
    if (CRYPTO_memcmp(k.bytes + 2 * key, head + salt, kVerifierSize) != 0)
        return Start::WrongPassword;
    if (!cipher_.Init(k.bytes, key) || !mac_.Init(k.bytes + key, key)) return Start::Failed;
    return Start::Ok;
}

void Aes2Decryptor::Decrypt(unsigned char* data, size_t n) {
    mac_.Update(data, n);
    cipher_.Apply(data, n);
}

bool Aes2Decryptor::Finish(const unsigned char* mac) {
    unsigned char mine[kMacSize];
    return mac_.Final(mine) && CRYPTO_memcmp(mine, mac, kMacSize) == 0;
}

}  // namespace pkzip::crypto
