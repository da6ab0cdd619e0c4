// What the processor runs beyond the x86-64 baseline, asked once per process
// (__builtin_cpu_supports). Paths compiled for those instructions (target attributes) run only
// where they are present; elsewhere, and off x86-64, the portable paths, which give the same
// results. One binary thus serves every machine.
#pragma once

struct CpuFeatures {
    bool popcnt = false;
    bool avx2 = false;
    bool avx512popcnt = false;  // AVX-512 with its 64-bit lane bit count (VPOPCNTQ)
};

const CpuFeatures& cpuFeatures();
