// A bound on a wide motif's window sums that decides 32 consecutive starts at once. For each
// pair of positions (2j, 2j + 1), strand and pair of bases c, the deficit d_j(c) is how far
// the pair's real term sum falls below the best sum of that pair; a window's real sum is the
// best total H less its deficits, so it can reach the cutoff less the gap between float and
// real sums (C) only where its deficits add to less than D = H - C. Deficits are scaled so
// that D takes about 250 units, rounded down and kept in bytes (a deficit of 255 units or
// more is kept as 255): 16 bytes per pair and strand, read for 32 starts by one byte shuffle
// and added with unsigned saturation. Rounding down and saturating only lower a sum, so a
// window whose sum reaches ceil(scale * D) on both strands cannot be a hit; since that limit
// is below 255, a saturated sum rejects exactly where the true sum would. The sums are
// integers: every path that computes them (the AVX2 lanes, the portable loop) lets the same
// starts through.
#pragma once

#include <cstdint>
#include <vector>

#include "motif/WindowScore.hpp"

// The pair code of position q: 4 * base(q) + base(q + 1), non-bases read as A (such windows
// are refused by the scan before they count). One per letter and kPairPadding more (zero)
// past the end, room for the lanes read past the last start.
std::vector<uint8_t> pairCodes(const std::vector<uint8_t>& codes);
constexpr int64_t kPairPadding = 96;

class PairBound {
  public:
    // `gap` bounds the difference between a window's float and real sums.
    PairBound(const MotifTable& table, float cutoff, double gap);

    // Whether the bound is finite and can be computed.
    bool usable() const { return usable_; }
    // Writes to `out` the q < count, ascending, whose bound passes on some strand, reading the
    // pair codes from pairs[0] (pairCodes of the sequence, from the first start); returns
    // how many. The AVX2 form runs only where vectorPaths() holds; the portable one, the
    // same sums one start at a time, is its reference.
    size_t candidatesAvx2(const uint8_t* pairs, int64_t count, int32_t* out) const;
    size_t candidatesPortable(const uint8_t* pairs, int64_t count, int32_t* out) const;

  private:
    int32_t pairTables_ = 0;       // ceil(width / 2)
    std::vector<uint8_t> tables_;  // per pair: 16 forward deficits, then 16 reverse
    uint8_t limit_[2] = {0, 0};    // per strand: a start can pass where its sum is below it
    bool usable_ = false;
};

// Whether this processor runs the AVX2 paths (asked once; false off x86-64).
bool vectorPaths();
