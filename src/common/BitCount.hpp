// Bit counts over word arrays, the inner loop of the permutations' holder counts. One binary
// serves every machine: where the processor has the popcnt instruction (x86-64, asked once
// with __builtin_cpu_supports), a path compiled for it runs; elsewhere, and on other
// architectures, the portable path of the compiler's builtin. Both give the same counts.
#pragma once

#include <cstddef>
#include <cstdint>

// The set bits of a[0..words) & b[0..words).
size_t andBitCount(const uint64_t* a, const uint64_t* b, size_t words);
// The set bits of a[0..words).
size_t bitCount(const uint64_t* a, size_t words);

// The two paths by name, for the test that holds them equal; `hardware` is false where the
// processor lacks popcnt (the hardware path must not be called there).
size_t andBitCountPortable(const uint64_t* a, const uint64_t* b, size_t words);
size_t andBitCountHardware(const uint64_t* a, const uint64_t* b, size_t words);
bool hardwareBitCount();
