// Score bounds: per motif and prefix length, the largest float sum of the remaining positions,
// with the rounding of every addition bounded and added as a margin.
#include "motif/ScoreBounds.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
}

Alphabet alphabetOf(const float baseFreq[4]) {
    Alphabet alphabet;
    for (int b = 0; b < 4; ++b)
        if (baseFreq[b] > 0) alphabet.bases[alphabet.count++] = b;
    return alphabet;
}

Alphabet allBases() {
    return {4, {0, 1, 2, 3}};
}

RestBounds::RestBounds(const MotifTable& table, const Alphabet& alphabet) {
    const int32_t w = table.width();
    for (int strand = 0; strand < 2; ++strand) {
        maxRest[strand].assign(w + 1, 0.0);
        absRest[strand].assign(w + 1, 0.0);
        for (int32_t k = w - 1; k >= 0; --k) {
            double largest = -kInf, largestAbs = 0;
            for (int j = 0; j < alphabet.count; ++j) {
                double t = table.term(k, alphabet.bases[j], strand);
                largest = std::max(largest, t);
                if (std::isfinite(t)) largestAbs = std::max(largestAbs, std::fabs(t));
                unbounded |= std::isnan(t) || t == kInf;
            }
            maxRest[strand][k] = maxRest[strand][k + 1] + largest;
            absRest[strand][k] = absRest[strand][k + 1] + largestAbs;
        }
    }
}

double RestBounds::delta() const {
    const double w = static_cast<double>(maxRest[0].size() - 1);
    const double worst = std::max(absRest[0][0], absRest[1][0]);
    return w * kRoundingBound * worst + 1e-9 * (1 + worst);
}
