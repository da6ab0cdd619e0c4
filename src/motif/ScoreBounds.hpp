// Bounds on the single-precision window score of the scan: the largest sum the rest of a
// window can add after its first k positions, with a proven margin for the rounding of
// every float addition. Used to prove that a window cannot pass a cutoff without scoring
// it, and to bracket score distributions.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "motif/WindowScore.hpp"

// Each float addition of the scan, fl(s + t), is off by at most 2^-24 |s + t| (plus 2^-53
// for the double sum before it); every partial sum of the rest of a window is at most
// |s| + (sum of the largest |term| per position) times (1 + 2^-24)^w. So after position k,
// the rest adds rounding error of at most (w - k) * 2^-23 * (|s| + absRest[k]) for any
// width below 2^23: the factor 2 over 2^-24 covers the growth and the double roundings.
constexpr double kRoundingBound = 0x1p-23;

// The bases a window may hold; with background frequencies, those that occur at all.
struct Alphabet {
    int count = 0;
    int bases[4] = {0, 0, 0, 0};
};
Alphabet alphabetOf(const float baseFreq[4]);
Alphabet allBases();

// Per strand, from each position k to the window's end: the sum of the largest terms and
// the sum of the largest finite |term|.
struct RestBounds {
    std::vector<double> maxRest[2], absRest[2];
    // A term of plus infinity or NaN: possible only with a background base of frequency 0
    // (-p 0), where the complement strand divides by it.
    bool unbounded = false;

    RestBounds(const MotifTable& table, const Alphabet& alphabet);

    // An upper bound on every final float sum of a window whose first k terms sum to s.
    double upper(int strand, int32_t k, float s) const {
        if (!std::isfinite(s)) return s;  // stays infinite, or turns into NaN
        const double rest = static_cast<double>(maxRest[strand].size() - 1 - k);
        return s + maxRest[strand][k] + rest * kRoundingBound * (std::fabs(s) + absRest[strand][k]);
    }

    // The largest gap between a whole window's float sum and its real sum, plus a margin
    // for the double arithmetic of a grid of real sums.
    double delta() const;
};
