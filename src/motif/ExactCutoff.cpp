// Exact cutoffs: the tail bracketed by a dynamic programme over a grid of scores, then the
// words above the bracket enumerated by branch and bound with the scan's own float sums.
#include "motif/ExactCutoff.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "motif/ScoreBounds.hpp"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// How a grid distribution is built: its number of bins over the score range, whether terms
// are rounded up or down to the grid, and whether it weighs words by their probability or
// counts them.
struct Grid {
    int bins;
    bool roundUp;
    bool countWords = false;
};

// Distribution of the real sum of one strand with every term rounded to the grid (down or
// up): mass[j] is the probability (or the number) of words of value base + j * eps. Words
// holding a term of minus infinity never score above a finite value and are left out.
struct GridDistribution {
    double base = 0, eps = 1;
    std::vector<double> mass, suffix;  // suffix[j] = mass of bins j and above

    GridDistribution(const MotifTable& table, const float baseFreq[4], const Alphabet& alphabet,
                     int strand, Grid grid) {
        const int32_t w = table.width();
        std::vector<double> low(w, 0.0);
        double range = 0;
        for (int32_t i = 0; i < w; ++i) {
            double lo = kInf, hi = -kInf;
            for (int j = 0; j < alphabet.count; ++j) {
                double t = table.term(i, alphabet.bases[j], strand);
                if (!std::isfinite(t)) continue;
                lo = std::min(lo, t);
                hi = std::max(hi, t);
            }
            low[i] = lo == kInf ? 0 : lo;
            base += low[i];
            if (lo != kInf) range += hi - lo;
        }
        eps = range > 0 ? range / grid.bins : 1;
        mass.assign(1, 1.0);
        for (int32_t i = 0; i < w; ++i) {
            std::vector<double> next(mass.size() + static_cast<size_t>(grid.bins) + 1, 0.0);
            for (int j = 0; j < alphabet.count; ++j) {
                const int b = alphabet.bases[j];
                const double t = table.term(i, b, strand);
                if (!std::isfinite(t)) continue;
                const double steps = (t - low[i]) / eps;
                const auto shift =
                    static_cast<size_t>(grid.roundUp ? std::ceil(steps) : std::floor(steps));
                const double weight = grid.countWords ? 1.0 : baseFreq[b];
                for (size_t k = 0; k < mass.size(); ++k) next[k + shift] += mass[k] * weight;
            }
            while (next.size() > 1 && next.back() == 0) next.pop_back();
            mass = std::move(next);
        }
        suffix.assign(mass.size() + 1, 0.0);
        for (size_t j = mass.size(); j-- > 0;) suffix[j] = suffix[j + 1] + mass[j];
    }

    double value(size_t j) const { return base + static_cast<double>(j) * eps; }
    double maxValue() const { return value(mass.size() - 1); }

    // P(value > x).
    double tailAbove(double x) const {
        if (x < base) return suffix[0];
        double steps = std::floor((x - base) / eps) + 1;
        size_t j =
            steps >= static_cast<double>(mass.size()) ? mass.size() : static_cast<size_t>(steps);
        while (j > 0 && value(j - 1) > x) --j;
        while (j < mass.size() && value(j) <= x) ++j;
        return suffix[j];
    }
};

// The mixture of both strands, half each.
struct Mixture {
    GridDistribution forward, reverse;

    Mixture(const MotifTable& table, const float baseFreq[4], const Alphabet& alphabet, Grid grid)
        : forward(table, baseFreq, alphabet, 0, grid),
          reverse(table, baseFreq, alphabet, 1, grid) {}

    double tailAbove(double x) const {
        return 0.5 * forward.tailAbove(x) + 0.5 * reverse.tailAbove(x);
    }
    double lowest() const { return std::min(forward.base, reverse.base) - 1; }
    double highest() const { return std::max(forward.maxValue(), reverse.maxValue()); }
};

// The point of a monotone region nearest its boundary, by bisection between a point inside
// the region and one outside it (on either side).
template <typename Inside>
double bisect(double inside, double outside, Inside&& isInside) {
    for (int step = 0; step < 200; ++step) {
        double middle = inside + (outside - inside) / 2;
        if (middle == inside || middle == outside) break;
        (isInside(middle) ? inside : outside) = middle;
    }
    return inside;
}

// Every window score above `low`, each with half its word's probability, or nothing when
// the walk exceeds the budget.
struct TailEnumeration {
    const MotifTable& table;
    const float* baseFreq;
    const Alphabet& alphabet;
    const RestBounds& rest;
    double low;
    int64_t visits = 0;
    bool overBudget = false;
    std::vector<std::pair<float, double>> scores;

