// The AES entry's building blocks: the key derivation against OpenSSL's own
// PBKDF2, the 0x9901 field as written and as read, and the password as it
// comes from its descriptor.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include <string>

#include "crypto/Aes2Entry.h"
#include "crypto/KeyDerivation.h"
#include "crypto/Password.h"

namespace {

using namespace pkzip::crypto;

// DeriveKeys against OpenSSL's PBKDF2 for passwords around the 64-byte key
// block, salts of every AES strength and odd lengths, and outputs of one to
// five 20-byte blocks (AES-128/192/256 need 34, 50 and 66 bytes).
void ExpectPbkdf2HmacSha1(int rounds) {
    std::string longSalt;
    for (int i = 0; i < 40; ++i) longSalt += static_cast<char>(i * 37 + 1);
    for (const std::string& pw :
         {std::string("p"), std::string(20, 'q'), std::string(63, 'k'), std::string(64, 'k'),
          std::string(65, 'k'), std::string(300, '\xe9'), std::string("a\0b", 3)}) {
        for (size_t saltLen : {8u, 12u, 16u, 1u, 40u}) {
            const auto* salt = reinterpret_cast<const unsigned char*>(longSalt.data());
            for (size_t len : {34u, 50u, 66u, 1u, 20u, 21u, 81u, 100u}) {
                unsigned char mine[100] = {}, theirs[100] = {};
                DeriveKeys(pw, salt, saltLen, mine, len, rounds);
                PKCS5_PBKDF2_HMAC_SHA1(pw.data(), static_cast<int>(pw.size()), salt,
                                       static_cast<int>(saltLen), rounds, static_cast<int>(len),
                                       theirs);
                ASSERT_EQ(std::string(reinterpret_cast<char*>(mine), len),
                          std::string(reinterpret_cast<char*>(theirs), len))
                    << "password " << pw.size() << ", salt " << saltLen << ", output " << len
                    << ", rounds " << rounds;
            }
        }
    }
}

// Leaves the SHA instructions allowed whatever the test does.
struct ShaInstructionsAllowedAgain {
    ~ShaInstructionsAllowedAgain() { AllowShaInstructions(true); }
};

TEST(ArchiverEncryptPieces, KeyDerivationIsPbkdf2HmacSha1OnOpenSslsBlockFunction) {
    ShaInstructionsAllowedAgain restore;
    AllowShaInstructions(false);
    ASSERT_FALSE(UsesShaInstructions());
    ExpectPbkdf2HmacSha1(kKeyRounds);
    ExpectPbkdf2HmacSha1(2);
}

TEST(ArchiverEncryptPieces, KeyDerivationIsPbkdf2HmacSha1OnTheShaInstructions) {
    if (!UsesShaInstructions()) GTEST_SKIP() << "no SHA instructions on this processor";
    ExpectPbkdf2HmacSha1(kKeyRounds);
    ExpectPbkdf2HmacSha1(2);  // the first round and one more
    ExpectPbkdf2HmacSha1(1);  // the first round alone
}

TEST(ArchiverEncryptPieces, TheAesFieldIsWrittenAsAe2Aes256AndReadStrictly) {
    const std::string written = AesExtra(8);
    ASSERT_EQ(written, std::string("\x01\x99\x07\x00\x02\x00"
                                   "AE\x03\x08\x00",
                                   11));
    AesField f;
    // Found after other fields, as 7-Zip writes it.
    ASSERT_TRUE(FindAesField(std::string("UT\x05\x00\x01\x00\x00\x00\x00", 9) + written, f));
    EXPECT_EQ(f.vendorVersion, 2);
    EXPECT_EQ(f.strength, 3);
    EXPECT_EQ(f.method, 8);
    std::string bad = written;
    bad[8] = 4;  // no such strength
    EXPECT_FALSE(FindAesField(bad, f));
    bad = written;
    bad[6] = 'X';  // another vendor
    EXPECT_FALSE(FindAesField(bad, f));
    EXPECT_FALSE(FindAesField(written.substr(0, 9), f));  // cut short
}

TEST(ArchiverEncryptPieces, ThePasswordIsTheFirstLineOfItsDescriptorWhichIsThenClosed) {
#ifdef _WIN32
    GTEST_SKIP() << "descriptors of the C runtime's own are not checked here; ArchiverEncrypt "
                    "hands the password over as the program does";
#else
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::string text = "pass word\r\nsecond line\n";
    ASSERT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fds[1]);
    Password pw;
    std::string error;
    ASSERT_TRUE(pw.ReadFrom(fds[0], error)) << error;
    EXPECT_EQ(pw.View(), "pass word\r");  // bytes up to the newline, as they are
    EXPECT_EQ(::fcntl(fds[0], F_GETFD), -1);

    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[1]);
    Password none;
    EXPECT_FALSE(none.ReadFrom(fds[0], error));
    EXPECT_EQ(error, "the password is empty");
#endif
}

}  // namespace
