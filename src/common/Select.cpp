// Radix selection over 64-bit patterns, sixteen bits a level, most significant first.
#include "common/Select.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kDigitBits = 16;
constexpr size_t kBins = size_t{1} << kDigitBits;
// Below this many candidates a copy and std::nth_element are quicker than another level.
constexpr size_t kSmall = 4096;

double byNthElement(std::vector<double> values, size_t n) {
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n), values.end());
    return values[n];
}

}  // namespace

double nthSmallest(const std::vector<double>& values, size_t n) {
    // -0.0 is no smaller than 0.0 but its bits sort after every positive number's.
    const bool plain = std::all_of(values.begin(), values.end(),
                                   [](double v) { return v >= 0 && !std::signbit(v); });
    if (!plain || values.size() <= kSmall) return byNthElement(values, n);
    std::vector<uint64_t> keys;  // the candidates after the first level
    std::vector<size_t> bins(kBins);
    uint64_t prefix = 0;
    for (int shift = 64 - kDigitBits; shift >= 0; shift -= kDigitBits) {
        std::fill(bins.begin(), bins.end(), 0);
        const auto digit = [&](uint64_t key) { return (key >> shift) & (kBins - 1); };
        if (shift == 64 - kDigitBits)
            for (double v : values) ++bins[digit(std::bit_cast<uint64_t>(v))];
        else
            for (uint64_t key : keys) ++bins[digit(key)];
        uint64_t bin = 0;
        while (n >= bins[bin]) n -= bins[bin++];
        prefix |= bin << shift;
        // Keep the candidates whose leading bits are the answer's.
        const uint64_t lead = ~uint64_t{0} << shift;
        std::vector<uint64_t> kept;
        kept.reserve(bins[bin]);
        if (shift == 64 - kDigitBits) {
            for (double v : values)
                if ((std::bit_cast<uint64_t>(v) & lead) == prefix)
                    kept.push_back(std::bit_cast<uint64_t>(v));
        } else {
            for (uint64_t key : keys)
                if ((key & lead) == prefix) kept.push_back(key);
        }
        keys.swap(kept);
        if (keys.size() <= kSmall) {
            std::nth_element(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(n),
                             keys.end());
            return std::bit_cast<double>(keys[n]);
        }
    }
    return std::bit_cast<double>(prefix);
}
