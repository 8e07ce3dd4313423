// The AES entry's building blocks: the key derivation against OpenSSL's own
// PBKDF2, the 0x9901 field as written and as read, and the password as it
// comes from its descriptor.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <string>

#include "crypto/Aes2Entry.h"
#include "crypto/KeyDerivation.h"
#include "crypto/Password.h"

namespace {

using namespace pkzip::crypto;

TEST(ArchiverEncryptPieces, KeyDerivationIsPbkdf2HmacSha1ForShortAndLongPasswords) {
    const unsigned char salt[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (const std::string& pw :
         {std::string("p"), std::string(64, 'k'), std::string(65, 'k'), std::string(300, '\xe9')}) {
        for (size_t len : {34u, 50u, 66u}) {
            unsigned char mine[66] = {}, theirs[66] = {};
            DeriveKeys(pw, salt, 16, mine, len);
            PKCS5_PBKDF2_HMAC_SHA1(pw.data(), static_cast<int>(pw.size()), salt, 16, kKeyRounds,
                                   static_cast<int>(len), theirs);
            EXPECT_EQ(std::string(reinterpret_cast<char*>(mine), len),
                      std::string(reinterpret_cast<char*>(theirs), len))
                << pw.size() << " " << len;
        }
    }
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
}

}  // namespace
