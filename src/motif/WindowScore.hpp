// Log-odds score of a motif on a window, both strands at once.
// Each term is ln(P[i][b] / F[b]) in double precision of a single-precision quotient, and the
// sums are single precision, rounded after every addition in order of increasing position.
// The terms are computed once per motif into a table, so scanning takes no logarithm; the
// sums are bit-identical to taking the logarithm at every placement.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "motif/MotifA.hpp"

// Base codes: A = 0, C = 1, G = 2, T = 3; every other character is kNotBase.
constexpr uint8_t kNotBase = 4;
constexpr uint8_t baseCode(char c) {
    return c == 'A' ? 0 : c == 'C' ? 1 : c == 'G' ? 2 : c == 'T' ? 3 : kNotBase;
}
std::vector<uint8_t> encodeBases(const std::string& text);

// Two window sums (forward, reverse) in double precision, and their single-precision form.
typedef double PairD __attribute__((vector_size(16)));
typedef float PairF __attribute__((vector_size(8)));

// One step of a window sum: the term is added in double precision and the sum rounded to
// single precision after every addition, the rule every score follows (and that the proofs
// of the filter and of the exact cutoffs rest on).
inline float addRounded(float sum, double term) {
    return static_cast<float>(static_cast<double>(sum) + term);
}

// The same step for both strands' sums (forward, reverse) at once.
inline PairD addRounded(PairD sum, const double* term) {
    PairD t = {term[0], term[1]};
    return __builtin_convertvector(__builtin_convertvector(sum + t, PairF), PairD);
}

class MotifTable {
  public:
    MotifTable(const Motif& motif, const float baseFreq[4]);

    int32_t width() const { return width_; }
    // The term of base b at motif position i on a strand (0 forward, 1 reverse): the
    // reverse term of window position i is that of the complement at position w - 1 - i.
    double term(int32_t i, int b, int strand) const { return terms_[2 * (4 * i + b) + strand]; }
    // The forward and reverse terms of base b at position i, side by side.
    const double* terms(int32_t i, int b) const { return &terms_[2 * (4 * i + b)]; }
    // Scores the window whose first base code is codes[0]; all w codes must be bases.
    void score(const uint8_t* codes, float& forward, float& reverse) const;
    // Scores four consecutive windows starting at codes[0..3].
    void score4(const uint8_t* codes, float forward[4], float reverse[4]) const;

  private:
    int32_t width_;
    std::vector<double> terms_;  // terms_[2 * (4 * i + b) + strand]
};

// Calls visit(q, forward, reverse) for every start q with q + w <= codes.size() whose window
// holds only bases, in ascending q.
template <typename Visit>
void scanPlacements(const MotifTable& table, const std::vector<uint8_t>& codes, Visit&& visit) {
    const int64_t width = table.width();
    const int64_t last = static_cast<int64_t>(codes.size()) - width;  // last start that fits
    int64_t lastNotBase = -1;  // latest non-base position inside [0, q + w)
    for (int64_t i = 0; i < width - 1 && i < static_cast<int64_t>(codes.size()); ++i)
        if (codes[i] == kNotBase) lastNotBase = i;
    float forward[4], reverse[4];
    int64_t q = 0;
    for (; q + 3 <= last; q += 4) {
        table.score4(codes.data() + q, forward, reverse);
        for (int j = 0; j < 4; ++j) {
            if (width > 0 && codes[q + j + width - 1] == kNotBase) lastNotBase = q + j + width - 1;
            if (lastNotBase < q + j) visit(q + j, forward[j], reverse[j]);
        }
    }
    for (; q <= last; ++q) {
        if (width > 0 && codes[q + width - 1] == kNotBase) lastNotBase = q + width - 1;
        if (lastNotBase >= q) continue;
        table.score(codes.data() + q, forward[0], reverse[0]);
        visit(q, forward[0], reverse[0]);
    }
}