    void walk(int32_t k, float forward, float reverse, double probability) {
        if (++visits > kEnumerationBudget) {  // only where the word count misled
            overBudget = true;
            return;
        }
        if (k == table.width()) {
            if (forward > low) scores.emplace_back(forward, probability / 2);
            if (reverse > low) scores.emplace_back(reverse, probability / 2);
            return;
        }
        for (int j = 0; j < alphabet.count && !overBudget; ++j) {
            const int b = alphabet.bases[j];
            // The same roundings as the scan: a double sum rounded to float at every step.
            float f = addRounded(forward, table.term(k, b, 0));
            float r = addRounded(reverse, table.term(k, b, 1));
            if (!(rest.upper(0, k + 1, f) > low) && !(rest.upper(1, k + 1, r) > low)) continue;
            walk(k + 1, f, r, probability * baseFreq[b]);
        }
    }
};

// The smallest collected score whose tail mass is at most p, if the collected scores hold
// more than p in all (so that every lower score has a tail above p).
bool cutoffFromTail(std::vector<std::pair<float, double>>& scores, double p, float& cutoff) {
    std::sort(scores.begin(), scores.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; });
    double above = 0;
    for (size_t i = 0; i < scores.size();) {
        if (above > p) return true;
        cutoff = scores[i].first;
        for (; i < scores.size() && scores[i].first == cutoff; ++i) above += scores[i].second;
    }
    return above > p;
}

}  // namespace

namespace {

// Margins over the rounding of the probability sums.
constexpr double kMassMargin = 1e-9;

// A score L with P(score > L) > p, from the grid with every term rounded down.
double lowerEnd(const MotifTable& table, const float baseFreq[4], double p, int bins) {
    const Alphabet alphabet = alphabetOf(baseFreq);
    const Mixture down(table, baseFreq, alphabet, {bins, false});
    const double above = p * (1 + kMassMargin);
    if (!(down.tailAbove(down.lowest()) > above)) return -kInf;
    return bisect(down.lowest(), down.highest(),
                  [&](double x) { return down.tailAbove(x) > above; }) -
           RestBounds(table, alphabet).delta();
}

// A score H with P(score > H) <= p, from the grid with every term rounded up.
double upperEnd(const MotifTable& table, const float baseFreq[4], double p, int bins) {
    const Alphabet alphabet = alphabetOf(baseFreq);
    const RestBounds rest(table, alphabet);
    // The grid leaves out words of infinite or NaN score; where they exist, only plus
    // infinity is a safe upper bound.
    if (rest.unbounded) return kInf;
    const Mixture up(table, baseFreq, alphabet, {bins, true});
    const double atMost = p * (1 - kMassMargin);
    return bisect(up.highest(), up.lowest(), [&](double x) { return up.tailAbove(x) <= atMost; }) +
           rest.delta();
}

}  // namespace

ScoreBracket scoreBracket(const MotifTable& table, const float baseFreq[4], double p, int bins) {
    return {lowerEnd(table, baseFreq, p, bins), upperEnd(table, baseFreq, p, bins)};
}

namespace {

// The number of windows (word and strand) whose score can exceed `low`: an upper bound on
// what the walk collects.
double windowsAbove(const MotifTable& table, const float baseFreq[4], double low) {
    const Alphabet alphabet = alphabetOf(baseFreq);
    const RestBounds rest(table, alphabet);
    const Mixture counts(table, baseFreq, alphabet, {kGridBins, true, true});
    return 2 * counts.tailAbove(low - rest.delta());
}

// The guaranteed upper end of a fine grid's bracket, rounded up to a float.
float guaranteedBound(const MotifTable& table, const float baseFreq[4], double p) {
    const double high = upperEnd(table, baseFreq, p, kFineGridBins);
    float bound = static_cast<float>(high);
    if (bound < high) bound = std::nextafter(bound, std::numeric_limits<float>::infinity());
    return bound;
}

}  // namespace

float exactCutoff(const MotifTable& table, const float baseFreq[4], double p) {
    const Alphabet alphabet = alphabetOf(baseFreq);
    if (alphabet.count == 0) return std::numeric_limits<float>::infinity();
    const RestBounds rest(table, alphabet);
    double low = lowerEnd(table, baseFreq, p, kGridBins);
    if (windowsAbove(table, baseFreq, low) > static_cast<double>(kEnumerationBudget))
        return guaranteedBound(table, baseFreq, p);
    for (;;) {
        TailEnumeration tail{table, baseFreq, alphabet, rest, low, 0, false, {}};
        tail.walk(0, 0.0f, 0.0f, 1.0);
        if (tail.overBudget) return guaranteedBound(table, baseFreq, p);
        float cutoff = 0;
        if (cutoffFromTail(tail.scores, p, cutoff)) return cutoff;
        // The collected tail holds p or less. After everything above minus infinity, the
        // rest scores minus infinity; otherwise reach further down (the bracket's sums of
        // probabilities can only be off by rounding).
        if (low == -kInf) return -std::numeric_limits<float>::infinity();
        low = low - (1 + std::fabs(low));
    }
}
