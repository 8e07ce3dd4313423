// WinZip's AES encryption of a ZIP entry ("AE-1"/"AE-2"): method 99 with the
// 0x9901 extra field naming the real method; the data is a salt, a 2-byte
// password verifier, the compressed data in AES counter mode (a little-endian
// block counter from 1) and a 10-byte HMAC-SHA1 of the encrypted data. AE-2
// stores no CRC: the HMAC authenticates. We write AE-2 with AES-256 and
// read any strength of either version.
#pragma once

#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pkzip::crypto {

class KeyCache;

constexpr uint16_t kMethodAes = 99;
constexpr uint16_t kAesExtraId = 0x9901;
constexpr uint8_t kStrength256 = 3;
constexpr size_t kVerifierSize = 2;
constexpr size_t kMacSize = 10;
constexpr size_t kMaxSalt = 16;

// 1, 2, 3: AES-128, -192, -256.
constexpr size_t SaltSize(uint8_t strength) {
    return 4 + 4 * static_cast<size_t>(strength);
}
constexpr size_t KeySize(uint8_t strength) {
    return 8 + 8 * static_cast<size_t>(strength);
}
// Bytes an entry's data grows by: salt, verifier and authentication code.
constexpr size_t Overhead(uint8_t strength = kStrength256) {
    return SaltSize(strength) + kVerifierSize + kMacSize;
}

struct AesField {
    uint16_t vendorVersion = 0;  // 1: AE-1 (CRC kept), 2: AE-2 (CRC 0)
    uint8_t strength = 0;
    uint16_t method = 0;  // the real compression method
};

// The first 0x9901 field of an extra block; false when there is none or it is
// malformed (wrong size, vendor, version or strength).
bool FindAesField(std::string_view extra, AesField& out);
// The field we write: AE-2, AES-256, `method`.
std::string AesExtra(uint16_t method);

// AES in WinZip's counter mode, through OpenSSL's block cipher.
class CounterMode {
  public:
    CounterMode();
    ~CounterMode();
    CounterMode(const CounterMode&) = delete;
    CounterMode& operator=(const CounterMode&) = delete;
    bool Init(const unsigned char* key, size_t keyLen);
    // XORs the key stream into `data`, in place.
    void Apply(unsigned char* data, size_t n);

  private:
    static constexpr size_t kBlocks = 256;
    void Refill();
    EVP_CIPHER_CTX* ctx_ = nullptr;
    uint64_t counter_ = 0;
    unsigned char stream_[kBlocks * 16];
    size_t used_ = sizeof stream_;
};

class HmacSha1 {
  public:
    HmacSha1();
    ~HmacSha1();
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;
    bool Init(const unsigned char* key, size_t keyLen);
    void Update(const unsigned char* data, size_t n);
    // The first kMacSize bytes of the code.
    bool Final(unsigned char* mac);

  private:
    EVP_MAC_CTX* ctx_ = nullptr;
};

// Encrypts one entry: Begin, then Head() before the data, Encrypt() over the
// data in order, Finish() for the code that follows it.
class Aes2Encryptor {
  public:
    static constexpr size_t kHeadSize = SaltSize(kStrength256) + kVerifierSize;
    // A fresh random salt and the keys derived from it (added to `keys`).
    bool Begin(std::string_view password, std::string& error, KeyCache* keys = nullptr);
    const unsigned char* Head() const { return head_; }
    void Encrypt(unsigned char* data, size_t n);
    bool Finish(unsigned char* mac);

  private:
    unsigned char head_[kHeadSize] = {};
    CounterMode cipher_;
    HmacSha1 mac_;
};

class Aes2Decryptor {
  public:
    enum class Start { Ok, WrongPassword, Failed };
    // `head` holds the salt and verifier as the entry's data starts; `keys`
    // may hold the keys of its salt already.
    Start Begin(std::string_view password, uint8_t strength, const unsigned char* head,
                const KeyCache* keys = nullptr);
    // Authenticates, then decrypts in place.
    void Decrypt(unsigned char* data, size_t n);
    // Whether the code after the data is the one the data had.
    bool Finish(const unsigned char* mac);

  private:
    CounterMode cipher_;
    HmacSha1 mac_;
};

}  // namespace pkzip::crypto
