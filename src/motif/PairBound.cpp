// The pair bound: per pair of positions and strand, 16 bytes of scaled deficits rounded down,
// summed with unsigned saturation for 32 starts at a time (AVX2) or one start at a time.
#include "motif/PairBound.hpp"

#include <algorithm>
#include <cmath>

#include "common/CpuFeatures.hpp"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define REKUL_AVX2_PATH 1
#endif

namespace {

constexpr double kLimitUnits = 250;  // D in units: room below 255 for the rounding up
constexpr int kSaturated = 255;

}  // namespace

std::vector<uint8_t> pairCodes(const std::vector<uint8_t>& codes) {
    std::vector<uint8_t> pairs(codes.size() + kPairPadding, 0);
    for (size_t q = 0; q < codes.size(); ++q) {
        const uint8_t next = q + 1 < codes.size() ? codes[q + 1] & 3 : 0;
        pairs[q] = static_cast<uint8_t>(((codes[q] & 3) << 2) | next);
    }
    return pairs;
}

PairBound::PairBound(const MotifTable& table, float cutoff, double gap) {
    const int32_t w = table.width();
    pairTables_ = (w + 1) / 2;
    if (w < 2) return;
    // The real sum of pair j's terms for pair code c on a strand; a lone last position
    // counts its first base only.
    auto pairSum = [&](int32_t j, int c, int strand) {
        const double first = table.term(2 * j, c >> 2, strand);
        return 2 * j + 1 < w ? first + table.term(2 * j + 1, c & 3, strand) : first;
    };
    tables_.assign(32 * static_cast<size_t>(pairTables_), 0);
    const double reach = static_cast<double>(cutoff) - gap;
    for (int strand = 0; strand < 2; ++strand) {
        std::vector<double> best(static_cast<size_t>(pairTables_), -HUGE_VAL);
        double total = 0;
        for (int32_t j = 0; j < pairTables_; ++j) {
            for (int c = 0; c < 16; ++c) best[j] = std::max(best[j], pairSum(j, c, strand));
            total += best[j];
        }
        const double allowed = total - reach;  // D
        if (!std::isfinite(allowed)) return;
        if (allowed <= 0) continue;  // no window reaches the cutoff: limit 0 rejects all
        const double scale = kLimitUnits / allowed;
        // Rounded down with a margin over the rounding of the double arithmetic, so that
        // every byte is at most the scaled deficit; the limit is rounded up likewise.
        for (int32_t j = 0; j < pairTables_; ++j)
            for (int c = 0; c < 16; ++c) {
                const double units =
                    std::floor(scale * (best[j] - pairSum(j, c, strand)) * (1 - 1e-12) - 1e-6);
                tables_[32 * static_cast<size_t>(j) + 16 * strand + c] =
                    static_cast<uint8_t>(std::clamp<double>(units, 0, kSaturated));
            }
        limit_[strand] = static_cast<uint8_t>(std::ceil(kLimitUnits * (1 + 1e-12) + 1e-6));
    }
    usable_ = true;
}

size_t PairBound::candidatesPortable(const uint8_t* pairs, int64_t count, int32_t* out) const {
    size_t n = 0;
    for (int64_t q = 0; q < count; ++q) {
        int forward = 0, reverse = 0;
        for (int32_t j = 0; j < pairTables_; ++j) {
            const uint8_t* table = &tables_[32 * static_cast<size_t>(j)];
            const uint8_t code = pairs[q + 2 * j] & 15;
            forward = std::min(kSaturated, forward + table[code]);
            reverse = std::min(kSaturated, reverse + table[16 + code]);
        }
        if (forward < limit_[0] || reverse < limit_[1]) out[n++] = static_cast<int32_t>(q);
    }
    return n;
}

#ifdef REKUL_AVX2_PATH
namespace {

// The lanes (a bit each) whose sums have reached the limit on both strands: rejected, and
// they stay so, since sums only grow.
__attribute__((target("avx2"))) inline uint32_t rejected(__m256i forward, __m256i reverse,
                                                         __m256i forwardLimit,
                                                         __m256i reverseLimit) {
    const __m256i forwardOut = _mm256_cmpeq_epi8(_mm256_max_epu8(forward, forwardLimit), forward);
    const __m256i reverseOut = _mm256_cmpeq_epi8(_mm256_max_epu8(reverse, reverseLimit), reverse);
    return static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(forwardOut, reverseOut)));
}

}  // namespace

// 64 starts at a time, two vectors of 32 per strand sharing each table read; a group stops
// early once every lane is rejected (checked every kCheckEvery pairs).
__attribute__((target("avx2"))) size_t PairBound::candidatesAvx2(const uint8_t* pairs,
                                                                 int64_t count,
                                                                 int32_t* out) const {
    constexpr int32_t kCheckEvery = 4;
    const __m256i forwardLimit = _mm256_set1_epi8(static_cast<char>(limit_[0]));
    const __m256i reverseLimit = _mm256_set1_epi8(static_cast<char>(limit_[1]));
    size_t n = 0;
    for (int64_t q0 = 0; q0 < count; q0 += 64) {
        __m256i forward0 = _mm256_setzero_si256(), reverse0 = forward0;
        __m256i forward1 = forward0, reverse1 = forward0;
        const uint8_t* table = tables_.data();
        const uint8_t* codes = pairs + q0;
        for (int32_t j = 0; j < pairTables_; ++j, table += 32, codes += 2) {
            const __m256i c0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(codes));
            const __m256i c1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(codes + 32));
            const __m256i f = _mm256_broadcastsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(table)));
            const __m256i r = _mm256_broadcastsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16)));
            forward0 = _mm256_adds_epu8(forward0, _mm256_shuffle_epi8(f, c0));
            reverse0 = _mm256_adds_epu8(reverse0, _mm256_shuffle_epi8(r, c0));
            forward1 = _mm256_adds_epu8(forward1, _mm256_shuffle_epi8(f, c1));
            reverse1 = _mm256_adds_epu8(reverse1, _mm256_shuffle_epi8(r, c1));
            if ((j + 1) % kCheckEvery == 0 &&
                (rejected(forward0, reverse0, forwardLimit, reverseLimit) &
                 rejected(forward1, reverse1, forwardLimit, reverseLimit)) == ~uint32_t{0})
                break;
        }
        uint64_t mask = ~(uint64_t{rejected(forward0, reverse0, forwardLimit, reverseLimit)} |
                          uint64_t{rejected(forward1, reverse1, forwardLimit, reverseLimit)} << 32);
        if (count - q0 < 64) mask &= (uint64_t{1} << (count - q0)) - 1;
        for (; mask != 0; mask &= mask - 1)
            out[n++] = static_cast<int32_t>(q0 + __builtin_ctzll(mask));
    }
    return n;
}

bool vectorPaths() {
    return cpuFeatures().avx2;
}
#else
size_t PairBound::candidatesAvx2(const uint8_t* pairs, int64_t count, int32_t* out) const {
    return candidatesPortable(pairs, count, out);
}

bool vectorPaths() {
    return false;
}
#endif
