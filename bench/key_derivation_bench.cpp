// The archiver's key derivation (PBKDF2-HMAC-SHA1, 1,000 rounds), on
// OpenSSL's block function and on the SHA instructions, alternated in one run:
// derivations per second of thread CPU time, medians of the runs, for the
// key lengths of AES-128, -192 and -256.
//
//   key_derivation_bench [RUNS] [DERIVATIONS_PER_RUN]
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "crypto/KeyDerivation.h"

namespace {

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pkzip::crypto;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 500;
    const bool sha = UsesShaInstructions();
    std::printf("SHA instructions: %s; %d runs of %d derivations, %d rounds\n", sha ? "yes" : "no",
                runs, count, kKeyRounds);
    std::printf("%-8s %14s %14s %8s\n", "key", "block fn /s", "SHA instr /s", "x");
    unsigned char salt[16] = {}, key[66];
    unsigned sink = 0;
    for (size_t len : {34u, 50u, 66u}) {
        std::vector<double> rate[2];
        for (int r = 0; r < runs; ++r) {
            for (int path = 0; path < 2; ++path) {
                AllowShaInstructions(path == 1);
                const double start = ThreadCpuSeconds();
                for (int i = 0; i < count; ++i) {
                    salt[i % 16] = static_cast<unsigned char>(i);
                    DeriveKeys("bench password", salt, sizeof salt, key, len);
                    sink += key[0];
                }
                rate[path].push_back(count / (ThreadCpuSeconds() - start));
            }
        }
        const double before = Median(rate[0]), after = Median(rate[1]);
        std::printf("%-8zu %14.0f %14.0f %8.2f\n", len, before, after, after / before);
    }
    AllowShaInstructions(true);
    return sink == 1 ? 1 : 0;  // keeps the derivations from being optimised away
}
