#include "Sha1Chains.h"

#include <utility>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PKZIP_SHA_CHAINS 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace pkzip::crypto {

#ifdef PKZIP_SHA_CHAINS
namespace {

#define SHA_TARGET __attribute__((target("sha,sse4.1")))

// One SHA-1 state as the instructions hold it: A..D in lanes 3..0 of abcd,
// E in lane 3 of e.
struct State {
    __m128i abcd;
    __m128i e;
};

// Four rounds (group G of 20) of one compression; m holds W in rotation.
template <int G>
SHA_TARGET inline __attribute__((always_inline)) void Group(__m128i& abcd, __m128i& e0, __m128i& e1,
                                                            __m128i (&m)[4]) {
    __m128i& cur = (G % 2 == 0) ? e0 : e1;
    __m128i& next = (G % 2 == 0) ? e1 : e0;
    if constexpr (G == 0) {
        cur = _mm_add_epi32(cur, m[0]);
    } else {
        cur = _mm_sha1nexte_epu32(cur, m[G % 4]);
    }
    next = abcd;
    if constexpr (G >= 3 && G <= 18) m[(G + 1) % 4] = _mm_sha1msg2_epu32(m[(G + 1) % 4], m[G % 4]);
    abcd = _mm_sha1rnds4_epu32(abcd, cur, G / 5);
    if constexpr (G >= 1 && G <= 16) m[(G + 3) % 4] = _mm_sha1msg1_epu32(m[(G + 3) % 4], m[G % 4]);
    if constexpr (G >= 2 && G <= 17) m[(G + 2) % 4] = _mm_xor_si128(m[(G + 2) % 4], m[G % 4]);
}

template <int N, int G>
SHA_TARGET inline __attribute__((always_inline)) void GroupEach(__m128i (&abcd)[N],
                                                                __m128i (&e0)[N], __m128i (&e1)[N],
                                                                __m128i (&m)[N][4]) {
    _Pragma("GCC unroll 4") for (int k = 0; k < N; ++k) Group<G>(abcd[k], e0[k], e1[k], m[k]);
}

// Group G for every chain, one after the other, so that their instructions
// overlap.
template <int N, int... G>
SHA_TARGET inline __attribute__((always_inline)) void Groups(std::integer_sequence<int, G...>,
                                                             __m128i (&abcd)[N], __m128i (&e0)[N],
                                                             __m128i (&e1)[N], __m128i (&m)[N][4]) {
    (GroupEach<N, G>(abcd, e0, e1, m), ...);
}

// The compression of one HMAC half for N chains: each starts from the same
// pad state and hashes its chain's 20-byte value, whose padding (0x80, then
// the length of pad + value, 84 bytes, in bits) is fixed. The value's words
// are the previous state's words, lanes as the instructions want them.
template <int N>
SHA_TARGET inline __attribute__((always_inline)) void Compress(const State& pad, State (&v)[N]) {
    const __m128i tail = _mm_set_epi32(0, static_cast<int>(0x80000000u), 0, 0);
    const __m128i length = _mm_set_epi32(0, 0, 0, (64 + 20) * 8);
    __m128i m[N][4], abcd[N], e0[N], e1[N];
    for (int k = 0; k < N; ++k) {
        m[k][0] = v[k].abcd;
        m[k][1] = _mm_blend_epi16(tail, v[k].e, 0xC0);  // W4 = E, W5 = 0x80000000
        m[k][2] = _mm_setzero_si128();
        m[k][3] = length;
        abcd[k] = pad.abcd;
        e0[k] = pad.e;
    }
    Groups<N>(std::make_integer_sequence<int, 20>{}, abcd, e0, e1, m);
    for (int k = 0; k < N; ++k) {
        v[k].e = _mm_sha1nexte_epu32(e0[k], pad.e);
        v[k].abcd = _mm_add_epi32(abcd[k], pad.abcd);
    }
}

State Load(const uint32_t h[5]) {
    return {_mm_set_epi32(static_cast<int>(h[0]), static_cast<int>(h[1]), static_cast<int>(h[2]),
                          static_cast<int>(h[3])),
            _mm_set_epi32(static_cast<int>(h[4]), 0, 0, 0)};
}

SHA_TARGET void Store(const State& s, uint32_t h[5]) {
    h[0] = static_cast<uint32_t>(_mm_extract_epi32(s.abcd, 3));
    h[1] = static_cast<uint32_t>(_mm_extract_epi32(s.abcd, 2));
    h[2] = static_cast<uint32_t>(_mm_extract_epi32(s.abcd, 1));
    h[3] = static_cast<uint32_t>(_mm_extract_epi32(s.abcd, 0));
    h[4] = static_cast<uint32_t>(_mm_extract_epi32(s.e, 3));
}

template <int N>
SHA_TARGET void Run(const uint32_t innerWords[5], const uint32_t outerWords[5],
                    const uint32_t u[][5], int rounds, uint32_t sum[][5]) {
    const State inner = Load(innerWords), outer = Load(outerWords);
    State v[N], acc[N];
    for (int k = 0; k < N; ++k) v[k] = acc[k] = Load(u[k]);
    for (int r = 1; r < rounds; ++r) {
        Compress<N>(inner, v);
        Compress<N>(outer, v);
        for (int k = 0; k < N; ++k) {
            acc[k].abcd = _mm_xor_si128(acc[k].abcd, v[k].abcd);
            acc[k].e = _mm_xor_si128(acc[k].e, v[k].e);
        }
    }
    for (int k = 0; k < N; ++k) Store(acc[k], sum[k]);
    // The chain values and sums are key material: leave none on the stack.
    for (int k = 0; k < N; ++k) v[k] = acc[k] = State{_mm_setzero_si128(), _mm_setzero_si128()};
    __asm__ __volatile__("" : : "r"(v), "r"(acc) : "memory");
}

bool Detect() {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool sse41 = (c & (1u << 19)) != 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    const bool sha = (b & (1u << 29)) != 0;
    return sse41 && sha;
}

}  // namespace

bool Sha1ChainsAvailable() {
    static const bool available = Detect();
    return available;
}

void RunSha1Chains(const uint32_t inner[5], const uint32_t outer[5], const uint32_t u[][5],
                   int count, int rounds, uint32_t sum[][5]) {
    // Two chains keep the SHA unit busy; four at once spill registers and run
    // slower than two pairs (bench/key_derivation_bench).
    for (int k = 0; k < count; k += 2) {
        if (count - k >= 2) {
            Run<2>(inner, outer, u + k, rounds, sum + k);
        } else {
            Run<1>(inner, outer, u + k, rounds, sum + k);
        }
    }
}

#else

bool Sha1ChainsAvailable() {
    return false;
}

void RunSha1Chains(const uint32_t*, const uint32_t*, const uint32_t (*)[5], int, int,
                   uint32_t (*)[5]) {}

#endif

}  // namespace pkzip::crypto
