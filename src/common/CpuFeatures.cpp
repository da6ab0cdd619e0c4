// The processor's features, read once on first use.
#include "common/CpuFeatures.hpp"

const CpuFeatures& cpuFeatures() {
    static const CpuFeatures features = [] {
        CpuFeatures found;
#if defined(__x86_64__) && defined(__GNUC__)
        __builtin_cpu_init();
        found.popcnt = __builtin_cpu_supports("popcnt") != 0;
        found.avx2 = __builtin_cpu_supports("avx2") != 0;
        found.avx512popcnt = __builtin_cpu_supports("avx512f") != 0 &&
                             __builtin_cpu_supports("avx512vpopcntdq") != 0;
#endif
        return found;
    }();
    return features;
}
