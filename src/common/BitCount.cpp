// Bit counts: the hardware path compiled with the popcnt target attribute on x86-64, chosen
// once per process (cpuFeatures); the portable path is the builtin as the
// baseline target compiles it (a table-free bit-twiddling count).
#include "common/BitCount.hpp"

#include "common/CpuFeatures.hpp"

#if defined(__x86_64__) && defined(__GNUC__)
#define REKUL_POPCNT_PATH 1
#endif

namespace {

// The loops of both paths, inlined into each so that the builtin compiles for its target.
__attribute__((always_inline)) inline size_t countAnd(const uint64_t* a, const uint64_t* b,
                                                      size_t words) {
    size_t count = 0;
    for (size_t w = 0; w < words; ++w)
        count += static_cast<size_t>(__builtin_popcountll(a[w] & b[w]));
    return count;
}

__attribute__((always_inline)) inline void countRows(const uint64_t* a, const uint64_t* rows,
                                                     size_t words, const uint64_t* select,
                                                     size_t selectWords, int32_t* counts) {
    for (size_t s = 0; s < selectWords; ++s)
        for (uint64_t rest = select[s]; rest != 0; rest &= rest - 1) {
            const size_t j = 64 * s + static_cast<size_t>(__builtin_ctzll(rest));
            counts[j] = static_cast<int32_t>(countAnd(a, rows + j * words, words));
        }
}

}  // namespace

size_t andBitCountPortable(const uint64_t* a, const uint64_t* b, size_t words) {
    return countAnd(a, b, words);
}

void andBitCountsPortable(const uint64_t* a, const uint64_t* rows, size_t words,
                          const uint64_t* select, size_t selectWords, int32_t* counts) {
    countRows(a, rows, words, select, selectWords, counts);
}

#ifdef REKUL_POPCNT_PATH
__attribute__((target("popcnt"))) size_t andBitCountHardware(const uint64_t* a, const uint64_t* b,
                                                             size_t words) {
    return countAnd(a, b, words);
}

__attribute__((target("popcnt"))) void andBitCountsHardware(const uint64_t* a, const uint64_t* rows,
                                                            size_t words, const uint64_t* select,
                                                            size_t selectWords, int32_t* counts) {
    countRows(a, rows, words, select, selectWords, counts);
}

bool hardwareBitCount() {
    return cpuFeatures().popcnt;
}
#else
size_t andBitCountHardware(const uint64_t* a, const uint64_t* b, size_t words) {
    return andBitCountPortable(a, b, words);
}

void andBitCountsHardware(const uint64_t* a, const uint64_t* rows, size_t words,
                          const uint64_t* select, size_t selectWords, int32_t* counts) {
    andBitCountsPortable(a, rows, words, select, selectWords, counts);
}

bool hardwareBitCount() {
    return false;
}
#endif

size_t andBitCount(const uint64_t* a, const uint64_t* b, size_t words) {
    return hardwareBitCount() ? andBitCountHardware(a, b, words) : andBitCountPortable(a, b, words);
}

void andBitCounts(const uint64_t* a, const uint64_t* rows, size_t words, const uint64_t* select,
                  size_t selectWords, int32_t* counts) {
    if (hardwareBitCount())
        andBitCountsHardware(a, rows, words, select, selectWords, counts);
    else
        andBitCountsPortable(a, rows, words, select, selectWords, counts);
}

size_t bitCount(const uint64_t* a, size_t words) {
    return andBitCount(a, a, words);
}
