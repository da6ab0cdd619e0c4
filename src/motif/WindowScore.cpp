// Window scores: the log-odds terms tabulated per position and base, summed in single precision
// in increasing position on both strands.
#include "motif/WindowScore.hpp"

#include <cmath>

std::vector<uint8_t> encodeBases(const std::string& text) {
    std::vector<uint8_t> codes(text.size());
    for (size_t i = 0; i < text.size(); ++i) codes[i] = baseCode(text[i]);
    return codes;
}

MotifTable::MotifTable(const Motif& motif, const float baseFreq[4])
    : width_(motif.length), terms_(8 * static_cast<size_t>(motif.length)) {
    const std::vector<float>& p = motif.freq;
    for (int32_t i = 0; i < width_; ++i) {
        for (int b = 0; b < 4; ++b) {
            int c = 3 - b;
            float forwardQuotient = p[4 * i + b] / baseFreq[b];
            float reverseQuotient = p[4 * (width_ - 1 - i) + c] / baseFreq[c];
            terms_[2 * (4 * i + b)] = std::log(static_cast<double>(forwardQuotient));
            terms_[2 * (4 * i + b) + 1] = std::log(static_cast<double>(reverseQuotient));
        }
    }
}

void MotifTable::score(const uint8_t* codes, float& forward, float& reverse) const {
    PairD sum = {0, 0};
    for (int32_t i = 0; i < width_; ++i)
        sum = addRounded(sum, &terms_[2 * (4 * i + (codes[i] & 3))]);
    forward = static_cast<float>(sum[0]);
    reverse = static_cast<float>(sum[1]);
}

void MotifTable::score4(const uint8_t* codes, float forward[4], float reverse[4]) const {
    PairD s0 = {0, 0}, s1 = {0, 0}, s2 = {0, 0}, s3 = {0, 0};
    const double* row = terms_.data();
    for (int32_t i = 0; i < width_; ++i, row += 8) {
        // Codes of non-bases are clamped into the table; those windows are discarded.
        s0 = addRounded(s0, row + 2 * (codes[i] & 3));
        s1 = addRounded(s1, row + 2 * (codes[i + 1] & 3));
        s2 = addRounded(s2, row + 2 * (codes[i + 2] & 3));
        s3 = addRounded(s3, row + 2 * (codes[i + 3] & 3));
    }
    PairD sums[4] = {s0, s1, s2, s3};
    for (int j = 0; j < 4; ++j) {
        forward[j] = static_cast<float>(sums[j][0]);
        reverse[j] = static_cast<float>(sums[j][1]);
    }
}
