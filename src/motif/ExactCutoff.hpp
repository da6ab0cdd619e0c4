// Exact score cutoffs from a p-value, without a random sample.
//
// A random window is a word of independent letters drawn with the background frequencies;
// its forward and reverse scores count half each. The cutoff is the smallest achievable
// window score c with P(score > c) <= p, the scores being the single-precision sums of the
// scan. Two steps:
//   1. Bracket. A dynamic programme over a grid of the exact (real-valued) sums, with every
//      term rounded down and, separately, up to the grid, bounds the tail on both sides.
//      With delta a proven bound on the gap between the float sum and the real sum, it
//      gives a score L with P(score > L) > p and a score H with P(score > H) <= p.
//   2. Enumeration. A branch-and-bound walk over the words visits only prefixes that can
//      still score above L (the bound on the rest is exact up to delta), computes the float
//      sums exactly as the scan does, and reads the cutoff off the collected upper tail.
// The cutoff is therefore exact at every width. Only when the tail above L holds more words
// than a fixed budget (wide motifs at large p) does the cutoff fall back to the H of a grid
// of kFineGridBins bins, which never lets the false-positive rate exceed p and lies within
// about one bin per motif position above the exact cutoff.
#pragma once

#include <cstdint>

#include "motif/WindowScore.hpp"

// Number of grid bins over a motif's range of real-valued scores in the bracketing step,
// and in the fallback bound.
constexpr int kGridBins = 4096;
constexpr int kFineGridBins = 65536;
// Windows the enumeration may collect (and prefixes it may visit) per motif.
constexpr int64_t kEnumerationBudget = int64_t{1} << 20;

struct ScoreBracket {
    double low;   // P(score > low) > p
    double high;  // P(score > high) <= p
};

// The bracket of step 1 for p-value p on a grid of `bins` bins.
ScoreBracket scoreBracket(const MotifTable& table, const float baseFreq[4], double p,
                          int bins = kGridBins);

// The exact cutoff for p-value p (0 gives the largest achievable score).
float exactCutoff(const MotifTable& table, const float baseFreq[4], double p);
