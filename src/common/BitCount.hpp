// Bit counts over word arrays, the inner loop of the permutations' holder counts. One binary
// serves every machine: where the processor has the popcnt instruction (x86-64, asked once
// with __builtin_cpu_supports), a path compiled for it runs, and for many rows at once, where
// it has AVX-512's lane bit count, one that counts eight words an instruction; elsewhere, and
// on other architectures, the portable path of the compiler's builtin. All give the same
// counts.
#pragma once

#include <cstddef>
#include <cstdint>

// The set bits of a[0..words) & b[0..words).
size_t andBitCount(const uint64_t* a, const uint64_t* b, size_t words);
// The set bits of a[0..words).
size_t bitCount(const uint64_t* a, size_t words);
// For each set bit j of select[0..selectWords): counts[j] = the set bits of
// a[0..words) & rows[j * words ..]. One call for many rows: the path is chosen once, not per row.
void andBitCounts(const uint64_t* a, const uint64_t* rows, size_t words, const uint64_t* select,
                  size_t selectWords, int32_t* counts);

// The two paths by name, for the test that holds them equal; `hardware` is false where the
// processor lacks popcnt (the hardware path must not be called there).
size_t andBitCountPortable(const uint64_t* a, const uint64_t* b, size_t words);
size_t andBitCountHardware(const uint64_t* a, const uint64_t* b, size_t words);
void andBitCountsPortable(const uint64_t* a, const uint64_t* rows, size_t words,
                          const uint64_t* select, size_t selectWords, int32_t* counts);
void andBitCountsHardware(const uint64_t* a, const uint64_t* rows, size_t words,
                          const uint64_t* select, size_t selectWords, int32_t* counts);
// Eight words a step (AVX-512); `wideBitCount` is false where the processor lacks it.
void andBitCountsWide(const uint64_t* a, const uint64_t* rows, size_t words, const uint64_t* select,
                      size_t selectWords, int32_t* counts);
bool hardwareBitCount();
bool wideBitCount();
