// PBKDF2-HMAC-SHA1 as WinZip's AES entries use it (1,000 rounds). Every
// entry has its own salt, so its keys are derived once per entry: the rounds
// run on OpenSSL's SHA-1 block function with the HMAC pads hashed once, not
// again in every round as the general PKCS5_PBKDF2_HMAC does. Where the
// processor has SHA instructions, the output blocks' chains run side by side
// on them (Sha1Chains).
#pragma once

#include <cstddef>
#include <string_view>

namespace pkzip::crypto {

constexpr int kKeyRounds = 1000;

// Fills `out` with `outLen` bytes derived from the password and salt.
void DeriveKeys(std::string_view password, const unsigned char* salt, size_t saltLen,
                unsigned char* out, size_t outLen, int rounds = kKeyRounds);

// Off, DeriveKeys runs on OpenSSL's block function even where the SHA
// instructions are there (tests and bench/ compare the two); on by default.
void AllowShaInstructions(bool allow);

// Whether DeriveKeys will run on the SHA instructions.
bool UsesShaInstructions();

}  // namespace pkzip::crypto
