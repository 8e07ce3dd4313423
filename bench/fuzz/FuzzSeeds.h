#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

namespace stowaway::fuzz {

// STOWAWAY_FUZZ_SEEDS=DIR: a target writes its starting corpus there, seed0, seed1, ...
template <typename Seeds>
void WriteSeeds(const Seeds& seeds) {
    const char* dir = std::getenv("STOWAWAY_FUZZ_SEEDS");
    if (!dir) return;
    int n = 0;
    for (const auto& seed : seeds)
        std::ofstream(std::string(dir) + "/seed" + std::to_string(n++)) << seed;
}

}  // namespace stowaway::fuzz
