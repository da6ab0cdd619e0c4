// Random draws that are the same on every platform and at every thread count: each draw
// (a permutation, a shuffled copy, a background window) takes its own Mersenne Twister,
// seeded through seed_seq with the run's seed and the draw's own numbers, and whole numbers
// below n come by rejection rather than a library distribution whose output may differ.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <random>

// The generator of one draw: seeded with the run's seed followed by the draw's numbers.
std::mt19937 drawGenerator(std::initializer_list<uint32_t> seeds);

// A uniform whole number from 0 to n - 1 (n >= 1), by rejection: the same on every platform.
uint32_t uniformBelow(std::mt19937& generator, uint32_t n);

// A uniform whole number from 0 to n - 1 for n up to 2^64 - 1, by rejection.
uint64_t uniformBelow64(std::mt19937& generator, uint64_t n);
