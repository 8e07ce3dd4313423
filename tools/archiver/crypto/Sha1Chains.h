// The PBKDF2-HMAC-SHA1 rounds of up to four output blocks at once on the
// processor's SHA instructions (x86-64), the state kept in registers from
// round to round. The chains are independent, so running two side by side
// fills the gaps one chain leaves waiting on its previous round.
#pragma once

#include <cstdint>

namespace pkzip::crypto {

constexpr int kMaxChains = 4;

// Whether RunSha1Chains can run here: an x86-64 build with GCC or clang and a
// processor with the SHA extensions and SSE4.1.
bool Sha1ChainsAvailable();

// For each of `count` chains (1..kMaxChains): starting from u[k], the first
// round's HMAC, runs rounds 2..`rounds` (U = HMAC(U), keyed by the pad states
// `inner` and `outer`, h0..h4) and writes the XOR of all rounds to sum[k].
// Values are SHA-1 state words, the digest read big-endian.
void RunSha1Chains(const uint32_t inner[5], const uint32_t outer[5], const uint32_t u[][5],
                   int count, int rounds, uint32_t sum[][5]);

}  // namespace pkzip::crypto
