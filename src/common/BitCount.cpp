// Bit counts: the hardware path compiled with the popcnt target attribute on x86-64, chosen
// once per process (cpuFeatures); the portable path is the builtin as the
// baseline target compiles it (a table-free bit-twiddling count).
#include "common/BitCount.hpp"

#include "common/CpuFeatures.hpp"

#if defined(__x86_64__) && defined(__GNUC__)
#define REKUL_POPCNT_PATH 1
#include <immintrin.h>
#endif

namespace {

// The loops of both paths, inlined into each so that the builtin compiles for its target.
// Four words a step into four sums, so that the additions do not wait on each other.
__attribute__((always_inline)) inline size_t countAnd(const uint64_t* a, const uint64_t* b,
                                                      size_t words) {
    size_t sums[4] = {0, 0, 0, 0};
    size_t w = 0;
    for (; w + 4 <= words; w += 4)
        for (size_t k = 0; k < 4; ++k)
            sums[k] += static_cast<size_t>(__builtin_popcountll(a[w + k] & b[w + k]));
    for (; w < words; ++w) sums[0] += static_cast<size_t>(__builtin_popcountll(a[w] & b[w]));
    return sums[0] + sums[1] + sums[2] + sums[3];
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

// A row in chunks of eight words, the last one masked: no word past the row is read. The
// sum of the lanes is the intrinsic's (whose header GCC 12 warns on falsely).
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
__attribute__((target("avx512f,avx512vpopcntdq"))) void andBitCountsWide(
    const uint64_t* a, const uint64_t* rows, size_t words, const uint64_t* select,
    size_t selectWords, int32_t* counts) {
    const size_t full = words / 8;
    const auto tail = static_cast<__mmask8>((1u << (words % 8)) - 1);
    for (size_t s = 0; s < selectWords; ++s)
        for (uint64_t rest = select[s]; rest != 0; rest &= rest - 1) {
            const size_t j = 64 * s + static_cast<size_t>(__builtin_ctzll(rest));
            const uint64_t* row = rows + j * words;
            __m512i sums = _mm512_setzero_si512();
            for (size_t c = 0; c < full; ++c) {
                const __m512i both = _mm512_and_si512(_mm512_loadu_si512(a + 8 * c),
                                                      _mm512_loadu_si512(row + 8 * c));
                sums = _mm512_add_epi64(sums, _mm512_popcnt_epi64(both));
            }
            if (tail) {
                const __m512i both =
                    _mm512_and_si512(_mm512_maskz_loadu_epi64(tail, a + 8 * full),
                                     _mm512_maskz_loadu_epi64(tail, row + 8 * full));
                sums = _mm512_add_epi64(sums, _mm512_popcnt_epi64(both));
            }
            counts[j] = static_cast<int32_t>(_mm512_reduce_add_epi64(sums));
        }
}
#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

bool hardwareBitCount() {
    return cpuFeatures().popcnt;
}

bool wideBitCount() {
    return cpuFeatures().avx512popcnt;
}
#else
size_t andBitCountHardware(const uint64_t* a, const uint64_t* b, size_t words) {
    return andBitCountPortable(a, b, words);
}

void andBitCountsHardware(const uint64_t* a, const uint64_t* rows, size_t words,
                          const uint64_t* select, size_t selectWords, int32_t* counts) {
    andBitCountsPortable(a, rows, words, select, selectWords, counts);
}

void andBitCountsWide(const uint64_t* a, const uint64_t* rows, size_t words, const uint64_t* select,
                      size_t selectWords, int32_t* counts) {
    andBitCountsPortable(a, rows, words, select, selectWords, counts);
}

bool hardwareBitCount() {
    return false;
}

bool wideBitCount() {
    return false;
}
#endif

size_t andBitCount(const uint64_t* a, const uint64_t* b, size_t words) {
    return hardwareBitCount() ? andBitCountHardware(a, b, words) : andBitCountPortable(a, b, words);
}

void andBitCounts(const uint64_t* a, const uint64_t* rows, size_t words, const uint64_t* select,
                  size_t selectWords, int32_t* counts) {
    if (wideBitCount())
        andBitCountsWide(a, rows, words, select, selectWords, counts);
    else if (hardwareBitCount())
        andBitCountsHardware(a, rows, words, select, selectWords, counts);
    else
        andBitCountsPortable(a, rows, words, select, selectWords, counts);
}

size_t bitCount(const uint64_t* a, size_t words) {
    return andBitCount(a, a, words);
}
