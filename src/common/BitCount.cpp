// Bit counts: the hardware path compiled with the popcnt target attribute on x86-64, chosen
// once per process (cpuFeatures); the portable path is the builtin as the
// baseline target compiles it (a table-free bit-twiddling count).
#include "common/BitCount.hpp"

#include "common/CpuFeatures.hpp"

#if defined(__x86_64__) && defined(__GNUC__)
#define REKUL_POPCNT_PATH 1
#endif

size_t andBitCountPortable(const uint64_t* a, const uint64_t* b, size_t words) {
    size_t count = 0;
    for (size_t w = 0; w < words; ++w)
        count += static_cast<size_t>(__builtin_popcountll(a[w] & b[w]));
    return count;
}

#ifdef REKUL_POPCNT_PATH
__attribute__((target("popcnt"))) size_t andBitCountHardware(const uint64_t* a, const uint64_t* b,
                                                             size_t words) {
    size_t count = 0;
    for (size_t w = 0; w < words; ++w)
        count += static_cast<size_t>(__builtin_popcountll(a[w] & b[w]));
    return count;
}

bool hardwareBitCount() {
    return cpuFeatures().popcnt;
}
#else
size_t andBitCountHardware(const uint64_t* a, const uint64_t* b, size_t words) {
    return andBitCountPortable(a, b, words);
}

bool hardwareBitCount() {
    return false;
}
#endif

size_t andBitCount(const uint64_t* a, const uint64_t* b, size_t words) {
    return hardwareBitCount() ? andBitCountHardware(a, b, words) : andBitCountPortable(a, b, words);
}

size_t bitCount(const uint64_t* a, size_t words) {
    return andBitCount(a, a, words);
}
