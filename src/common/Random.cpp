// Seeded draws: a Mersenne Twister per draw, seeded through seed_seq with the run's seed and the
// draw's own numbers, and uniform whole numbers by rejection, the same on every platform.
#include "common/Random.hpp"

#include <vector>

std::mt19937 drawGenerator(std::initializer_list<uint32_t> seeds) {
    std::seed_seq sequence(seeds.begin(), seeds.end());
    return std::mt19937(sequence);
}

uint32_t uniformBelow(std::mt19937& generator, uint32_t n) {
    // Values of the last, incomplete block of n are redrawn.
    const uint32_t limit = UINT32_MAX - UINT32_MAX % n;
    uint32_t value;
    do value = static_cast<uint32_t>(generator());
    while (value >= limit);
    return value % n;
}

uint64_t uniformBelow64(std::mt19937& generator, uint64_t n) {
    if (n <= UINT32_MAX) return uniformBelow(generator, static_cast<uint32_t>(n));
    const uint64_t limit = UINT64_MAX - UINT64_MAX % n;
    uint64_t value;
    do value = (static_cast<uint64_t>(generator()) << 32) | generator();
    while (value >= limit);
    return value % n;
}
